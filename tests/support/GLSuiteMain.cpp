#include "GLSuiteMain.h"

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

int runGLSuite(int argc, char** argv, const std::string& suite, int width, int height,
               const std::function<std::string()>& missingFeature, const std::function<void()>& beforeTeardown)
{
    ::testing::InitGoogleTest(&argc, argv);
    wxInitializer wx;
    if (!wx.IsOk()) {
        std::cerr << suite << ": wxWidgets failed to initialise\n";
        return 1;
    }
    wxInitAllImageHandlers();
    try {
        g_window = std::make_unique<GLTestWindow>(width, height);
    } catch (const std::exception& e) {
        std::cerr << suite << ": no GL context: " << e.what() << '\n';
        return 1;
    }
    if (missingFeature) {
        const std::string missing = missingFeature();
        if (!missing.empty()) {
            std::cerr << suite << ": " << missing << '\n';
            return 1;
        }
    }
    std::cout << "GL renderer: " << GLTestWindow::rendererName() << '\n';
    const int result = RUN_ALL_TESTS();
    if (beforeTeardown) beforeTeardown();
    g_window.reset();
    return result;
}
