// Hardware skin rendering of herds of the sample animal, in every render method, against the
// same triangles drawn from static vertex buffer objects with a pass-through vertex program,
// and beside the software renderer, all in one run on one GL context, so that the ratios
// printed at the end hold for this machine, this driver and its current load.
//
// Herds of 100, 1,000 and 4,000 animals stand on a grid, animal i at frame i modulo the frame
// count, seen from above so that all of them are in view. The hardware renderer runs with PRT
// lighting (7 basis vectors) and with OpenGL lighting, no eigenskin corrections, the sample's
// texture bound. The reference draws frame 0 from static buffer objects (positions, that
// frame's PRT colours, texture coordinates) through a program that only transforms the
// position and copies colour and texture coordinate, with the same texture, index batches and
// per-animal transforms: what drawing costs when nothing is skinned or lit. Every case is
// drawn once before timing (programs built, lists compiled, frames skinned and cached); each
// timed frame of a case is paired with a timed frame of the reference, so both see the same
// machine load, and the ratio reported is the median over the pairs.
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
#include "render/PrtColors.h"
#include "render/TexturePath.h"
#include "render/gl/ARBVertexBufferObject.h"
#include "render/gl/ARBVertexProgram.h"
#include "render/gl/GLError.h"
#include "render/gl/GLMemoryManager.h"
#include "render/gl/GLState.h"
#include "render/gl/GLTextureCache.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/SoftAlphaMask.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/BinarySkinLoader.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <wx/image.h>
#include <wx/init.h>

#include <algorithm>
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
constexpr unsigned kHerdSizes[] = {100, 1000, 4000};
constexpr unsigned kPrtVectors = 7;
// Hardware renderer against static drawing.
constexpr double kTarget = 0.65;

struct BenchSettings : RenderSettings {
    LightingMode lighting = LightingMode::PRT;
    RenderMethod method = RenderMethod::VertexBufferObjects;
    bool strips = false;
    GeometryMode geometryMode() const override { return GeometryMode::Polys; }
    LightingMode lightingMode() const override { return lighting; }
    RenderMethod renderMethod() const override { return method; }
    bool wireframeOnShaded() const override { return false; }
    bool useTriangleStrips() const override { return strips; }
    unsigned vertexCorrectionCount() const override { return 0; }
    unsigned normalCorrectionCount() const override { return 0; }
    unsigned prtCorrectionCount() const override { return kPrtVectors; }
};

const char* nameOf(LightingMode lighting)
{
    return lighting == LightingMode::OpenGL ? "opengl" : lighting == LightingMode::PRT ? "prt7" : "none";
}

const BenchAnimal& animal()
{
    return benchAnimal("flexherd-bench-hw", true);
}

float spacing() { return gridSpacing(*animal().skin); }

std::shared_ptr<SimpleHerd> makeHerd(unsigned n) { return makeGridHerd(animal().skin, n); }

void setCamera(unsigned n)
{
    lookDownOnGrid(n, spacing());
    // Lights are given in eye space, with unit length as the generated program expects.
    const Vector3f d = Vector3f(0.4f, 1, 0.3f).normalized();
    const GLfloat direction[4] = {d.x, d.y, d.z, 0};
    const GLfloat white[4] = {1, 1, 1, 1};
    GLState::ModelviewPush eyeSpace;
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glEnable(GL_LIGHT0);
}

// The pass-through program: position by the modelview-projection matrix, colour and texture
// coordinate copied. Generic attributes only: llvmpipe refuses a generic attribute bound with
// its conventional alias.
constexpr const char* kPassThrough = "!!ARBvp1.0\n"
                                     "ATTRIB position = vertex.attrib[0];\n"
                                     "ATTRIB colour = vertex.attrib[1];\n"
                                     "ATTRIB texCoord = vertex.attrib[8];\n"
                                     "PARAM mvp[4] = { state.matrix.mvp };\n"
                                     "DP4 result.position.x, position, mvp[0];\n"
                                     "DP4 result.position.y, position, mvp[1];\n"
                                     "DP4 result.position.z, position, mvp[2];\n"
                                     "DP4 result.position.w, position, mvp[3];\n"
                                     "MOV result.color, colour;\n"
                                     "MOV result.texcoord, texCoord;\n"
                                     "END\n";

// The renderers' index batches of one kind (plain triangles or strips) in buffer objects.
struct StaticBatches {
    std::vector<std::unique_ptr<ARBVertexBufferObject>> buffers;
    std::vector<IndexBatchPlan> plans;

    explicit StaticBatches(std::vector<IndexBatchPlan> batches) : plans(std::move(batches))
    {
        for (const IndexBatchPlan& plan : plans)
            buffers.push_back(std::make_unique<ARBVertexBufferObject>(plan.indices.data(), plan.indices.size() * 2,
                                                                      GLMemoryManager::kIndexData));
    }
};

// Frame 0 of the animal in static buffer objects, with the renderers' index batches.
struct StaticMesh {
    std::unique_ptr<ARBVertexBufferObject> positions, colors, texCoords;
    std::unique_ptr<StaticBatches> triangles, strips;
    std::unique_ptr<ARBVertexProgram> program;
    std::shared_ptr<GLTexture> texture;
};

StaticMesh& staticMesh()
{
    static StaticMesh mesh = [] {
        StaticMesh m;
        const Skin& skin = *animal().skin;
        const auto& positions = skin.framePositions(0);
        const auto colors = prtFrameColors(skin.meanLighting(), skin.lightingBasis(), skin.lightingCoordinates(),
                                           skin.vertexColors(), skin.frameCount())[0];
        m.positions = std::make_unique<ARBVertexBufferObject>(positions.data(), positions.size() * 12,
                                                              GLMemoryManager::kVertexData);
        m.colors = std::make_unique<ARBVertexBufferObject>(colors.data(), colors.size() * 4,
                                                           GLMemoryManager::kVertexData);
        std::vector<Vector2f> texCoords = skin.textureCoordinates();
        texCoords.resize(skin.vertexCount());
        m.texCoords = std::make_unique<ARBVertexBufferObject>(texCoords.data(), texCoords.size() * 8,
                                                              GLMemoryManager::kVertexData);
        m.triangles = std::make_unique<StaticBatches>(planTriangleBatch(skin.triangles()));
        m.strips = std::make_unique<StaticBatches>(planStripBatches(skin.primitiveGroups()));
        m.program = std::make_unique<ARBVertexProgram>(kPassThrough);
        if (!skin.textureFileName().empty())
            m.texture = GLTextureCache::texture(texturePath(animal().directory, skin.textureFileName()));
        return m;
    }();
    return mesh;
}

void drawStatic(const SimpleHerd& herd, bool strips)
{
    StaticMesh& mesh = staticMesh();
    const StaticBatches& batches = strips ? *mesh.strips : *mesh.triangles;
    const GLuint end = animal().skin->vertexCount();
    std::unique_ptr<GLTexture::Binding> texture;
    if (mesh.texture) {
        texture = std::make_unique<GLTexture::Binding>(*mesh.texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    const std::pair<const ARBVertexBufferObject*, std::pair<GLuint, GLint>> arrays[] = {
        {mesh.positions.get(), {0, 3}}, {mesh.colors.get(), {1, 3}}, {mesh.texCoords.get(), {8, 2}}};
    for (const auto& [buffer, where] : arrays) {
        const auto bound = buffer->bind();
        glVertexAttribPointerARB(where.first, where.second, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArrayARB(where.first);
    }
    ARBVertexProgram::Binding program(*mesh.program);
    const ViewFrustumTest frustum = GLState::viewFrustumTest();
    for (unsigned i = 0; i < herd.instanceCount(); ++i) {
        const HerdInstance instance = herd.instance(i);
        if (frustum.isOutside(instance.box)) continue;
        GLState::ModelviewPush push;
        glMultMatrixf(instance.transform.transposed().data());
        for (std::size_t b = 0; b < batches.plans.size(); ++b) {
            const auto bound = batches.buffers[b]->bind();
            for (const DrawRange& range : batches.plans[b].ranges)
                glDrawRangeElements(range.mode, 0, end, static_cast<GLsizei>(range.count), GL_UNSIGNED_SHORT,
                                    reinterpret_cast<const void*>(range.byteOffset));
        }
    }
    for (const auto& entry : arrays) glDisableVertexAttribArrayARB(entry.second.first);
}

std::map<unsigned, std::shared_ptr<SimpleHerd>>& herds()
{
    static std::map<unsigned, std::shared_ptr<SimpleHerd>> all;
    return all;
}

// Triangles per second of a case and of the reference timed beside it, and the median of
// their paired ratios, by benchmark name.
struct Rates {
    double measured = 0;
    double reference = 0;
    double ratio = 0;
};

std::map<std::string, Rates>& rates()
{
    static std::map<std::string, Rates> all;
    return all;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Times the case for as many iterations as registered, each paired with a draw of the
// reference right before or after it (alternating, so neither always comes first), and takes
// the median of the paired ratios: load from other work on a shared machine comes and goes
// within seconds and would swamp a ratio of totals.
void measure(benchmark::State& state, const std::string& name, unsigned n, SkinRenderer& renderer,
             const BenchSettings& settings)
{
    setCamera(n);
    auto drawCase = [&] { renderer.render(settings); };
    auto reference = [&] { drawStatic(*herds()[n], settings.strips); };
    // Warm-up: programs built, buffers made, lists compiled, frames skinned and cached.
    timed(drawCase);
    timed(reference);
    checkGLError(name);

    double caseSeconds = 0, referenceSeconds = 0;
    std::vector<double> ratios;
    for (auto _ : state) {
        const bool referenceFirst = ratios.size() % 2 == 0;
        const double before = referenceFirst ? timed(reference) : 0.0;
        const double seconds = timed(drawCase);
        const double referenceTime = referenceFirst ? before : timed(reference);
        caseSeconds += seconds;
        referenceSeconds += referenceTime;
        ratios.push_back(referenceTime / seconds);
        state.SetIterationTime(seconds);
    }
    checkGLError(name);
    const double triangles = double(animal().skin->triangleCount()) * n * double(state.iterations());
    state.counters["Mtriangles/s"] = benchmark::Counter(triangles / caseSeconds / 1e6);
    state.counters["static"] = benchmark::Counter(triangles / referenceSeconds / 1e6);
    state.counters["ratio"] = benchmark::Counter(median(ratios));
    rates()[name] = {triangles / caseSeconds, triangles / referenceSeconds, median(ratios)};
    renderer.releaseGLResources();
}

// One benchmark: a renderer (hardware in some method, or software from buffer objects), a
// lighting mode, plain triangles or strips, and a herd size.
struct Case {
    bool hardware = true;
    RenderMethod method = RenderMethod::VertexBufferObjects;
    LightingMode lighting = LightingMode::PRT;
    bool strips = false;
    unsigned n = 100;

    std::string name() const
    {
        return std::string(hardware ? "hardware/" : "software/") + nameOf(method) + "/" + nameOf(lighting) +
               (strips ? "/strips/" : "/triangles/") + std::to_string(n);
    }
};

constexpr RenderMethod kMethods[] = {RenderMethod::DisplayLists, RenderMethod::VertexBufferObjects,
                                     RenderMethod::VertexArrays};
constexpr LightingMode kLightings[] = {LightingMode::PRT, LightingMode::OpenGL};

// Every method and lighting, for every herd size with plain triangles (one draw call per
// animal: what skinning costs), and for the smallest herd with the skin's triangle strips too
// (thousands of short strips per animal: what draw calls cost).
std::vector<Case> cases()
{
    std::vector<Case> all;
    for (unsigned n : kHerdSizes)
        for (bool strips : {false, true}) {
            if (strips && n != kHerdSizes[0]) continue;
            for (LightingMode lighting : kLightings) {
                for (RenderMethod method : kMethods) all.push_back({true, method, lighting, strips, n});
                all.push_back({false, RenderMethod::VertexBufferObjects, lighting, strips, n});
            }
        }
    return all;
}

// Timed frames per case: fewer for the big herds, one frame of 4,000 animals takes seconds on
// llvmpipe.
benchmark::IterationCount iterations(unsigned n)
{
    return n >= 4000 ? 3 : n >= 1000 ? 4 : 8;
}

void registerBenchmarks()
{
    for (unsigned n : kHerdSizes) herds()[n] = makeHerd(n);
    for (const Case& c : cases()) {
        const std::string name = c.name();
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            BenchSettings settings;
            settings.lighting = c.lighting;
            settings.method = c.method;
            settings.strips = c.strips;
            std::unique_ptr<SkinRenderer> renderer;
            if (c.hardware)
                renderer = std::make_unique<HardwareSkinRenderer>(herds()[c.n], 0, animal().directory);
            else
                renderer = std::make_unique<SoftwareSkinRenderer>(herds()[c.n], 0, animal().directory);
            measure(state, name, c.n, *renderer, settings);
        })->UseManualTime()->Iterations(iterations(c.n))->Unit(benchmark::kMillisecond);
    }
}

void printRatios()
{
    std::printf("\nAnimal: %s, %u triangles, %u vertices, %u frames, %u bones, up to %u influences; renderer: %s\n",
                animal().description.c_str(), animal().skin->triangleCount(), animal().skin->vertexCount(),
                animal().skin->frameCount(), animal().skin->boneCount(), animal().skin->maxInfluenceCount(),
                GLTestWindow::rendererName().c_str());
    std::printf("Mtriangles/s against the same triangles from a static VBO with a pass-through program\n"
                "(median of the ratios of paired frames):\n");
    for (const Case& c : cases()) {
        const auto found = rates().find(c.name());
        if (found == rates().end()) continue; // filtered out
        const Rates& r = found->second;
        const double ratio = r.ratio;
        if (c.hardware)
            std::printf("  %-44s %7.2f / %7.2f : %5.2fx  (target >= %.2fx: %s)\n", c.name().c_str(), r.measured / 1e6,
                        r.reference / 1e6, ratio, kTarget, ratio >= kTarget ? "met" : "MISSED");
        else
            std::printf("  %-44s %7.2f / %7.2f : %5.2fx  (software renderer, for comparison)\n", c.name().c_str(),
                        r.measured / 1e6, r.reference / 1e6, ratio);
    }
}


} // namespace

int main(int argc, char** argv)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return runUnderXvfb("bench_hw_render", argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    wxInitializer wx;
    wxInitAllImageHandlers(); // the sample's texture is loaded by the renderer
    std::unique_ptr<GLTestWindow> window;
    try {
        window = std::make_unique<GLTestWindow>(kWidth, kHeight);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_hw_render: no GL context: %s\n", e.what());
        return 1;
    }
    int result = 0;
    try {
        registerBenchmarks();
        benchmark::RunSpecifiedBenchmarks();
        printRatios();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_hw_render: %s\n", e.what());
        result = 1;
    }
    benchmark::Shutdown();
    // GL objects held by statics go while the context is current.
    staticMesh() = StaticMesh();
    GLTextureCache::releaseAll();
    SoftAlphaMask::release();
    removeBenchAnimalScratch();
    return result;
}
