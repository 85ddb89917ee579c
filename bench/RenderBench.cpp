// Software skin rendering against the same triangles drawn from a static vertex buffer object,
// both measured in the same run on the same GL context, so that the ratios printed at the end
// hold for this machine, this driver and its current load.
//
// The herds are SimpleHerds of 100 and 1,000 animals on a grid, every animal at a frame of its
// own (frame i modulo the frame count), seen from above so that all of them are in view. Each
// software case is drawn once before timing, so every frame is skinned, coloured and (for
// buffer objects) uploaded already: the figures are those of a running animation whose frames
// are cached. The reference draws frame 0 of the skin from static buffer objects with the same
// transforms, index batches and lighting state, one draw per animal.
//
// Needs a GL context: without DISPLAY the program runs itself again under xvfb-run (with
// Mesa's software renderer), so scripts/bench works on a machine without a display.

#include "BenchGL.h"
#include "BenchHerds.h"
#include "GLTestWindow.h"
#include "TestSkins.h"

#include "foundation/Exception.h"
#include "herd/SimpleHerd.h"
#include "render/IndexBatches.h"
#include "render/gl/ARBVertexBufferObject.h"
#include "render/gl/GLError.h"
#include "render/gl/GLMemoryManager.h"
#include "render/gl/GLState.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "render/PrtColors.h"
#include "skin/BinarySkinLoader.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <wx/image.h>
#include <wx/init.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = kBenchWidth;
constexpr int kHeight = kBenchHeight;
constexpr unsigned kHerdSizes[] = {100, 1000};
constexpr double kTarget = 0.85;

struct BenchSettings : RenderSettings {
    LightingMode lighting = LightingMode::None;
    RenderMethod method = RenderMethod::VertexArrays;
    GeometryMode geometryMode() const override { return GeometryMode::Polys; }
    LightingMode lightingMode() const override { return lighting; }
    RenderMethod renderMethod() const override { return method; }
    bool wireframeOnShaded() const override { return false; }
    bool useTriangleStrips() const override { return true; }
    unsigned vertexCorrectionCount() const override { return 0; }
    unsigned normalCorrectionCount() const override { return 0; }
    unsigned prtCorrectionCount() const override { return 0; }
};

const char* nameOf(LightingMode lighting)
{
    switch (lighting) {
    case LightingMode::None: return "none";
    case LightingMode::OpenGL: return "opengl";
    default: return "prt";
    }
}

const BenchAnimal& animal()
{
    return benchAnimal("flexherd-bench", false);
}

float spacing() { return gridSpacing(*animal().skin); }

std::shared_ptr<SimpleHerd> makeHerd(unsigned n) { return makeGridHerd(animal().skin, n); }

void setCamera(unsigned n)
{
    lookDownOnGrid(n, spacing());
    const GLfloat direction[4] = {0.4f, 1, 0.3f, 0};
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glEnable(GL_LIGHT0);
}

// Frame 0 of the animal in static buffer objects, with the renderer's index batches.
struct StaticMesh {
    std::unique_ptr<ARBVertexBufferObject> positions, normals, colors;
    std::vector<std::unique_ptr<ARBVertexBufferObject>> indexBuffers;
    std::vector<IndexBatchPlan> batches;
};

StaticMesh& staticMesh()
{
    static StaticMesh mesh = [] {
        StaticMesh m;
        const Skin& skin = *animal().skin;
        const auto& positions = skin.framePositions(0);
        const auto& normals = skin.frameNormals(0);
        const auto colors = prtFrameColors(skin.meanLighting(), skin.lightingBasis(), skin.lightingCoordinates(),
                                           skin.vertexColors(), skin.frameCount())[0];
        m.positions = std::make_unique<ARBVertexBufferObject>(positions.data(), positions.size() * 12,
                                                              GLMemoryManager::kVertexData);
        m.normals = std::make_unique<ARBVertexBufferObject>(normals.data(), normals.size() * 12,
                                                            GLMemoryManager::kVertexData);
        m.colors = std::make_unique<ARBVertexBufferObject>(colors.data(), colors.size() * 4,
                                                           GLMemoryManager::kVertexData);
        m.batches = planStripBatches(skin.primitiveGroups());
        for (const IndexBatchPlan& plan : m.batches)
            m.indexBuffers.push_back(std::make_unique<ARBVertexBufferObject>(
                plan.indices.data(), plan.indices.size() * 2, GLMemoryManager::kIndexData));
        return m;
    }();
    return mesh;
}

void drawStatic(const SimpleHerd& herd, LightingMode lighting)
{
    StaticMesh& mesh = staticMesh();
    const GLuint end = animal().skin->vertexCount();
    if (lighting == LightingMode::OpenGL)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    glColor3f(0.8f, 0.8f, 0.8f);
    GLState::ClientArray vertices(GL_VERTEX_ARRAY);
    GLState::ClientArray colors(GL_COLOR_ARRAY, lighting == LightingMode::PRT);
    GLState::ClientArray normals(GL_NORMAL_ARRAY, lighting == LightingMode::OpenGL);
    {
        const auto bound = mesh.positions->bind();
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
    }
    if (lighting == LightingMode::PRT) {
        const auto bound = mesh.colors->bind();
        glColorPointer(3, GL_FLOAT, 0, nullptr);
    }
    if (lighting == LightingMode::OpenGL) {
        const auto bound = mesh.normals->bind();
        glNormalPointer(GL_FLOAT, 0, nullptr);
    }
    const ViewFrustumTest frustum = GLState::viewFrustumTest();
    for (unsigned i = 0; i < herd.instanceCount(); ++i) {
        const HerdInstance instance = herd.instance(i);
        if (frustum.isOutside(instance.box)) continue;
        GLState::ModelviewPush push;
        glMultMatrixf(instance.transform.transposed().data());
        for (std::size_t b = 0; b < mesh.batches.size(); ++b) {
            const auto bound = mesh.indexBuffers[b]->bind();
            for (const DrawRange& range : mesh.batches[b].ranges)
                glDrawRangeElements(range.mode, 0, end, static_cast<GLsizei>(range.count), GL_UNSIGNED_SHORT,
                                    reinterpret_cast<const void*>(range.byteOffset));
        }
    }
    glDisable(GL_LIGHTING);
}

std::map<unsigned, std::shared_ptr<SimpleHerd>>& herds()
{
    static std::map<unsigned, std::shared_ptr<SimpleHerd>> all;
    return all;
}

// Triangles per second of the software renderer and of the reference, by benchmark name.
struct Rates {
    double software = 0;
    double reference = 0;
};

std::map<std::string, Rates>& rates()
{
    static std::map<std::string, Rates> all;
    return all;
}

// Times the software renderer for as many iterations as the library asks, each iteration
// preceded by a draw of the reference, so that both see the same machine load (other work on
// a shared machine comes and goes within seconds). Counts the triangles of every animal.
void measure(benchmark::State& state, const std::string& name, unsigned n, RenderMethod method, LightingMode lighting)
{
    setCamera(n);
    SoftwareSkinRenderer renderer(herds()[n], 0, animal().directory);
    BenchSettings settings;
    settings.method = method;
    settings.lighting = lighting;
    auto software = [&] { renderer.render(settings); };
    auto reference = [&] { drawStatic(*herds()[n], lighting); };
    // Warm-up: skins every frame shown and fills every cache of both.
    timed(software);
    timed(reference);
    checkGLError(name);

    double softwareSeconds = 0, referenceSeconds = 0;
    for (auto _ : state) {
        referenceSeconds += timed(reference);
        const double seconds = timed(software);
        softwareSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    const double triangles = double(animal().skin->triangleCount()) * n * double(state.iterations());
    state.counters["Mtriangles/s"] = benchmark::Counter(triangles / softwareSeconds / 1e6);
    state.counters["reference"] = benchmark::Counter(triangles / referenceSeconds / 1e6);
    state.counters["ratio"] = benchmark::Counter(referenceSeconds / softwareSeconds);
    rates()[name] = {triangles / softwareSeconds, triangles / referenceSeconds};
    renderer.releaseGLResources();
}

std::string nameOf(RenderMethod method, LightingMode lighting, unsigned n)
{
    return std::string("software/") + nameOf(method) + "/" + nameOf(lighting) + "/" + std::to_string(n);
}

constexpr RenderMethod kMethods[] = {RenderMethod::VertexArrays, RenderMethod::DisplayLists,
                                     RenderMethod::VertexBufferObjects};
constexpr LightingMode kLightings[] = {LightingMode::None, LightingMode::OpenGL, LightingMode::PRT};

void registerBenchmarks()
{
    for (unsigned n : kHerdSizes) {
        herds()[n] = makeHerd(n);
        for (LightingMode lighting : kLightings)
            for (RenderMethod method : kMethods) {
                const std::string name = nameOf(method, lighting, n);
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                    measure(state, name, n, method, lighting);
                })->UseManualTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);
            }
    }
}

void printRatios()
{
    std::printf("\nAnimal: %s, %u triangles, %u vertices, %u frames; renderer: %s\n", animal().description.c_str(),
                animal().skin->triangleCount(), animal().skin->vertexCount(), animal().skin->frameCount(),
                GLTestWindow::rendererName().c_str());
    std::printf("Software renderer (frames cached) vs the same triangles from a static VBO, Mtriangles/s:\n");
    for (unsigned n : kHerdSizes)
        for (LightingMode lighting : kLightings)
            for (RenderMethod method : kMethods) {
                const std::string name = nameOf(method, lighting, n);
                const auto found = rates().find(name);
                if (found == rates().end()) continue; // filtered out
                const Rates& r = found->second;
                const double ratio = r.software / r.reference;
                std::printf("  %-40s %7.2f / %7.2f = %5.2fx  (target >= %.2fx: %s)\n", name.c_str(), r.software / 1e6,
                            r.reference / 1e6, ratio, kTarget, ratio >= kTarget ? "met" : "MISSED");
            }
}

} // namespace

int main(int argc, char** argv)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return runUnderXvfb("bench_render", argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    wxInitializer wx;
    wxInitAllImageHandlers(); // the sample's texture is loaded by the renderer
    std::unique_ptr<GLTestWindow> window;
    try {
        window = std::make_unique<GLTestWindow>(kWidth, kHeight);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_render: no GL context: %s\n", e.what());
        return 1;
    }
    try {
        registerBenchmarks();
        benchmark::RunSpecifiedBenchmarks();
        printRatios();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_render: %s\n", e.what());
        removeBenchAnimalScratch();
        return 1;
    }
    benchmark::Shutdown();
    removeBenchAnimalScratch();
    return 0;
}
