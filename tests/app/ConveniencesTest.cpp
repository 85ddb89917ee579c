// The conveniences of the main frame and the view: menu items for every command id, keyboard
// shortcuts, dropped files, the mouse wheel, Home, the playback keys and the help panel.

#include "GuiTestSupport.h"

#include "app/MenuIds.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "herd/HierarchicalHerd.h"
#include "render/ViewFrustumTest.h"
#include "render/ViewNavigation.h"

#include <wx/accel.h>
#include <wx/dialog.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/menu.h>

#include <GL/glew.h>

#include <cmath>

namespace {

std::vector<std::string> herdNames(GLView* view)
{
    std::vector<std::string> names;
    for (const auto& herd : view->core().herds()) names.push_back(herd->skin()->name());
    return names;
}

// True when every corner of the box is inside the clip volume of projection x view.
bool cornersInside(const Matrix4f& clip, const BoundingBox& box)
{
    for (int i = 0; i < 8; ++i) {
        const Vector3f p(i & 1 ? box.maximum.x : box.minimum.x, i & 2 ? box.maximum.y : box.minimum.y,
                         i & 4 ? box.maximum.z : box.minimum.z);
        const Vector4f c = clip * Vector4f(p, 1.0f);
        if (!(c.w > 0.0f) || std::abs(c.x) > c.w || std::abs(c.y) > c.w || std::abs(c.z) > c.w) return false;
    }
    return true;
}

// Checks that every animal of the view is seen whole by the current camera and counts them.
void expectEveryAnimalInView(GLView* view, const std::string& where)
{
    const Camera& camera = view->core().currentCamera();
    const Matrix4f clip = camera.projection() * camera.view();
    unsigned checked = 0;
    for (const auto& herd : view->core().herds()) {
        for (unsigned i = 0; i < herd->instanceCount(); ++i, ++checked) {
            const BoundingBox box = herd->instance(i).box;
            EXPECT_FALSE(ViewFrustumTest::isOutside(clip, box)) << where << ": animal " << i << " culled";
            EXPECT_TRUE(cornersInside(clip, box)) << where << ": animal " << i << " not wholly in view";
        }
    }
    EXPECT_GT(checked, 0u) << where;
}

wxMouseEvent wheelEvent(GLView* view, int rotation)
{
    wxMouseEvent event(wxEVT_MOUSEWHEEL);
    event.m_wheelRotation = rotation;
    event.m_wheelDelta = 120;
    event.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
    event.SetEventObject(view);
    event.SetId(view->GetId());
    return event;
}

float distance(const Vector3f& a, const Vector3f& b)
{
    return (a - b).length();
}

// Number of pure white pixels (the overlay's text colour) in the rows [top, bottom) counted
// from the top of the frame buffer, left half only.
int whitePixels(const std::vector<unsigned char>& rgb, wxSize size, int top, int bottom)
{
    int count = 0;
    for (int row = std::max(top, 0); row < std::min(bottom, size.y); ++row) {
        const int y = size.y - 1 - row;
        for (int x = 0; x < size.x / 2; ++x) {
            const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * size.x + x) * 3];
            if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++count;
        }
    }
    return count;
}

} // namespace

TEST_F(GuiTest, EveryCommandItemSendsItsIdAndReachesItsCommand)
{
    // The commands with dialogs show the dialog of their command (cancelled here).
    const std::vector<std::pair<int, std::string>> dialogs = {
        {kSaveCameraKeysId, "Save camera animation file"},
        {kLoadCameraKeysId, "Load camera animation file"},
        {kLoadHerdId, "Load herd"},
        {kSaveHerdId, "Save herd"},
        {kAnimalCountId, "Number of animals"},
        {kOpenSkinId, "Open a skin file"},
    };
    for (const auto& [id, title] : dialogs) {
        wxMenuItem* item = m_frame->GetMenuBar()->FindItem(id);
        ASSERT_NE(item, nullptr) << "no menu item for command " << id;
        EXPECT_TRUE(item->IsEnabled()) << id;
        // Cancelled at once: which dialog a command opens tells which command ran.
        ScriptedDialogs hook({ScriptedDialogs::kCancel});
        choose(id);
        ASSERT_EQ(hook.shown.size(), 1u) << "item " << id;
        EXPECT_EQ(hook.shown[0].title, title) << "item " << id;
    }
    // Cancelled dialogs change nothing.
    EXPECT_TRUE(m_reports.empty());

    // The export and timedemo items carry their command ids (their commands live elsewhere).
    for (const int id : {kExportImageId, kExportImageSequenceId, kExportObjId, kTimedemoId, kAnimalCountId}) {
        wxMenuItem* item = m_frame->GetMenuBar()->FindItem(id);
        ASSERT_NE(item, nullptr) << "no menu item for command " << id;
        EXPECT_EQ(item->GetKind(), wxITEM_NORMAL) << id;
    }
    EXPECT_EQ(m_frame->GetMenuBar()->FindMenuItem("&File", "Export image..."), kExportImageId);
    EXPECT_EQ(m_frame->GetMenuBar()->FindMenuItem("Herd", "Run timedemo..."), kTimedemoId);
}

TEST_F(GuiTest, ShortcutsMapToTheirCommands)
{
    const wxAcceleratorTable* table = m_frame->GetAcceleratorTable();
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(table->IsOk());
    auto command = [&](int key, bool control) {
        wxKeyEvent event(wxEVT_KEY_DOWN);
        event.m_keyCode = key;
        event.m_controlDown = control;
        return table->GetCommand(event);
    };
    EXPECT_EQ(command('O', true), kOpenSkinId);
    EXPECT_EQ(command('E', true), kExportImageId);
    EXPECT_EQ(command('Q', true), kExitId);
    EXPECT_EQ(command(WXK_F1, false), kMouseAndKeysId);
    // Without Ctrl the letters are the view's (or nobody's).
    EXPECT_EQ(command('O', false), -1);
    EXPECT_EQ(command('Q', false), -1);
}

TEST_F(GuiTest, DroppingTwoFilesReplacesTheSceneWithTheirHerds)
{
    loadSampleQuadruped(3);
    ASSERT_EQ(herdNames(m_view), std::vector<std::string>{"quadruped"});

    auto* target = dynamic_cast<wxFileDropTarget*>(m_view->GetDropTarget());
    ASSERT_NE(target, nullptr) << "the view accepts no dropped files";
    wxArrayString files;
    files.Add(startup().validSkin.string());
    files.Add(startup().secondValidSkin.string());
    EXPECT_TRUE(target->OnDropFiles(20, 20, files));

    EXPECT_TRUE(m_reports.empty()) << m_reports.front().caption << ": " << m_reports.front().message;
    EXPECT_EQ(herdNames(m_view), (std::vector<std::string>{"herd-fine", "second"})) << "in drop order, replacing";
    EXPECT_EQ(m_core->totalAnimalCount(), 10u) << "topped up to ten animals";
    for (const auto& herd : m_core->scene().herds()) EXPECT_GT(herd->instanceCount(), 0u) << herd->skin()->name();
    // The count menus are rebuilt: "herd.bin" has two levels, so LOD offers two fixed levels.
    ASSERT_EQ(m_frame->fixedLevelItemCount(), 2u);
    EXPECT_EQ(subMenu(kLodMenuId)->FindItemByPosition(3)->GetItemLabel(), "0 (highest)");

    // A file that fails is reported and the others still load, as with the open dialog.
    wxArrayString withMissing;
    const std::string missing = (startup().dataDirectory / "dropped-missing.bin").string();
    withMissing.Add(missing);
    withMissing.Add(startup().secondValidSkin.string());
    EXPECT_TRUE(target->OnDropFiles(20, 20, withMissing));
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_NE(m_reports[0].message.find(missing), std::string::npos) << m_reports[0].message;
    EXPECT_EQ(herdNames(m_view), std::vector<std::string>{"second"});
}

TEST_F(GuiTest, WheelStepsDollyThePerspectiveCameraAndZoomThePlan)
{
    CameraRestorer restorer(m_core);
    const auto& camera = m_core->perspectiveCamera();
    const Vector3f target(0.0f, 0.0f, 0.0f);
    camera->setLookAtPoint(Vector3f(0.0f, 0.0f, 0.0f));
    camera->setAzimuth(0.5f);
    camera->setElevation(0.3f);
    // Start 30 units away so that steps in both directions stay in front of the origin.
    camera->setLookAtPoint(camera->lookAtPoint() + (camera->eye() - camera->lookAtPoint()).normalized() * 25.0f);
    const float start = distance(camera->eye(), target);
    ASSERT_NEAR(start, 30.0f, 1e-3f);
    const Vector3f eyeDirection = (camera->eye() - target).normalized();

    // Turning the wheel away from the user moves in by what a 4-pixel upward right drag does:
    // 0.06 x speed 10 x 4 = 2.4 units per step.
    wxMouseEvent forward = wheelEvent(m_view, 120);
    m_view->ProcessWindowEvent(forward);
    EXPECT_NEAR(distance(camera->eye(), target), start - 2.4f, 1e-3f);
    EXPECT_NEAR((camera->eye() - target).normalized().dot(eyeDirection), 1.0f, 1e-5f) << "straight in";
    EXPECT_FALSE(camera->isDragging());
    wxMouseEvent twoBack = wheelEvent(m_view, -240);
    m_view->ProcessWindowEvent(twoBack);
    EXPECT_NEAR(distance(camera->eye(), target), start + 2.4f, 1e-3f);
    // A touchpad's half step moves half as far.
    wxMouseEvent half = wheelEvent(m_view, 60);
    m_view->ProcessWindowEvent(half);
    EXPECT_NEAR(distance(camera->eye(), target), start + 1.2f, 1e-3f);

    // During a button drag the wheel leaves the drag alone.
    mouse(wxEVT_LEFT_DOWN, 50, 50, true);
    const Vector3f during = camera->eye();
    wxMouseEvent ignored = wheelEvent(m_view, 120);
    m_view->ProcessWindowEvent(ignored);
    EXPECT_EQ(camera->eye(), during);
    EXPECT_TRUE(camera->isDragging());
    mouse(wxEVT_LEFT_UP, 50, 50, false);

    // The plan zooms: port x e^(-0.06 x 4) per step in, the inverse out.
    choose(kOrthographicId);
    const auto& ortho = m_core->orthoCamera();
    const float port = ortho->port();
    m_view->ProcessWindowEvent(forward);
    EXPECT_NEAR(ortho->port(), port * std::exp(-0.24f), 1e-4f);
    wxMouseEvent back = wheelEvent(m_view, -120);
    m_view->ProcessWindowEvent(back);
    EXPECT_NEAR(ortho->port(), port, 1e-4f);
    choose(kPerspectiveId);
}

TEST_F(GuiTest, HomeFramesEveryAnimalWithEitherCamera)
{
    CameraRestorer restorer(m_core);
    loadSampleQuadruped(40);
    renderView();
    const double aspect = m_core->currentCamera().effectiveAspect();
    ASSERT_NEAR(aspect, double(m_view->clientSize().x) / m_view->clientSize().y, 1e-9);

    // Looking away from the herd, from far off: nothing of it is in view before Home.
    const auto& camera = m_core->perspectiveCamera();
    camera->setLookAtPoint(Vector3f(500.0f, 40.0f, -300.0f));
    camera->setAzimuth(2.5f);
    camera->setElevation(0.4f);
    pressKey(WXK_HOME);
    expectEveryAnimalInView(m_view, "perspective");
    // Framed, not merely far away: some animal reaches into the outer half of the window.
    const Matrix4f clip = camera->projection() * camera->view();
    float widest = 0.0f;
    for (const auto& herd : m_core->herds())
        for (unsigned i = 0; i < herd->instanceCount(); ++i) {
            const Vector3f p = herd->instance(i).transform.transformPoint(Vector3f(0.0f, 0.0f, 0.0f));
            const Vector4f c = clip * Vector4f(p, 1.0f);
            widest = std::max({widest, std::abs(c.x / c.w), std::abs(c.y / c.w)});
        }
    EXPECT_GT(widest, 0.4f);
    EXPECT_FLOAT_EQ(camera->azimuth(), 2.5f) << "Home keeps the direction the camera looks from";

    // And the pixels agree: the herd is drawn, so the view is no longer background and ground.
    renderView();
    const std::vector<unsigned char> framed = frameBuffer();
    camera->setLookAtPoint(Vector3f(500.0f, 40.0f, -300.0f));
    renderView();
    EXPECT_NE(frameBuffer(), framed);

    // A wide window: Home still fits the whole herd.
    camera->setAspect(3.5);
    pressKey(WXK_HOME);
    expectEveryAnimalInView(m_view, "perspective, aspect 3.5");
    camera->setAspect(aspect);

    choose(kOrthographicId);
    const auto& ortho = m_core->orthoCamera();
    ortho->setCenter(Vector2f(300.0f, -200.0f));
    ortho->setPort(0.5f);
    pressKey(WXK_HOME);
    expectEveryAnimalInView(m_view, "orthographic");
    EXPECT_GT(ortho->port(), 0.5f);
    choose(kPerspectiveId);

    // Without animals Home leaves the camera alone.
    clearScene();
    const Vector3f before = camera->lookAtPoint();
    pressKey(WXK_HOME);
    EXPECT_EQ(camera->lookAtPoint(), before);
}

TEST_F(GuiTest, SpaceTogglesRunningAndArrowsStepFrames)
{
    ASSERT_FALSE(m_frame->running());
    m_core->setFrame(5);
    m_view->render();
    ASSERT_GT(m_core->frameMeasures().stamps.size(), 0u);
    pressKey(WXK_SPACE);
    EXPECT_TRUE(m_frame->running());
    EXPECT_EQ(m_core->frameMeasures().stamps.size(), 0u) << "starting restarts the frame rate, as Ctrl+R does";
    pressKey(WXK_SPACE);
    EXPECT_FALSE(m_frame->running());

    pressKey(WXK_RIGHT);
    EXPECT_EQ(m_core->currentFrame(), 6);
    pressKey(WXK_LEFT);
    pressKey(WXK_LEFT);
    EXPECT_EQ(m_core->currentFrame(), 4);
    m_core->setFrame(0);
    pressKey(WXK_LEFT);
    EXPECT_EQ(m_core->currentFrame(), 0) << "never below frame 0";

    // The classic keys still work next to the new ones.
    pressKey(']');
    EXPECT_EQ(m_core->currentFrame(), 1);
    pressKey('R', true);
    EXPECT_TRUE(m_frame->running());
    pressKey(WXK_SPACE);
    EXPECT_FALSE(m_frame->running());

    // With a modifier the keys are not the view's.
    pressKey(WXK_SPACE, true);
    EXPECT_FALSE(m_frame->running());
    pressKey(WXK_RIGHT, true);
    EXPECT_EQ(m_core->currentFrame(), 1);
}

TEST_F(GuiTest, HelpPanelIsToggledByF1HAndItsItemAndDrawnUnderTheStatistics)
{
    ASSERT_FALSE(m_core->showHelp());
    pressKey(WXK_F1);
    EXPECT_TRUE(m_core->showHelp());
    pressKey('H');
    EXPECT_FALSE(m_core->showHelp());
    pressKey('h');
    EXPECT_TRUE(m_core->showHelp());
    pressKey(WXK_F1);
    EXPECT_FALSE(m_core->showHelp());

    // The Help menu's item toggles the same panel and shows its state.
    choose(kMouseAndKeysId);
    EXPECT_TRUE(m_core->showHelp());
    m_core->setShowHelp(false);
    m_frame->UpdateWindowUI();
    EXPECT_FALSE(m_frame->menuItem(kMouseAndKeysId)->IsChecked());
    m_core->setShowHelp(true);
    m_frame->UpdateWindowUI();
    EXPECT_TRUE(m_frame->menuItem(kMouseAndKeysId)->IsChecked());

    // Drawn: white text appears below the statistics table, and only there (no animals, whose
    // lit coats could be white too).
    clearScene();
    m_frame->menuItem(kGroundPlaneId)->Check(false);
    const wxSize size = m_view->clientSize();
    const int statisticsBottom =
        static_cast<int>(std::ceil(static_cast<double>(m_core->statisticsRows().size()) * 12.0)) + size.y / 20 + 2;
    const int panelBottom = statisticsBottom + static_cast<int>(helpRows().size() + 2) * 12;
    m_core->setShowHelp(false);
    renderView();
    const std::vector<unsigned char> without = frameBuffer();
    m_core->setShowHelp(true);
    renderView();
    const std::vector<unsigned char> with = frameBuffer();
    m_core->setShowHelp(false);
    m_frame->menuItem(kGroundPlaneId)->Check(true);

    EXPECT_EQ(whitePixels(without, size, statisticsBottom, size.y), 0) << "nothing white without the panel";
    const int panel = whitePixels(with, size, statisticsBottom, panelBottom);
    EXPECT_GT(panel, 40 * static_cast<int>(helpRows().size())) << "each help row has its text drawn";
    EXPECT_EQ(whitePixels(with, size, panelBottom, size.y), 0) << "the panel ends after its rows";
    // The statistics are still drawn above it (their figures change from frame to frame).
    EXPECT_GT(whitePixels(with, size, 0, statisticsBottom), 200);
    EXPECT_GT(whitePixels(without, size, 0, statisticsBottom), 200);
}
