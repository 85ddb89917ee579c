#include "BenchGL.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

const char* nameOf(RenderMethod method)
{
    switch (method) {
    case RenderMethod::DisplayLists: return "display_lists";
    case RenderMethod::VertexBufferObjects: return "vbo";
    default: return "vertex_arrays";
    }
}

void lookDownOnGrid(unsigned n, float spacing)
{
    const double side = std::ceil(std::sqrt(double(n))) * spacing;
    glViewport(0, 0, kBenchWidth, kBenchHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(50.0, double(kBenchWidth) / kBenchHeight, 0.1, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 1.3 * side, 0.35 * side, 0, 0, 0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
}

void clearFrame()
{
    glClearColor(0.15f, 0.15f, 0.3f, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

int runUnderXvfb(const char* program, int argc, char** argv)
{
    if (std::getenv("FLEXHERD_BENCH_UNDER_XVFB")) {
        std::fprintf(stderr, "%s: no display even under xvfb-run\n", program);
        return 1;
    }
    setenv("FLEXHERD_BENCH_UNDER_XVFB", "1", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    std::vector<char*> arguments;
    std::string xvfb = "xvfb-run", a = "-a", s = "-s", screen = "-screen 0 1280x1024x24";
    arguments.push_back(xvfb.data());
    arguments.push_back(a.data());
    arguments.push_back(s.data());
    arguments.push_back(screen.data());
    std::string self = std::filesystem::canonical("/proc/self/exe").string();
    arguments.push_back(self.data());
    for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execvp("xvfb-run", arguments.data());
    std::fprintf(stderr, "%s: cannot run xvfb-run (install xvfb and xauth)\n", program);
    return 1;
}
