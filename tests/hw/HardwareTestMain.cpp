// Entry point of the hardware renderer suite: one real GLX context for the whole process, made
// before any test runs. Without a display, or without ARB_vertex_program, the suite fails with
// the reason; a GL suite that skipped silently would hide every regression it exists to catch.

#include "HardwareTest.h"

#include "render/gl/GLTextureCache.h"
#include "render/gl/SoftAlphaMask.h"

#include <GL/glew.h>
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
        std::cerr << "test_hw: wxWidgets failed to initialise\n";
        return 1;
    }
    wxInitAllImageHandlers();
    try {
        g_window = std::make_unique<GLTestWindow>(HardwareTest::kWidth, HardwareTest::kHeight);
    } catch (const std::exception& e) {
        std::cerr << "test_hw: no GL context: " << e.what() << '\n';
        return 1;
    }
    if (!GLEW_ARB_vertex_program || !GLEW_ARB_vertex_buffer_object) {
        std::cerr << "test_hw: GL_ARB_vertex_program or GL_ARB_vertex_buffer_object is missing\n";
        return 1;
    }
    std::cout << "GL renderer: " << GLTestWindow::rendererName() << '\n';
    const int result = RUN_ALL_TESTS();
    // Process-wide textures go while their context is still current.
    SoftAlphaMask::release();
    GLTextureCache::releaseAll();
    g_window.reset();
    return result;
}
