// GL-free geometry of the overlay and the Boxes mode: the key-value table's columns and rows,
// the six faces of an instance box, and texture path keys.

#include "render/BoxFaces.h"
#include "render/TextTableLayout.h"
#include "render/TexturePath.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

TEST(TextTableLayoutTest, ValuesEndAtOneColumnAfterTheWidestKeyAndValue)
{
    const auto one = layoutTextTable(-90, 90, {{{12, 10}, {30, 10}}});
    EXPECT_DOUBLE_EQ(one.valueColumnX, -90 + 1.3 * (12 + 30));
    ASSERT_EQ(one.rowY.size(), 1u);
    EXPECT_DOUBLE_EQ(one.rowY[0], 90);

    // Widest key and widest value may come from different rows; the tallest label sets the step.
    const auto three = layoutTextTable(5, 0, {{{40, 10}, {3, 10}}, {{7, 12}, {25, 10}}, {{1, 10}, {1, 8}}});
    EXPECT_DOUBLE_EQ(three.valueColumnX, 5 + 1.3 * (40 + 25));
    EXPECT_DOUBLE_EQ(three.lineStep, 1.2 * 12);
    ASSERT_EQ(three.rowY.size(), 3u);
    EXPECT_DOUBLE_EQ(three.rowY[2], -2 * 1.2 * 12);

    EXPECT_TRUE(layoutTextTable(0, 0, {}).rowY.empty());
}

TEST(BoxFacesTest, SixOutwardCounterClockwiseFacesCoverTheEightCorners)
{
    const BoundingBox box({-1, 2, 3}, {4, 6, 10});
    const auto faces = boxFaces(box);
    std::set<std::tuple<float, float, float>> corners;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const BoxFace& face = faces[i];
        const int axis = static_cast<int>(i / 2);
        const bool maximum = i % 2 == 0;
        EXPECT_FLOAT_EQ(face.normal[axis], maximum ? 1.0f : -1.0f) << "face " << i;
        const float plane = maximum ? box.maximum[axis] : box.minimum[axis];
        for (const Vector3f& p : face.corners) {
            EXPECT_FLOAT_EQ(p[axis], plane) << "face " << i;
            corners.insert({p.x, p.y, p.z});
        }
        // Counter-clockwise seen from outside: the winding's normal points along the face normal.
        const Vector3f winding = (face.corners[1] - face.corners[0]).cross(face.corners[2] - face.corners[0]);
        EXPECT_GT(winding.dot(face.normal), 0.0f) << "face " << i;
    }
    EXPECT_EQ(corners.size(), 8u);
    // The maximum x face starts at the minimum corner moved to x max, then steps along y.
    EXPECT_EQ(faces[0].corners[0], Vector3f(4, 2, 3));
    EXPECT_EQ(faces[0].corners[1], Vector3f(4, 6, 3));
    EXPECT_EQ(faces[1].corners[1], Vector3f(-1, 2, 10)) << "the minimum face steps along z first";
}

TEST(TexturePathTest, BothSlashSpellingsShareAKeyAndOpenTheNativePath)
{
    EXPECT_EQ(textureCacheKey("a/b.png"), textureCacheKey("a\\b.png"));
    EXPECT_EQ(textureCacheKey("/data/skins/coat.png"), "\\data\\skins\\coat.png");
    EXPECT_EQ(nativeTexturePath(textureCacheKey("/data/skins/coat.png")), "/data/skins/coat.png");
    EXPECT_EQ(nativeTexturePath("textures\\coat.png"), "textures/coat.png");

    EXPECT_EQ(texturePath("/data/skins", "coat.png"), "/data/skins/coat.png");
    EXPECT_EQ(texturePath("/data/skins/", "coat.png"), "/data/skins/coat.png");
    EXPECT_EQ(texturePath("", "coat.png"), "coat.png");
    EXPECT_EQ(nativeTexturePath(textureCacheKey(texturePath("/d", "sub\\coat.png"))), "/d/sub/coat.png");
}
