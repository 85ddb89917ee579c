#pragma once

#include "GLTestWindow.h"

#include <functional>
#include <string>

// The entry point shared by the GL suites: one real GLX context for the whole process, made
// before any test runs, with wx's image handlers registered (wxImage reads the textures and
// writes the screenshots, as in the viewer). Without a display, or when missingFeature names
// something the driver lacks, the suite fails with the reason: a GL suite that skipped
// silently would hide every regression it exists to catch. beforeTeardown runs while the
// context is still current, for process-wide GL objects.
int runGLSuite(int argc, char** argv, const std::string& suite, int width, int height,
               const std::function<std::string()>& missingFeature = {},
               const std::function<void()>& beforeTeardown = {});

// The suite's window; valid while the tests run.
GLTestWindow& testWindow();
