#include "camera/TileGrid.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

Frustum perspectiveVolume()
{
    Frustum f;
    f.left = -0.12;
    f.right = 0.12;
    f.bottom = -0.08;
    f.top = 0.08;
    f.zNear = 0.1;
    f.zFar = 10000.0;
    return f;
}

// Window x, y of a scene point drawn with the projection of volume into a viewport at the
// origin of the given size.
std::pair<double, double> windowPosition(const Frustum& volume, bool perspective, const Vector4f& point, int width,
                                         int height)
{
    const Matrix4f m = perspective ? volume.perspectiveMatrix() : volume.orthographicMatrix();
    const Vector4f clip = m * point;
    return {(clip.x / clip.w + 1.0) * 0.5 * width, (clip.y / clip.w + 1.0) * 0.5 * height};
}

// Every tile's projection must put every point where the whole image's projection puts it,
// shifted by the tile's place in the image: otherwise the stitched image shows seams or
// repeats.
void expectTilesAgreeWithTheWholeImage(const TileGrid& grid)
{
    const Vector4f points[] = {{0.0f, 0.0f, -5.0f, 1.0f}, {3.0f, -1.0f, -40.0f, 1.0f}, {-0.4f, 0.3f, -1.0f, 1.0f},
                               {100.0f, 60.0f, -900.0f, 1.0f}};
    for (int index = 0; index < grid.tileCount(); ++index) {
        const TileGrid::Tile tile = grid.tile(index);
        for (const Vector4f& p : points) {
            const auto whole = windowPosition(grid.volume(), grid.perspective(), p, grid.imageWidth(), grid.imageHeight());
            // The viewport may start left of and below the framebuffer's corner (guard band).
            auto part = windowPosition(tile.volume, grid.perspective(), p, tile.viewportWidth, tile.viewportHeight);
            part.first += tile.viewportX;
            part.second += tile.viewportY;
            EXPECT_NEAR(part.first - tile.readX + tile.imageX, whole.first, 1e-3 * grid.imageWidth()) << "tile " << index;
            EXPECT_NEAR(part.second - tile.readY + tile.imageY, whole.second, 1e-3 * grid.imageHeight()) << "tile " << index;
        }
    }
}

} // namespace

TEST(TileGridTest, ImageOfTheWindowsSizeIsOneTileShowingTheWholeVolume)
{
    TileGrid grid;
    grid.setTileSize(640, 480, 0);
    grid.setImageSize(640, 480);
    grid.setVolume(perspectiveVolume(), true);
    ASSERT_EQ(grid.tileCount(), 1);
    const TileGrid::Tile tile = grid.tile(0);
    EXPECT_EQ(tile.width, 640);
    EXPECT_EQ(tile.height, 480);
    EXPECT_EQ(tile.readWidth, 640);
    EXPECT_EQ(tile.readHeight, 480);
    EXPECT_EQ(tile.imageX, 0);
    EXPECT_EQ(tile.imageY, 0);
    EXPECT_DOUBLE_EQ(tile.volume.left, -0.12);
    EXPECT_DOUBLE_EQ(tile.volume.right, 0.12);
    EXPECT_DOUBLE_EQ(tile.volume.bottom, -0.08);
    EXPECT_DOUBLE_EQ(tile.volume.top, 0.08);
    EXPECT_DOUBLE_EQ(tile.volume.zNear, 0.1);
    EXPECT_DOUBLE_EQ(tile.volume.zFar, 10000.0);
}

TEST(TileGridTest, TwoAndAHalfWindowWidthsGiveThreeColumnsWithANarrowerLastOne)
{
    TileGrid grid;
    grid.setTileSize(400, 300, 0);
    grid.setImageSize(1000, 300);
    grid.setVolume(perspectiveVolume(), true);
    ASSERT_EQ(grid.columns(), 3);
    ASSERT_EQ(grid.rows(), 1);
    const int expectedX[] = {0, 400, 800};
    const int expectedWidth[] = {400, 400, 200};
    double previousRight = -0.12;
    for (int i = 0; i < 3; ++i) {
        const TileGrid::Tile tile = grid.tile(i);
        EXPECT_EQ(tile.column, i);
        EXPECT_EQ(tile.imageX, expectedX[i]);
        EXPECT_EQ(tile.width, expectedWidth[i]);
        EXPECT_EQ(tile.readWidth, expectedWidth[i]);
        EXPECT_EQ(tile.height, 300);
        // Neighbouring volumes meet exactly and are as wide as their share of the image.
        EXPECT_NEAR(tile.volume.left, previousRight, 1e-12);
        EXPECT_NEAR(tile.volume.right - tile.volume.left, 0.24 * expectedWidth[i] / 1000.0, 1e-12);
        EXPECT_DOUBLE_EQ(tile.volume.bottom, -0.08);
        EXPECT_DOUBLE_EQ(tile.volume.top, 0.08);
        previousRight = tile.volume.right;
    }
    EXPECT_NEAR(previousRight, 0.12, 1e-12);
    expectTilesAgreeWithTheWholeImage(grid);
}

TEST(TileGridTest, RowsRunFromTheBottomUnlessTopToBottomIsChosen)
{
    TileGrid grid;
    grid.setTileSize(400, 300, 0);
    grid.setImageSize(1000, 700);
    ASSERT_EQ(grid.rows(), 3);
    ASSERT_EQ(grid.tileCount(), 9);
    EXPECT_EQ(grid.tile(0).row, 0);
    EXPECT_EQ(grid.tile(0).imageY, 0);
    EXPECT_EQ(grid.tile(8).row, 2);
    EXPECT_EQ(grid.tile(8).imageY, 600);
    EXPECT_EQ(grid.tile(8).height, 100) << "the top row holds what is left";
    EXPECT_EQ(grid.tile(8).width, 200);
    EXPECT_EQ(grid.tile(4).height, 300);

    grid.setRowOrder(TileGrid::RowOrder::TopToBottom);
    EXPECT_EQ(grid.tile(0).row, 2);
    EXPECT_EQ(grid.tile(0).height, 100);
    EXPECT_EQ(grid.tile(8).row, 0);
    EXPECT_EQ(grid.tile(8).imageY, 0);
}

TEST(TileGridTest, PerspectiveAndOrthographicTilesStitchIntoTheWholeProjection)
{
    TileGrid grid;
    grid.setTileSize(317, 211, 0);
    grid.setImageSize(3000, 2000);
    grid.setVolume(perspectiveVolume(), true);
    EXPECT_EQ(grid.columns(), 10);
    EXPECT_EQ(grid.rows(), 10);
    expectTilesAgreeWithTheWholeImage(grid);

    Frustum box;
    box.left = -50.0;
    box.right = 30.0;
    box.bottom = -20.0;
    box.top = 25.0;
    box.zNear = 0.1;
    box.zFar = 1000.0;
    grid.setVolume(box, false);
    expectTilesAgreeWithTheWholeImage(grid);
    // The top-right tile of an orthographic box ends at the box's corner.
    const TileGrid::Tile last = grid.tile(grid.tileCount() - 1);
    EXPECT_NEAR(last.volume.right, 30.0, 1e-9);
    EXPECT_NEAR(last.volume.top, 25.0, 1e-9);
}

TEST(TileGridTest, BordersAreDrawnButNotReadAndWidenTheVolumes)
{
    TileGrid grid;
    grid.setTileSize(100, 100, 10);
    grid.setImageSize(200, 100);
    grid.setVolume(perspectiveVolume(), true);
    ASSERT_EQ(grid.columns(), 3); // 80 pixels read per tile
    ASSERT_EQ(grid.rows(), 2);
    const TileGrid::Tile first = grid.tile(0);
    EXPECT_EQ(first.readX, 10);
    EXPECT_EQ(first.readWidth, 80);
    EXPECT_NEAR(first.volume.left, -0.12 - 0.24 * 10 / 200.0, 1e-12) << "the border reaches left of the image";
    const TileGrid::Tile lastColumn = grid.tile(2);
    EXPECT_EQ(lastColumn.width, 2 * 10 + 200 - 2 * 80);
    EXPECT_EQ(lastColumn.readWidth, 40);
    EXPECT_EQ(lastColumn.imageX, 160);
    expectTilesAgreeWithTheWholeImage(grid);
}

TEST(TileGridTest, AGuardBandWidensTheViewportButNotTheTilesOrWhatIsRead)
{
    TileGrid grid;
    grid.setTileSize(400, 300, 0);
    grid.setImageSize(999, 601);
    grid.setVolume(perspectiveVolume(), true);
    const TileGrid::Tile plain = grid.tile(4);
    grid.setGuardBand(16);
    ASSERT_EQ(grid.tileCount(), 9) << "the guard band must not change the tiling";
    const TileGrid::Tile guarded = grid.tile(4);
    EXPECT_EQ(guarded.viewportX, -16);
    EXPECT_EQ(guarded.viewportY, -16);
    EXPECT_EQ(guarded.viewportWidth, 432);
    EXPECT_EQ(guarded.viewportHeight, 332);
    EXPECT_EQ(guarded.width, plain.width);
    EXPECT_EQ(guarded.readX, plain.readX);
    EXPECT_EQ(guarded.readWidth, plain.readWidth);
    EXPECT_EQ(guarded.imageX, plain.imageX);
    EXPECT_LT(guarded.volume.left, plain.volume.left);
    EXPECT_GT(guarded.volume.top, plain.volume.top);
    expectTilesAgreeWithTheWholeImage(grid);
    grid.setVolume(perspectiveVolume(), false);
    expectTilesAgreeWithTheWholeImage(grid);
    EXPECT_THROW(grid.setGuardBand(-1), std::invalid_argument);
}

TEST(TileGridTest, ImagesSmallerThanATileAreOneTileOfTheImagesSize)
{
    TileGrid grid;
    grid.setTileSize(800, 600, 0);
    grid.setImageSize(1, 1);
    ASSERT_EQ(grid.tileCount(), 1);
    EXPECT_EQ(grid.tile(0).width, 1);
    EXPECT_EQ(grid.tile(0).height, 1);
}

TEST(TileGridTest, RejectsSizesThatLeaveNothingToDraw)
{
    TileGrid grid;
    EXPECT_THROW(grid.setTileSize(0, 100, 0), std::invalid_argument);
    EXPECT_THROW(grid.setTileSize(20, 20, 10), std::invalid_argument);
    EXPECT_THROW(grid.setTileSize(20, 20, -1), std::invalid_argument);
    EXPECT_THROW(grid.setImageSize(0, 5), std::invalid_argument);
    EXPECT_THROW(grid.setImageSize(5, -5), std::invalid_argument);
    grid.setTileSize(10, 10, 0);
    grid.setImageSize(25, 10);
    EXPECT_THROW(grid.tile(3), std::out_of_range);
    EXPECT_THROW(grid.tile(-1), std::out_of_range);
}
