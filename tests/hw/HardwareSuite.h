#pragma once

#include "GLTest.h"

// The hardware suite's window, in pixels; the fixture is the GL suites' shared one (GLTest).
inline constexpr int kWidth = 512;
inline constexpr int kHeight = 384;

// The hardware tests' settings: OpenGL lighting unless a test chooses otherwise.
struct HwSettings : TestSettings {
    HwSettings() : TestSettings(LightingMode::OpenGL) {}
};
