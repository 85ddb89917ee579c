// Screen-space conversion from GL state, culling from GL matrices, bitmap text labels and
// tables in the overlay space, and the Boxes drawing, on a real context.

#include "GLSuite.h"
#include "TestSkins.h"

#include "herd/BoxRules.h"
#include "herd/SimpleHerd.h"
#include "render/gl/GLBoxes.h"
#include "render/gl/GLState.h"
#include "render/gl/GLText.h"
#include "render/gl/OpenGLScreenSpaceConverter.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <array>

namespace {

// The columns and rows holding pixels of the given colour; empty (min > max) when none do.
struct PixelBounds {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    bool empty() const { return maxX < 0; }
};

PixelBounds boundsOf(const std::vector<std::uint8_t>& pixels, int width, int height, const Rgb& color)
{
    PixelBounds b;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
            if (pixels[i] == color.r && pixels[i + 1] == color.g && pixels[i + 2] == color.b) {
                b.minX = std::min(b.minX, x);
                b.maxX = std::max(b.maxX, x);
                b.minY = std::min(b.minY, y);
                b.maxY = std::max(b.maxY, y);
            }
        }
    return b;
}

template <class Draw>
GLuint primitivesGenerated(Draw f)
{
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    f();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint count = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    glDeleteQueries(1, &query);
    return count;
}

const Rgb kWhite{255, 255, 255};

// Every piece of state an empty table must leave untouched.
struct StateSnapshot {
    Matrix4f modelview, projection;
    std::array<GLfloat, 4> color{};
    std::array<GLfloat, 4> rasterPosition{};
    GLint matrixMode = 0;
    bool lighting = false, depthTest = false;
    bool operator==(const StateSnapshot&) const = default;

    static StateSnapshot take()
    {
        StateSnapshot s;
        s.modelview = GLState::modelview();
        s.projection = GLState::projection();
        glGetFloatv(GL_CURRENT_COLOR, s.color.data());
        glGetFloatv(GL_CURRENT_RASTER_POSITION, s.rasterPosition.data());
        glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
        s.lighting = glIsEnabled(GL_LIGHTING);
        s.depthTest = glIsEnabled(GL_DEPTH_TEST);
        return s;
    }
};

} // namespace

using ScreenSpaceTest = GLTest;

TEST_F(ScreenSpaceTest, TheConverterCapturesTheGLStateAndAgreesWithGlu)
{
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glTranslated(0.5, -0.25, 1);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const OpenGLScreenSpaceConverter converter;
    glLoadIdentity(); // later changes are not followed

    for (const Vector3d& p : {Vector3d(0, 0, 0), Vector3d(1, 2, -3), Vector3d(-0.7, 0.1, 0.9)}) {
        GLdouble wx, wy, wz;
        ASSERT_TRUE(gluProject(p.x, p.y, p.z, modelview, projection, viewport, &wx, &wy, &wz));
        const Vector3d w = converter.project(p);
        EXPECT_NEAR(w.x, wx, 1e-3);
        EXPECT_NEAR(w.y, wy, 1e-3);
        EXPECT_NEAR(w.z, wz, 1e-6);
        const Vector3d back = converter.unproject(w);
        EXPECT_NEAR(back.x, p.x, 1e-3);
        EXPECT_NEAR(back.y, p.y, 1e-3);
        EXPECT_NEAR(back.z, p.z, 1e-3);
    }
    glLoadIdentity();
    gluLookAt(0, 0, kEyeDistance, 0, 0, 0, 0, 1, 0);
}

TEST_F(ScreenSpaceTest, CullingUsesTheCurrentMatrices)
{
    const BoundingBox atOrigin({-1, -1, -1}, {1, 1, 1});
    EXPECT_FALSE(GLState::viewFrustumTest().isOutside(atOrigin));
    GLState::ModelviewPush push;
    glTranslatef(-10, 0, 0);
    const ViewFrustumTest moved = GLState::viewFrustumTest();
    EXPECT_TRUE(moved.isOutside(atOrigin)) << "moved beyond the left plane";
    EXPECT_EQ(moved.clip(), GLState::projection() * GLState::modelview());
}

TEST_F(ScreenSpaceTest, LabelsMeasureInGlutWidthsAndSitWhereTheirAlignmentSays)
{
    const std::string text = "Herd 42";
    const int measuredWidth = GLText::textWidth(text); // also initialises GLUT for the calls below
    int width = 0;
    for (char c : text) width += glutBitmapWidth(GLUT_BITMAP_HELVETICA_10, c);
    EXPECT_EQ(measuredWidth, width);
    ASSERT_GT(width, 20);

    GLState::OverlaySpace overlay;
    const double unitsPerPixel = 200.0 / kWidth;
    const BoundingBox measured = GLText::drawText(text, 0, 0, 0, GLText::Horizontal::Start, GLText::Vertical::Below,
                                                  false);
    EXPECT_NEAR(measured.maximum.x - measured.minimum.x, width * unitsPerPixel, 1e-3);
    EXPECT_NEAR(measured.maximum.y - measured.minimum.y, GLText::kTextHeight * unitsPerPixel, 1e-3);
    EXPECT_NEAR(measured.maximum.y, 0, 1e-3) << "hangs below the anchor";
    EXPECT_EQ(picture().coveredCount(), 0) << "measuring draws nothing";

    const BoundingBox empty = GLText::drawText("", 10, 10, 0, GLText::Horizontal::Center, GLText::Vertical::Center);
    EXPECT_FLOAT_EQ(empty.maximum.x, empty.minimum.x);
    EXPECT_EQ(picture().coveredCount(), 0);

    // Ending at the centre of the window and sitting on it.
    glColor3ub(255, 255, 255);
    glEnable(GL_LIGHTING);
    const BoundingBox drawn = GLText::drawText(text, 0, 0, 0, GLText::Horizontal::End, GLText::Vertical::Above);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << "lighting is off only while the label is drawn";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glDisable(GL_LIGHTING);
    EXPECT_NEAR(drawn.maximum.x, 0, 1e-3);
    EXPECT_NEAR(drawn.minimum.y, 0, 1e-3);
    const PixelBounds ink = boundsOf(picture().rgb, kWidth, kHeight, kWhite);
    ASSERT_FALSE(ink.empty()) << "white text, unlit although lighting was on";
    EXPECT_LT(ink.maxX, kWidth / 2);
    EXPECT_GE(ink.minX, kWidth / 2 - width);
    EXPECT_GE(ink.minY, kHeight / 2 - 3) << "descenders may reach just below the anchor";
    EXPECT_LT(ink.maxY, kHeight / 2 + GLText::kTextHeight + 1);
}

TEST_F(ScreenSpaceTest, TablesPutValuesRightAlignedAtOneColumnAndEmptyTablesChangeNothing)
{
    const StateSnapshot before = StateSnapshot::take();
    GLText::drawTextTable(-90, 90, {});
    EXPECT_EQ(StateSnapshot::take(), before);
    EXPECT_EQ(picture().coveredCount(), 0);

    const std::string key = "fps", value = "59.8";
    GLText::drawTextTable(-90, 90, {{key, value}});
    EXPECT_EQ(StateSnapshot::take().modelview, before.modelview);
    EXPECT_EQ(StateSnapshot::take().projection, before.projection);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    const double pixelsPerUnit = kWidth / 200.0;
    const int originX = int((-90 + 100) * pixelsPerUnit);
    const int columnX = originX + int(1.3 * (GLText::textWidth(key) + GLText::textWidth(value)));
    const PixelBounds ink = boundsOf(picture().rgb, kWidth, kHeight, kWhite);
    ASSERT_FALSE(ink.empty());
    EXPECT_NEAR(ink.minX, originX, 1) << "keys start at the origin";
    EXPECT_NEAR(ink.maxX, columnX - 1, 2) << "values end at the column";
    EXPECT_LE(ink.maxY, int((90 + 100) * pixelsPerUnit)) << "top-aligned at the origin";

    // A second row lands one step (1.2 x 10 pixels) lower.
    clear();
    GLText::drawTextTable(-90, 90, {{key, value}, {"animals", "12"}});
    const PixelBounds two = boundsOf(picture().rgb, kWidth, kHeight, kWhite);
    EXPECT_NEAR(two.minY, ink.minY - 12, 2);
}

TEST_F(ScreenSpaceTest, BoxesModeDrawsVisibleBoxesLitInTheMeanVertexColour)
{
    auto skin = skinOf(sphereRecord("sphere", SphereOptions{}));
    SimpleHerd herd(skin);
    HerdInstance instance;
    instance.box = BoundingBox({-1, -1, -1}, {1, 1, 1});
    herd.append(instance);

    clear();
    const GLuint one = primitivesGenerated([&] { GLBoxes::draw(herd, GLState::viewFrustumTest()); });
    const auto pixels = picture();
    // The front face (normal +z) gets the light's cosine 1 / 1.5 of the mean colour (0.8, 0.4, 0.2).
    const Rgb front = pixels.at(kWidth / 2, kHeight / 2);
    EXPECT_NEAR(front.r, 255 * 0.8 / 1.5, 2);
    EXPECT_NEAR(front.g, 255 * 0.4 / 1.5, 2);
    EXPECT_NEAR(front.b, 255 * 0.2 / 1.5, 2);
    // The box spans +-1 at depth 1 nearer than the origin.
    const double toPixels = kHeight / 2.0 / std::tan(kFovy * 3.14159265 / 360.0) / (kEyeDistance - 1);
    EXPECT_FALSE(isBackground(pixels.at(kWidth / 2 + int(0.9 * toPixels), kHeight / 2)));
    EXPECT_TRUE(isBackground(pixels.at(kWidth / 2 + int(1.1 * toPixels), kHeight / 2)));

    instance.box = BoundingBox({-20, -1, -1}, {-18, 1, 1});
    herd.append(instance);
    EXPECT_EQ(primitivesGenerated([&] { GLBoxes::draw(herd, GLState::viewFrustumTest()); }), one)
        << "the box beyond the left plane is not drawn";
    instance.box = BoundingBox({2, -1, -1}, {3, 1, 1});
    herd.append(instance);
    EXPECT_EQ(primitivesGenerated([&] { GLBoxes::draw(herd, GLState::viewFrustumTest()); }), 2 * one);
    glDisable(GL_LIGHTING);
}
