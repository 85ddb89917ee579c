#pragma once

#include "render/RenderSettings.h"

#include <GL/glew.h>

#include <chrono>

// What the GL benchmarks share: the window, the camera over a grid herd, timing a draw to
// completion, and running under a virtual X server when there is no display.

constexpr int kBenchWidth = 640;
constexpr int kBenchHeight = 480;

// Benchmark names for the render methods: "display_lists", "vbo", "vertex_arrays".
const char* nameOf(RenderMethod method);

// A 50 degree perspective looking down at a grid herd of n animals spaced `spacing` apart,
// from above and in front so the whole grid fills the window; depth test and back-face
// culling on. Leaves the modelview matrix at the camera, for lights given in scene space.
void lookDownOnGrid(unsigned n, float spacing);

void clearFrame();

// Seconds that draw() takes to completion (glFinish), from a cleared frame.
template <class Draw>
double timed(Draw draw)
{
    const auto start = std::chrono::steady_clock::now();
    clearFrame();
    draw();
    glFinish();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs this program again under xvfb-run (with software GL) and returns only if that cannot
// be done, with exit status 1; program names the benchmark in messages.
int runUnderXvfb(const char* program, int argc, char** argv);
