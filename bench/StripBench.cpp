// Strip builder speed and vertex cache quality on generated and real meshes, compared with
// the input order drawn as a list and, when available, with meshoptimizer's FIFO vertex
// cache optimiser followed by its stripifier.
//
// ACMR everywhere is misses per input triangle in a 16-entry FIFO cache that starts empty,
// all primitives of one mesh going through the same cache. meshoptimizer's strips are made
// with a restart index and fed split at the restarts, each piece as its own strip, which is
// how the viewer would draw them without primitive restart. Those pieces also contain
// degenerate triangles where a strip turns; mopt_per_drawn shows its misses per drawn
// triangle with them counted, for reference only.
//
// Sample animals (the skin's binary files, made by a generator still to come) are not loaded
// yet; FLEXHERD_SAMPLE_DIR is only acknowledged.

#include "BenchMeshes.h"

#include "mesh/TriangleStripBuilder.h"
#include "mesh/VertexCacheFifo.h"

#include <benchmark/benchmark.h>

#ifdef FLEXHERD_HAVE_MESHOPTIMIZER
#include <meshoptimizer.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr unsigned kCacheSize = 16;
const char* const kWusonPath = "/usr/share/assimp/models/OBJ/WusonOBJ.obj";

struct MeshFigures {
    double inputAcmr = 0;
    double oursAcmr = 0;
    double meshoptAcmr = 0;     // 0 when meshoptimizer is not built in
    double meshoptPerDrawn = 0; // its misses per drawn triangle, degenerate ones included
    size_t strips = 0;
    size_t leftoverTriangles = 0;
};

double missesPerTriangle(const std::vector<StripPrimitive>& primitives, size_t triangles)
{
    VertexCacheFifo cache(kCacheSize);
    for (const StripPrimitive& p : primitives)
        cache.feed(p.indices.begin(), p.indices.end());
    return triangles == 0 ? 0.0 : double(cache.misses()) / double(triangles);
}

#ifdef FLEXHERD_HAVE_MESHOPTIMIZER
std::vector<StripPrimitive> meshoptStrips(const BenchMesh& mesh)
{
    std::vector<uint32_t> optimised(mesh.indices.size());
    meshopt_optimizeVertexCacheFifo(optimised.data(), mesh.indices.data(), mesh.indices.size(), mesh.vertexCount,
                                    kCacheSize);
    std::vector<uint32_t> strip(meshopt_stripifyBound(mesh.indices.size()));
    size_t size = meshopt_stripify(strip.data(), optimised.data(), optimised.size(), mesh.vertexCount, ~0u);
    std::vector<StripPrimitive> primitives;
    StripPrimitive piece{StripPrimitive::Type::TriangleStrip, {}};
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || strip[i] == ~0u) {
            if (piece.indices.size() >= 3)
                primitives.push_back(piece);
            piece.indices.clear();
        } else {
            piece.indices.push_back(strip[i]);
        }
    }
    return primitives;
}
#endif

MeshFigures measure(const BenchMesh& mesh)
{
    MeshFigures figures;
    size_t triangles = mesh.indices.size() / 3;
    figures.inputAcmr = missesPerTriangle({StripPrimitive{StripPrimitive::Type::TriangleList, mesh.indices}}, triangles);
    std::vector<StripPrimitive> ours = TriangleStripBuilder().build(mesh.indices);
    figures.oursAcmr = missesPerTriangle(ours, triangles);
    for (const StripPrimitive& p : ours) {
        if (p.type == StripPrimitive::Type::TriangleStrip)
            ++figures.strips;
        else
            figures.leftoverTriangles += p.indices.size() / 3;
    }
#ifdef FLEXHERD_HAVE_MESHOPTIMIZER
    std::vector<StripPrimitive> reference = meshoptStrips(mesh);
    figures.meshoptAcmr = missesPerTriangle(reference, triangles);
    // Its strips turn corners with degenerate triangles; counted as drawn triangles they
    // would lower its figure without saving a single vertex.
    size_t drawn = 0;
    for (const StripPrimitive& p : reference)
        drawn += VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindStrip, p.indices.size());
    figures.meshoptPerDrawn = drawn == 0 ? 0.0 : figures.meshoptAcmr * double(triangles) / double(drawn);
#endif
    return figures;
}

void benchBuild(benchmark::State& state, const BenchMesh& mesh, const MeshFigures& figures)
{
    TriangleStripBuilder builder;
    for (auto _ : state) {
        std::vector<StripPrimitive> out = builder.build(mesh.indices);
        benchmark::DoNotOptimize(out.data());
    }
    double triangles = double(mesh.indices.size() / 3);
    state.counters["tris/s"] = benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["acmr_input"] = figures.inputAcmr;
    state.counters["acmr_ours"] = figures.oursAcmr;
    if (figures.meshoptAcmr > 0) {
        state.counters["acmr_meshopt"] = figures.meshoptAcmr;
        state.counters["ours/meshopt"] = figures.oursAcmr / figures.meshoptAcmr;
    }
}

// The same build as skins run it, primitives handed to a sink instead of collected into a
// vector each: the difference to build/ is what the vectors cost.
void benchBuildToSink(benchmark::State& state, const BenchMesh& mesh)
{
    TriangleStripBuilder builder;
    size_t indices = 0;
    for (auto _ : state) {
        builder.build(mesh.indices, [&](StripPrimitive::Type, std::span<const uint32_t> primitive) {
            indices += primitive.size();
        });
        benchmark::DoNotOptimize(indices);
    }
    double triangles = double(mesh.indices.size() / 3);
    state.counters["tris/s"] = benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
}

#ifdef FLEXHERD_HAVE_MESHOPTIMIZER
void benchMeshopt(benchmark::State& state, const BenchMesh& mesh)
{
    for (auto _ : state) {
        std::vector<StripPrimitive> out = meshoptStrips(mesh);
        benchmark::DoNotOptimize(out.data());
    }
    double triangles = double(mesh.indices.size() / 3);
    state.counters["tris/s"] = benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
}
#endif

std::vector<BenchMesh>& meshes()
{
    static std::vector<BenchMesh> list;
    return list;
}

std::vector<MeshFigures>& figures()
{
    static std::vector<MeshFigures> list;
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    BenchMesh sphere = makeSphereMesh(100, 101); // 20000 triangles
    meshes().push_back(sphere);
    meshes().push_back(makeTorusMesh(300, 100)); // 60000 triangles
    meshes().push_back(shuffledMesh(sphere, 20240601));
    BenchMesh wuson;
    std::string error;
    if (loadObjMesh(kWusonPath, wuson, error))
        meshes().push_back(std::move(wuson));
    else
        std::printf("skipping Wuson: %s\n", error.c_str());

    // Sample animals come from the skin's binary files, which a later generator produces;
    // until then the directory is only acknowledged so scripts can already pass it.
    if (const char* sampleDir = std::getenv("FLEXHERD_SAMPLE_DIR"))
        std::printf("FLEXHERD_SAMPLE_DIR=%s: sample animals are not loaded by this bench yet\n", sampleDir);

    std::printf("%-16s %8s %10s %10s %10s %12s %8s %10s %14s\n", "mesh", "tris", "acmr_input", "acmr_ours",
                "acmr_mopt", "ours/meshopt", "strips", "leftovers", "mopt_per_drawn");
    for (const BenchMesh& mesh : meshes()) {
        MeshFigures f = measure(mesh);
        figures().push_back(f);
        std::printf("%-16s %8zu %10.3f %10.3f %10.3f %12.3f %8zu %10zu %14.3f\n", mesh.name.c_str(),
                    mesh.indices.size() / 3, f.inputAcmr, f.oursAcmr, f.meshoptAcmr,
                    f.meshoptAcmr > 0 ? f.oursAcmr / f.meshoptAcmr : 0.0, f.strips, f.leftoverTriangles,
                    f.meshoptPerDrawn);
    }
    std::fflush(stdout);

    for (size_t i = 0; i < meshes().size(); ++i) {
        const BenchMesh& mesh = meshes()[i];
        const MeshFigures& f = figures()[i];
        benchmark::RegisterBenchmark(("build/" + mesh.name).c_str(),
                                     [&mesh, &f](benchmark::State& state) { benchBuild(state, mesh, f); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("buildToSink/" + mesh.name).c_str(),
                                     [&mesh](benchmark::State& state) { benchBuildToSink(state, mesh); })
            ->Unit(benchmark::kMicrosecond);
#ifdef FLEXHERD_HAVE_MESHOPTIMIZER
        benchmark::RegisterBenchmark(("meshopt/" + mesh.name).c_str(),
                                     [&mesh](benchmark::State& state) { benchMeshopt(state, mesh); })
            ->Unit(benchmark::kMicrosecond);
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
