#pragma once

#include "app/BatchOptions.h"

// A batch run without any window system: the same options, loading, settings and actions as
// the window's batch mode (BatchRun.h), drawn by the frame renderer in a surfaceless EGL
// context (HeadlessGLContext) into framebuffer objects, with the overlay's text from the
// project's own copy of its font. Touches neither wxWidgets nor GTK, so it runs where no X
// server is. Errors go to standard error as "caption: message"; the timedemo prints the same
// report as the window's. Returns the exit status: kExitSuccess, or kExitFailure when anything
// was reported.
int runHeadlessBatch(const BatchOptions& options);

// The size of the frames a headless timedemo draws (the export image's default size).
constexpr int kHeadlessFrameWidth = 1440;
constexpr int kHeadlessFrameHeight = 960;
// Exports draw in tiles of at most this many pixels a side.
constexpr int kHeadlessTileSide = 2048;
