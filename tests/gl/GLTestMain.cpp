// Entry point of the GL suite: one real GLX context for the whole process, made before any
// test runs. Without a display the suite fails with the reason; a GL suite that skipped
// silently would hide every regression it exists to catch.

#include "GLTest.h"

#include <wx/image.h>
#include <wx/init.h>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

namespace {

std::unique_ptr<GLTestWindow> g_window;

} // namespace

GLTestWindow& testWindow()
{
    return *g_window;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // wxImage reads the textures and writes the screenshots; it needs wx's base initialised and
    // its image handlers registered, as the viewer's OnInit does.
    wxInitializer wx;
    if (!wx.IsOk()) {
        std::cerr << "test_gl: wxWidgets failed to initialise\n";
        return 1;
    }
    wxInitAllImageHandlers();
    try {
        g_window = std::make_unique<GLTestWindow>(GLTest::kWidth, GLTest::kHeight);
    } catch (const std::exception& e) {
        std::cerr << "test_gl: no GL context: " << e.what() << '\n';
        return 1;
    }
    std::cout << "GL renderer: " << GLTestWindow::rendererName() << '\n';
    const int result = RUN_ALL_TESTS();
    g_window.reset();
    return result;
}
