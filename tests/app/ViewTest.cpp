// The GL view driven in-process: paints read back from the back buffer, the keys, the mouse,
// the idle clock, the statistics and the camera keys files.

#include "GuiTestSupport.h"

#include "app/MenuIds.h"
#include "camera/AttributeWithKeys.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "skin/Skin.h"

#include <wx/app.h>
#include <wx/image.h>

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Channel-wise within tolerance.
::testing::AssertionResult near(const Rgb& actual, const Rgb& expected, int tolerance = 1)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(actual[c] - expected[c]) > tolerance)
            return ::testing::AssertionFailure() << "got (" << actual[0] << ", " << actual[1] << ", " << actual[2]
                                                 << "), expected (" << expected[0] << ", " << expected[1] << ", "
                                                 << expected[2] << ")";
    return ::testing::AssertionSuccess();
}

std::size_t differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ++count;
    return count;
}

} // namespace

TEST_F(GuiTest, EachBackgroundClearsToItsColour)
{
    clearScene();
    m_core->setShowStatistics(false);
    choose(kGroundPlaneId);
    ASSERT_FALSE(m_frame->groundPlane());
    const std::vector<std::pair<int, Rgb>> backgrounds = {{kWhiteId, {255, 255, 255}}, {kLightGrayId, {60, 60, 60}},
        {kDarkGrayId, {30, 30, 30}}, {kBlueId, {39, 39, 81}}, {kBlackId, {0, 0, 0}}};
    const wxSize size = m_view->clientSize();
    for (const auto& [id, colour] : backgrounds) {
        choose(id);
        renderView();
        for (const wxPoint at : {wxPoint(1, 1), wxPoint(size.x / 2, size.y / 2), wxPoint(size.x - 2, size.y - 2)})
            EXPECT_EQ(pixel(at.x, at.y), colour) << "background " << id << " at " << at.x << "," << at.y;
    }
    // The sky has a test of its own below.
    choose(kGroundPlaneId);
}

// The "Sky" background is the sky image on a sphere of radius 1000 centred under the eye,
// poles on the y axis, seen from inside. Every pixel is checked against the image where the
// pixel's line of sight meets that sphere: the image's top row at the zenith, its left edge
// on the sphere's seam (towards +z, longitude growing towards -x, as GLU's sphere runs), its
// picture upright. Worked out here from the camera's matrices and the image file, apart from
// any GL state the view leaves behind.
TEST_F(GuiTest, SkyShowsTheSkyImageWhereEachPixelLooks)
{
    clearScene();
    m_core->setShowStatistics(false);
    choose(kGroundPlaneId);
    ASSERT_FALSE(m_frame->groundPlane());
    // Looking up a little, so that the picture holds sky from the horizon to high above.
    CameraRestorer restorer(m_core);
    m_core->perspectiveCamera()->setElevation(-0.35f);
    choose(kSkyId);
    renderView();
    const std::vector<unsigned char> pixels = frameBuffer();
    // Again after a frame with ground, shadows and the overlay, whose colours must not tint the
    // sky (the first draw of the process also loads the image, later ones reuse it).
    loadSampleQuadruped(3);
    choose(kGroundPlaneId);
    m_core->setShowStatistics(true);
    renderView();
    clearScene();
    choose(kGroundPlaneId);
    m_core->setShowStatistics(false);
    renderView();
    EXPECT_EQ(frameBuffer(), pixels) << "the sky changed after another frame";
    choose(kLightGrayId);
    choose(kGroundPlaneId);

    wxImage sky;
    ASSERT_TRUE(sky.LoadFile((startup().samples / "sky2048_0247.jpg").string(), wxBITMAP_TYPE_ANY));
    const int imageWidth = sky.GetWidth(), imageHeight = sky.GetHeight();
    // The image bilinearly, u and v in texels (0.5 is the centre of the first), u wrapping.
    const auto texel = [&](double u, double v, int channel) {
        const double x = u - 0.5, y = std::clamp(v - 0.5, 0.0, imageHeight - 1.0);
        const int x0 = int(std::floor(x)), y0 = std::min(int(std::floor(y)), imageHeight - 2);
        const double fx = x - x0, fy = y - y0;
        const auto at = [&](int tx, int ty) {
            tx = ((tx % imageWidth) + imageWidth) % imageWidth;
            return double(sky.GetData()[(std::size_t(ty) * imageWidth + tx) * 3 + channel]);
        };
        return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
               (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
    };

    const Camera& camera = m_core->currentCamera();
    const wxSize size = m_view->clientSize();
    GLdouble model[16], projection[16];
    const Matrix4f view = camera.view(), project = camera.projection();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            model[c * 4 + r] = view(r, c);
            projection[c * 4 + r] = project(r, c);
        }
    const GLint viewport[4] = {0, 0, size.x, size.y};
    const Vector3f eyeFloat = camera.eye();
    const double eye[3] = {eyeFloat.x, eyeFloat.y, eyeFloat.z};
    const double pi = 3.14159265358979323846;
    int checked = 0, matching = 0, largest = 0;
    for (int j = 0; j < 12; ++j)
        for (int i = 0; i < 16; ++i) {
            const int px = (2 * i + 1) * size.x / 32, py = (2 * j + 1) * size.y / 24;
            double nearPoint[3], farPoint[3];
            gluUnProject(px + 0.5, py + 0.5, 0.0, model, projection, viewport, &nearPoint[0], &nearPoint[1], &nearPoint[2]);
            gluUnProject(px + 0.5, py + 0.5, 1.0, model, projection, viewport, &farPoint[0], &farPoint[1], &farPoint[2]);
            double d[3], length = 0;
            for (int k = 0; k < 3; ++k) {
                d[k] = farPoint[k] - nearPoint[k];
                length += d[k] * d[k];
            }
            for (double& component : d) component /= std::sqrt(length);
            // From the eye (height eye.y above the sphere's centre) to the sphere.
            const double b = d[1] * eye[1], c = eye[1] * eye[1] - 1000.0 * 1000.0;
            const double t = -b + std::sqrt(b * b - c);
            const double w[3] = {t * d[0], eye[1] + t * d[1], t * d[2]};
            // The sphere was turned -90 degrees about x: its own axes are (w.x, -w.z, w.y).
            const double x = w[0], y = -w[2], z = w[1];
            const double polar = std::acos(std::clamp(z / 1000.0, -1.0, 1.0));
            double around = std::atan2(x, y);
            if (around < 0) around += 2 * pi;
            const double s = 1.0 - around / (2 * pi), tt = 1.0 - polar / pi;
            const double u = s * imageWidth, v = (1.0 - tt) * imageHeight;
            const std::size_t at = (std::size_t(py) * size.x + px) * 3;
            int difference = 0;
            for (int channel = 0; channel < 3; ++channel)
                difference = std::max(difference, int(std::lround(std::fabs(pixels[at + channel] - texel(u, v, channel)))));
            ++checked;
            matching += difference <= 6;
            largest = std::max(largest, difference);
        }
    // Texture filtering and the sphere's 50 x 50 facets move a sample by a fraction of a texel.
    EXPECT_GE(matching, checked * 95 / 100) << "largest channel difference " << largest;
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(GuiTest, GroundIsBlackWithoutShadowsAndTakesTheShadowColourWithPrt)
{
    loadSampleQuadruped(0);
    m_core->setShowStatistics(false);
    ASSERT_FALSE(m_view->frameRenderer().renderers().shadow().empty()) << "the sample quadruped carries shadow skins";
    const wxSize size = m_view->clientSize();
    // Below the horizon, in front of the camera: ground only (no animals).
    const wxPoint ground(size.x / 2, 5);

    const Skin& shadow = *m_view->frameRenderer().renderers().shadow().back()->herd()->skin();
    ASSERT_FALSE(shadow.vertexColors().empty());
    const Vector3f c = shadow.vertexColors().front();
    const float scale = shadow.maxMeanLighting();
    const auto channel = [](float value) { return static_cast<int>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255)); };
    const Rgb shadowColour = {channel(c.x * scale), channel(c.y * scale), channel(c.z * scale)};
    ASSERT_NE(shadowColour, (Rgb{0, 0, 0}));

    renderView();
    EXPECT_TRUE(near(pixel(ground.x, ground.y), shadowColour)) << "PRT with shadows";

    choose(kShadowsId);
    renderView();
    EXPECT_EQ(pixel(ground.x, ground.y), (Rgb{0, 0, 0})) << "shadows unchecked";
    choose(kShadowsId);

    choose(kOpenGLLightingId);
    renderView();
    EXPECT_EQ(pixel(ground.x, ground.y), (Rgb{0, 0, 0})) << "shadows checked but OpenGL lighting";
    choose(kPrtLightingId);
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(GuiTest, SampleHerdIsDrawnWithEitherRendererAndCountedInTheOverlay)
{
    loadSampleQuadruped(10);
    m_core->setShowStatistics(false);
    // Without shadows, which the hardware overlay draws for either choice, only the animals
    // differ from the empty view.
    choose(kShadowsId);
    ASSERT_FALSE(m_frame->shadows());
    renderView();
    const std::vector<unsigned char> withAnimals = frameBuffer();
    ASSERT_TRUE(m_reports.empty()) << m_reports.front().message;
    // The same animals skinned on the processor.
    choose(kUseVertexProgramId);
    ASSERT_FALSE(m_frame->useVertexProgram());
    renderView();
    const std::vector<unsigned char> software = frameBuffer();

    // The same view without animals: the herd must have changed a good part of the picture.
    m_core->setAnimalCount(0);
    renderView();
    const std::vector<unsigned char> empty = frameBuffer();
    const std::size_t changed = differingPixels(withAnimals, empty);
    EXPECT_GT(changed, withAnimals.size() / 3 / 50) << "hardware skinning drew (almost) nothing";
    EXPECT_GT(differingPixels(software, empty), withAnimals.size() / 3 / 50) << "software skinning drew nothing";
    // The two pictures cover the same pixels, up to the silhouettes' edges.
    std::size_t coverageMismatches = 0;
    for (std::size_t i = 0; i + 2 < empty.size(); i += 3) {
        const auto covered = [&](const std::vector<unsigned char>& p) {
            return p[i] != empty[i] || p[i + 1] != empty[i + 1] || p[i + 2] != empty[i + 2];
        };
        coverageMismatches += covered(withAnimals) != covered(software);
    }
    EXPECT_LT(coverageMismatches, changed / 50) << "hardware and software skinning drew different animals";
    choose(kShadowsId);
    m_core->setAnimalCount(10);
    renderView();
    EXPECT_TRUE(m_reports.empty());

    const auto rows = m_core->statisticsRows();
    EXPECT_EQ(rows[2].second, "10 (10 quadrupeds)");
    const StatisticsFigures figures = m_core->statisticsFigures();
    unsigned long long triangles = 0;
    for (const auto& renderer : m_view->frameRenderer().renderers().software())
        triangles += static_cast<unsigned long long>(renderer->herd()->skin()->triangleCount()) *
                     renderer->herd()->instanceCount();
    EXPECT_EQ(figures.triangles, triangles);
    EXPECT_GT(triangles, 0u);
}

TEST_F(GuiTest, BracketKeysStepFramesButNeverBelowZero)
{
    m_core->setFrame(0);
    pressKey('[');
    EXPECT_EQ(m_core->currentFrame(), 0);
    pressKey(']');
    pressKey(']');
    EXPECT_EQ(m_core->currentFrame(), 2);
    pressKey('[');
    EXPECT_EQ(m_core->currentFrame(), 1);
    m_core->setFrame(-5);
    EXPECT_EQ(m_core->currentFrame(), 0);
}

TEST_F(GuiTest, KeypadAddsAndRemovesAnimalsAndGivesUpOnEmptyHerds)
{
    clearScene();
    pressKey(WXK_NUMPAD_ADD);
    pressKey(WXK_NUMPAD_SUBTRACT);
    EXPECT_EQ(m_core->totalAnimalCount(), 0u) << "no herds: nothing happens";

    m_frame->files().openFile(startup().validSkin.string());
    m_frame->files().openFile(startup().secondValidSkin.string());
    ASSERT_EQ(m_core->totalAnimalCount(), 0u);
    // Every herd empty: the bounded picks end and nothing is removed.
    pressKey(WXK_NUMPAD_SUBTRACT);
    EXPECT_EQ(m_core->totalAnimalCount(), 0u);

    pressKey(WXK_NUMPAD_ADD);
    pressKey(WXK_NUMPAD_ADD);
    pressKey(WXK_NUMPAD_ADD);
    EXPECT_EQ(m_core->totalAnimalCount(), 3u);
    pressKey(WXK_NUMPAD_SUBTRACT);
    EXPECT_EQ(m_core->totalAnimalCount(), 2u);
}

TEST_F(GuiTest, RendererExceptionShowsOneBoxAndHidesHerdsUntilSettingsChange)
{
    loadSampleQuadruped(10);
    m_core->setShowStatistics(false);
    m_core->setAnimalCount(0);
    renderView();
    const std::vector<unsigned char> empty = frameBuffer();
    m_core->setAnimalCount(10);

    // A hardware renderer whose programs cannot fit one generic attribute fails to build.
    m_view->frameRenderer().renderers().hardware().front()->setAttributeLimit(1);
    m_view->frameRenderer().renderers().hardware().front()->releaseGLResources();
    renderView();
    renderView();
    renderView();
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(m_reports[0].caption, "Renderer error");
    EXPECT_FALSE(m_reports[0].message.empty());
    EXPECT_TRUE(m_view->rendererFailed());
    EXPECT_EQ(differingPixels(frameBuffer(), empty), 0u) << "herds stay hidden; sky, ground and overlay stay";

    m_view->frameRenderer().renderers().hardware().front()->setAttributeLimit(0);
    m_view->applyRenderSettings();
    EXPECT_FALSE(m_view->rendererFailed());
    renderView();
    EXPECT_EQ(m_reports.size(), 1u);
    EXPECT_GT(differingPixels(frameBuffer(), empty), 0u) << "herds are drawn again";
}

TEST_F(GuiTest, LeftDragOfNinetyPixelsTurnsTheAzimuthByOneRadian)
{
    const auto& camera = m_core->perspectiveCamera();
    const float before = camera->azimuth();
    const float elevation = camera->elevation();
    mouse(wxEVT_LEFT_DOWN, 100, 100, true);
    EXPECT_TRUE(camera->isDragging());
    mouse(wxEVT_MOTION, 145, 100, true);
    mouse(wxEVT_MOTION, 190, 100, true);
    mouse(wxEVT_LEFT_UP, 190, 100, false);
    EXPECT_FALSE(camera->isDragging());
    EXPECT_NEAR(camera->azimuth(), before - 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(camera->elevation(), elevation);

    // Motion without a button moves nothing.
    mouse(wxEVT_MOTION, 10, 10, false);
    EXPECT_NEAR(camera->azimuth(), before - 1.0f, 1e-5f);
    camera->setAzimuth(before);
}

// Each button steers the camera its own way, judged by what the camera shows rather than by
// its drag modes: the left button orbits (the look-at point stays, the eye keeps its distance),
// the middle one pans (eye and look-at point move together, the line of sight stays), the right
// one dollies (the eye moves along its line of sight, forwards when dragged up).
TEST_F(GuiTest, LeftButtonOrbitsMiddlePansAndRightDollies)
{
    CameraRestorer restorer(m_core);
    const ProjectiveFixedYCamera& camera = *m_core->perspectiveCamera();
    struct Pose {
        Vector3f eye, lookAt;
        Vector3f sight() const { return lookAt - eye; }
    };
    const auto pose = [&] { return Pose{camera.eye(), camera.lookAtPoint()}; };
    const auto expectSame = [](const Vector3f& a, const Vector3f& b, const char* what) {
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], 1e-4f * (1.0f + std::fabs(b[i]))) << what << " " << i;
    };
    {
        const Pose before = pose();
        drag(wxMOUSE_BTN_LEFT, {100, 100}, {160, 120});
        const Pose after = pose();
        expectSame(after.lookAt, before.lookAt, "left: look-at point");
        EXPECT_NEAR(after.sight().length(), before.sight().length(), 1e-4f * before.sight().length()) << "left";
        EXPECT_GT((after.eye - before.eye).length(), 0.1f * before.sight().length()) << "left: no orbit";
    }
    {
        const Pose before = pose();
        drag(wxMOUSE_BTN_MIDDLE, {100, 100}, {150, 130});
        const Pose after = pose();
        expectSame(after.sight(), before.sight(), "middle: line of sight");
        EXPECT_GT((after.lookAt - before.lookAt).length(), 0.1f) << "middle: no pan";
    }
    {
        const Pose before = pose();
        drag(wxMOUSE_BTN_RIGHT, {100, 140}, {100, 100});
        const Pose after = pose();
        const Vector3f forward = before.sight().normalized();
        const Vector3f moved = after.eye - before.eye;
        expectSame(after.sight().normalized(), forward, "right: direction of sight");
        EXPECT_GT(moved.dot(forward), 0.1f) << "right: the eye did not move forwards";
        EXPECT_LT(moved.cross(forward).length(), 1e-3f * moved.length()) << "right: the eye left its line of sight";
    }

    // The orthographic camera: the left button turns it, the middle one moves the centre of
    // the view, the right one zooms (changes the port) and nothing else.
    choose(kOrthographicId);
    const OrthoCamera& ortho = *m_core->orthoCamera();
    struct View {
        float azimuth, port;
        Vector2f center;
    };
    const auto view = [&] { return View{ortho.azimuth(), ortho.port(), ortho.center()}; };
    for (const wxMouseButton button : {wxMOUSE_BTN_LEFT, wxMOUSE_BTN_MIDDLE, wxMOUSE_BTN_RIGHT}) {
        SCOPED_TRACE(button == wxMOUSE_BTN_LEFT ? "left" : button == wxMOUSE_BTN_MIDDLE ? "middle" : "right");
        const View before = view();
        drag(button, {100, 140}, {130, 100});
        const View after = view();
        EXPECT_EQ(after.azimuth != before.azimuth, button == wxMOUSE_BTN_LEFT);
        EXPECT_EQ(after.center.x != before.center.x || after.center.y != before.center.y, button == wxMOUSE_BTN_MIDDLE);
        EXPECT_EQ(after.port != before.port, button == wxMOUSE_BTN_RIGHT);
    }
    choose(kPerspectiveId);
}

TEST_F(GuiTest, PerspectiveCameraStartsWhereTheViewPutsIt)
{
    auto* frame = new MyFrame(nullptr, "Camera test", wxPoint(0, 0), wxSize(300, 200), wxDEFAULT_FRAME_STYLE, *dynamic_cast<FlexherdApp*>(wxTheApp));
    const auto& camera = frame->core().perspectiveCamera();
    EXPECT_FLOAT_EQ(camera->speed(), 10.0f);
    EXPECT_FLOAT_EQ(camera->elevation(), 0.2f);
    EXPECT_FLOAT_EQ(camera->azimuth(), 1.75f);
    EXPECT_EQ(camera->lookAtPoint(), Vector3f(-6.0f, 2.0f, 0.5f));
    EXPECT_FALSE(camera->dollyChangesDistance());
    EXPECT_EQ(&frame->core().currentCamera(), camera.get());
    EXPECT_EQ(frame->core().currentFrame(), 0);
    EXPECT_TRUE(frame->core().showStatistics());
    EXPECT_FALSE(frame->view()->rendererFailed());
    EXPECT_EQ(frame->core().keyFrameCount(), 0);
    EXPECT_DOUBLE_EQ(frame->core().frameMeasures().averageDrawTime, 0.0);
    frame->Destroy();
}

TEST_F(GuiTest, FrameRateIsNotANumberUntilTwoPaintsAfterCtrlR)
{
    ASSERT_FALSE(m_frame->running());
    renderView();
    renderView();
    ASSERT_GE(m_core->frameMeasures().stamps.size(), 2u);

    // Starting the animation restarts the measurement.
    pressKey('R', true);
    EXPECT_TRUE(m_frame->running());
    EXPECT_EQ(m_core->frameMeasures().stamps.size(), 0u);
    EXPECT_TRUE(std::isnan(m_core->framesPerSecond()));
    auto rows = m_core->statisticsRows();
    EXPECT_EQ(rows[0], std::make_pair(std::string("fps"), std::string("nan")));
    EXPECT_EQ(rows[5].second, "nan");
    renderView();
    EXPECT_EQ(m_core->statisticsRows()[0].second, "nan") << "one stamp is no rate";

    // Stopping keeps the stamps.
    pressKey('r', true);
    EXPECT_FALSE(m_frame->running());
    EXPECT_EQ(m_core->frameMeasures().stamps.size(), 1u);
    renderView();
    // Two stamps are a rate (infinite when both fall in one millisecond, as on a fast machine).
    EXPECT_EQ(m_core->frameMeasures().stamps.size(), 2u);
    EXPECT_FALSE(std::isnan(m_core->framesPerSecond()));
    EXPECT_NE(m_core->statisticsRows()[0].second, "nan");

    // R without Ctrl is not handled by the view.
    pressKey('R');
    EXPECT_FALSE(m_frame->running());
}

TEST_F(GuiTest, IdleAdvancesOneFramePerIdleWhileRunning)
{
    m_core->setFrame(0);
    wxIdleEvent idle;
    m_view->ProcessWindowEvent(idle);
    EXPECT_EQ(m_core->currentFrame(), 0) << "stopped";
    m_frame->setRunning(true);
    wxIdleEvent first;
    m_view->ProcessWindowEvent(first);
    EXPECT_EQ(m_core->currentFrame(), 1);
    EXPECT_TRUE(first.MoreRequested());
    wxIdleEvent second;
    m_view->ProcessWindowEvent(second);
    EXPECT_EQ(m_core->currentFrame(), 2);
    m_frame->setRunning(false);
}

TEST_F(GuiTest, FixedDetailLevelPutsEveryAnimalOnThatLevel)
{
    loadSampleQuadruped(10);
    const auto herd = m_core->herds().front();
    ASSERT_GE(herd->levelCount(), 2u);
    const int lastLevel = kFirstFixedLevelId + static_cast<int>(herd->levelCount()) - 1;
    choose(lastLevel);
    renderView();
    EXPECT_TRUE(herd->isFixed());
    EXPECT_EQ(herd->levels().back()->instanceCount(), 10u);
    choose(kLodAggressiveId);
    renderView();
    EXPECT_FALSE(herd->isFixed());
    EXPECT_DOUBLE_EQ(herd->scale(), 0.75);
    EXPECT_TRUE(m_reports.empty());
}

namespace {

std::string keysRecordBytes(const std::string& name, std::int32_t frame, float value)
{
    std::string bytes;
    const auto appendBits = [&](std::uint32_t bits) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((bits >> (8 * i)) & 0xFFu);
    };
    appendBits(static_cast<std::uint32_t>(name.size()));
    bytes += name;
    appendBits(1);
    appendBits(static_cast<std::uint32_t>(frame));
    std::uint32_t valueBits;
    std::memcpy(&valueBits, &value, 4);
    appendBits(valueBits);
    return bytes;
}

} // namespace

TEST_F(GuiTest, OpeningTheSampleFlybyKeysTheCamera)
{
    CameraKeysRestorer restorer(*m_core);
    ASSERT_EQ(m_core->keyFrameCount(), 0);
    const float azimuthBefore = m_core->allAttributes().front()->keyable()->get();
    m_frame->files().openFile((startup().samples / "flyby.keys").string());
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().caption << ": " << m_reports.front().message;
    EXPECT_EQ(m_core->keyFrameCount(), 300);
    // Six records of seven keys for the perspective camera ("fov" stays unkeyed), none for the
    // orthographic one.
    const auto& attributes = m_core->allAttributes();
    for (std::size_t i = 0; i < attributes.size(); ++i)
        EXPECT_EQ(attributes[i]->keys().size(), i < 7 && i != 3 ? 7u : 0u) << attributes[i]->name();
    // Loaded keys take effect at the current frame without waiting for the clock.
    EXPECT_NE(attributes.front()->keyable()->get(), azimuthBefore);
    EXPECT_FLOAT_EQ(attributes.front()->keyable()->get(), attributes.front()->keys().front().value);
}

TEST_F(GuiTest, CameraKeysCommandsSaveLoadAndReportWithTheirCaptions)
{
    CameraKeysRestorer restorer(*m_core);
    const auto& attributes = m_core->allAttributes();
    attributes[7]->setKeys({{0.0f, 0.25f}, {40.0f, 1.5f}}); // the orthographic camera's azimuth
    const std::string path = writeData("saved.keys", "");
    m_frame->files().saveCameraKeysTo(path);
    ASSERT_TRUE(m_reports.empty()) << m_reports.front().caption << ": " << m_reports.front().message;
    attributes[7]->setKeys({});
    m_frame->files().loadCameraKeysFrom(path);
    ASSERT_TRUE(m_reports.empty()) << m_reports.front().caption << ": " << m_reports.front().message;
    EXPECT_EQ(attributes[7]->keys(), (std::vector<AttributeWithKeys::Key>{{0.0f, 0.25f}, {40.0f, 1.5f}}));
    EXPECT_TRUE(attributes[0]->keys().empty()) << "the perspective azimuth keeps its own (empty) keys";

    const std::string missing = path + ".missing";
    m_frame->files().loadCameraKeysFrom(missing);
    const std::string unwritable = path + ".d/none/out.keys";
    m_frame->files().saveCameraKeysTo(unwritable);
    // One record of "fov", then the file ends inside the second record's name.
    const std::string cut = writeData("cut.keys", std::string("\x02\0\0\0", 4) + keysRecordBytes("fov", 3, 50.0f) +
                                                      std::string("\x05\0\0\0dol", 7));
    m_frame->files().openFile(cut);
    m_frame->files().loadCameraKeysFrom(writeData("roll.keys", std::string("\x01\0\0\0", 4) + keysRecordBytes("roll", 0, 1.0f)));
    ASSERT_EQ(m_reports.size(), 4u);
    EXPECT_EQ(m_reports[0], (ErrorReport{"Error loading camera keys", "Error opening keys file '" + missing + "' for reading."}));
    EXPECT_EQ(m_reports[1], (ErrorReport{"Error saving camera keys", "Error opening keys file '" + unwritable + "' for writing."}));
    EXPECT_EQ(m_reports[2].caption, "Error reading camera keys");
    EXPECT_EQ(m_reports[2].message.rfind("Error reading file '" + cut + "': ", 0), 0u) << m_reports[2].message;
    EXPECT_EQ(m_reports[3], (ErrorReport{"Error loading camera keys", "Unknown attribute 'roll'."}));
    EXPECT_EQ(attributes[3]->keys(), (std::vector<AttributeWithKeys::Key>{{3.0f, 50.0f}})) << "read before the cut";
}
