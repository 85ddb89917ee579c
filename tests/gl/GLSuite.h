#pragma once

#include "GLTest.h"

// The GL suite's window, in pixels; the fixture is the GL suites' shared one (GLTest).
inline constexpr int kWidth = 256;
inline constexpr int kHeight = 256;
