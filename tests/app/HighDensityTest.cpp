// The view on a screen with two device pixels per logical pixel (GTK's GDK_SCALE=2 under the
// test X server): the GL viewport must cover every device pixel, and mouse motion must be
// measured in the same pixels, so that a drag turns the camera as far per pixel as on a plain
// screen. Its own executable, because the scale is fixed when GTK starts.

#include "GuiDriving.h"
#include "app/FlexherdApp.h"
#include "app/GLView.h"
#include "app/MyFrame.h"
#include "viewer/ViewerCore.h"
#include "camera/ProjectiveFixedYCamera.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/utils.h>

#include <GL/glew.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>

namespace {

void mouse(GLView* view, wxEventType type, int x, int y, bool leftDown)
{
    wxMouseEvent event(type);
    event.m_x = x;
    event.m_y = y;
    event.m_leftDown = leftDown;
    event.SetEventObject(view);
    view->ProcessWindowEvent(event);
}

} // namespace

TEST(HighDensityScreen, ViewportCoversEveryDevicePixel)
{
    GLView* view = mainFrame()->view();
    ASSERT_DOUBLE_EQ(view->GetContentScaleFactor(), 2.0) << "GTK did not take GDK_SCALE=2";
    const wxSize logical = view->GetClientSize();
    ASSERT_GT(logical.x, 0);
    EXPECT_EQ(view->clientSize(), logical * 2);

    ASSERT_TRUE(pumpUntil([&] { return view->makeCurrent(); })) << "the view cannot take its GL context";
    view->render();
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 2 * logical.x);
    EXPECT_EQ(viewport[3], 2 * logical.y);
    // The far corner of the drawable is cleared too: the light gray background at the top right.
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(2 * logical.x - 2, 2 * logical.y - 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(rgba[0], 60);
    EXPECT_EQ(rgba[1], 60);
    EXPECT_EQ(rgba[2], 60);
}

TEST(HighDensityScreen, DragsAreMeasuredInDevicePixels)
{
    GLView* view = mainFrame()->view();
    const auto& camera = view->core().perspectiveCamera();
    const float before = camera->azimuth();
    // 45 logical pixels are 90 device pixels: one radian, as 90 pixels are on a plain screen.
    mouse(view, wxEVT_LEFT_DOWN, 100, 100, true);
    mouse(view, wxEVT_MOTION, 145, 100, true);
    mouse(view, wxEVT_LEFT_UP, 145, 100, false);
    EXPECT_NEAR(camera->azimuth(), before - 1.0f, 1e-5f);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::cerr << "test_app_hidpi: FAILED: no X display (DISPLAY is not set). Run it under xvfb-run.\n";
        return 1;
    }
    // Before GTK starts: the scale of every window of the process.
    setenv("GDK_SCALE", "2", 1);
    char* wxArgv[] = {argv[0], nullptr};
    int wxArgc = 1;
    wxApp::SetInstance(new FlexherdApp);
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::cerr << "test_app_hidpi: FAILED: wxWidgets could not start on display '" << display << "'.\n";
        return 1;
    }
    if (!wxTheApp->CallOnInit() || mainFrame() == nullptr) {
        std::cerr << "test_app_hidpi: FAILED: the main frame was not made.\n";
        wxEntryCleanup();
        return 1;
    }
    // Stopped, so that idle events do not move the scene while the tests look at it.
    mainFrame()->setRunning(false);
    if (!pumpUntil([] { return mainFrame()->view()->IsShownOnScreen(); })) {
        std::cerr << "test_app_hidpi: FAILED: the frame was never shown.\n";
        wxEntryCleanup();
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
