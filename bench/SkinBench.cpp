// Frame evaluation against plain scalar skinning loops and against the kernel's earlier
// approximate version (what exact results cost), PRT colours against the sgemv they replaced,
// and binary loading against a plain read of the same file, each pair measured in the same run
// so that the ratios printed at the end hold for this machine and its current load.
//
// Every evaluation benchmark writes frame f into storage of its own for that frame, as the
// skin's frame caches do, and cycles through all frames: each iteration skins a frame afresh
// into memory that was last touched frames ago.

#include "ApproximateSkinning.h"
#include "CollectingReporter.h"
#include "render/PrtColors.h"
#include "skin/BinarySkinLoader.h"
#include "skin/BinarySkinWriter.h"
#include "skin/Skin.h"
#include "skin/SkinningKernel.h"

#include <benchmark/benchmark.h>
#include <cblas.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr unsigned kBones = 30;
constexpr unsigned kFrames = 40;
constexpr unsigned kRingVertices = 100;
constexpr unsigned kCorrections = 8;

// A tube along z, kRingVertices around and vertexCount / kRingVertices rings long, bent by
// kBones bones spaced along its axis. Each vertex follows its four nearest bones with smooth
// Gaussian weights; each bone swings about its own joint a little differently every frame.
SkinRecord tubeRecord(unsigned vertexCount, unsigned corrections, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const unsigned rings = vertexCount / kRingVertices;
    const float length = 10.0f;
    SkinRecord r;
    r.name = "tube" + std::to_string(vertexCount);
    for (unsigned ring = 0; ring < rings; ++ring)
        for (unsigned k = 0; k < kRingVertices; ++k) {
            const float angle = 6.2831853f * float(k) / kRingVertices;
            const float z = length * float(ring) / float(rings - 1);
            r.positions.push_back({std::cos(angle), std::sin(angle), z});
            r.normals.push_back({std::cos(angle), std::sin(angle), 0.0f});
            r.textureCoordinates.push_back({float(k) / kRingVertices, z / length});
            r.vertexColors.push_back({0.8f, 0.7f, 0.6f});
        }
    const unsigned v = rings * kRingVertices;
    for (unsigned ring = 0; ring + 1 < rings; ++ring)
        for (unsigned k = 0; k < kRingVertices; ++k) {
            const unsigned a = ring * kRingVertices + k, b = ring * kRingVertices + (k + 1) % kRingVertices;
            const unsigned c = b + kRingVertices, d = a + kRingVertices;
            r.triangles.push_back(Triangle{{a, b, c}});
            r.triangles.push_back(Triangle{{a, c, d}});
        }

    const float spacing = length / float(kBones - 1);
    for (unsigned i = 0; i < v; ++i) {
        const float z = r.positions[i].z;
        const int nearest = int(std::lround(z / spacing));
        const int first = std::clamp(nearest - 1, 0, int(kBones) - 4);
        std::vector<BoneInfluence> list;
        float sum = 0;
        for (int b = first; b < first + 4; ++b) {
            const float d = (z - float(b) * spacing) / spacing;
            list.push_back({b, std::exp(-d * d)});
            sum += list.back().weight;
        }
        for (BoneInfluence& influence : list) influence.weight /= sum;
        r.influences.push_back(std::move(list));
    }

    r.bones.resize(kBones);
    for (unsigned b = 0; b < kBones; ++b)
        for (unsigned f = 0; f < kFrames; ++f) {
            const float theta = 0.3f * std::sin(0.2f * float(f) + 0.3f * float(b));
            const float c = std::cos(theta), s = std::sin(theta);
            const Matrix3f rotation(1, 0, 0, 0, c, -s, 0, s, c);
            const Vector3f joint(0, 0, float(b) * spacing);
            r.bones[b].push_back(AffineTransform{rotation, joint - rotation * joint + Vector3f(0.01f * float(f), 0, 0)});
        }

    auto randomMatrix = [&](unsigned rowCount, unsigned columnCount, float range) {
        DenseMatrix m(rowCount, columnCount);
        for (unsigned col = 0; col < columnCount; ++col)
            for (unsigned row = 0; row < rowCount; ++row) m(row, col) = range * unit(random);
        return m;
    };
    r.displacementBasis = randomMatrix(3 * v, corrections, 0.01f);
    r.displacementCoordinates = randomMatrix(kFrames, corrections, 1.0f);
    r.normalBasis = randomMatrix(3 * v, corrections, 0.01f);
    r.normalCoordinates = randomMatrix(kFrames, corrections, 1.0f);
    r.meanLighting.assign(v, 0.5f);
    r.lightingBasis = randomMatrix(v, 1, 0.1f);
    r.lightingCoordinates = randomMatrix(1, kFrames, 1.0f);
    r.boundingBox = BoundingBox({-1, -1, 0}, {1, 1, length});
    return r;
}

std::shared_ptr<Skin> readSkin(const SkinRecord& record)
{
    std::stringstream bytes;
    writeSkinRecord(bytes, record);
    return std::make_shared<Skin>(bytes);
}

// ---- The plain scalar reference ---------------------------------------------------------------

struct PlainInfluence {
    int bone;
    float weight;
};
struct PlainVertexInfluences {
    PlainInfluence slot[4];
};
// A bone as a 3x4 affine matrix: row r is the linear part's row r, then translation r.
struct PlainBone {
    float m[3][4];
};

// One skin's data as arrays of structs, each frame's output in storage of its own.
struct PlainSkin {
    std::size_t vertexCount = 0;
    std::vector<Vector3f> restPositions;
    std::vector<Vector3f> restNormals;
    std::vector<PlainVertexInfluences> influences;
    std::vector<std::vector<PlainBone>> poses; // [frame][bone]
    std::vector<std::vector<Vector3f>> positions;
    std::vector<std::vector<Vector3f>> normals;
    const Skin* skin = nullptr;                // for the correction bases
};

PlainSkin plainSkinOf(const Skin& skin)
{
    PlainSkin plain;
    plain.skin = &skin;
    plain.vertexCount = skin.vertexCount();
    plain.restPositions = skin.restPositions();
    plain.restNormals = skin.restNormals();
    for (unsigned v = 0; v < skin.vertexCount(); ++v) {
        PlainVertexInfluences slots{};
        const auto list = skin.influences(v);
        for (std::size_t j = 0; j < 4 && j < list.size(); ++j) slots.slot[j] = {list[j].bone, list[j].weight};
        plain.influences.push_back(slots);
    }
    plain.poses.resize(skin.frameCount());
    for (unsigned f = 0; f < skin.frameCount(); ++f)
        for (unsigned b = 0; b < skin.boneCount(); ++b) {
            const AffineTransform& t = skin.boneAnimation(b)[f];
            PlainBone bone;
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) bone.m[r][c] = t.linear(r, c);
                bone.m[r][3] = t.translation[r];
            }
            plain.poses[f].push_back(bone);
        }
    plain.positions.assign(skin.frameCount(), std::vector<Vector3f>(plain.vertexCount));
    plain.normals.assign(skin.frameCount(), std::vector<Vector3f>(plain.vertexCount));
    return plain;
}

// Blends four bones per vertex, transforms, renormalises. `inPositions` may be `outPositions`.
void plainSkinLoop(std::size_t vertexCount, const Vector3f* inPositions, const Vector3f* inNormals,
                   const PlainVertexInfluences* influences, const PlainBone* pose, Vector3f* outPositions,
                   Vector3f* outNormals)
{
    for (std::size_t v = 0; v < vertexCount; ++v) {
        float m[3][4] = {};
        for (const PlainInfluence& influence : influences[v].slot) {
            const PlainBone& bone = pose[influence.bone];
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 4; ++c) m[r][c] += influence.weight * bone.m[r][c];
        }
        const Vector3f p = inPositions[v], n = inNormals[v];
        Vector3f q, s;
        for (int r = 0; r < 3; ++r) {
            q[r] = m[r][0] * p.x + m[r][1] * p.y + m[r][2] * p.z + m[r][3];
            s[r] = m[r][0] * n.x + m[r][1] * n.y + m[r][2] * n.z;
        }
        outPositions[v] = q;
        const float lengthSquared = s.dot(s);
        outNormals[v] = lengthSquared > 0.0f ? s * (1.0f / std::sqrt(lengthSquared)) : n;
    }
}

void plainFrame(PlainSkin& plain, unsigned f)
{
    plainSkinLoop(plain.vertexCount, plain.restPositions.data(), plain.restNormals.data(), plain.influences.data(),
                  plain.poses[f].data(), plain.positions[f].data(), plain.normals[f].data());
}

// What evaluateFrame used to do: copy the rest pose, one saxpy per basis vector over the
// whole array, then the plain loop in place.
void saxpyThenLoopFrame(PlainSkin& plain, unsigned f)
{
    std::vector<Vector3f>& positions = plain.positions[f];
    std::vector<Vector3f>& normals = plain.normals[f];
    positions = plain.restPositions;
    normals = plain.restNormals;
    const int length = int(3 * plain.vertexCount);
    const Skin& skin = *plain.skin;
    for (unsigned c = 0; c < skin.displacementBasisCount(); ++c)
        cblas_saxpy(length, skin.displacementCoordinates()(f, c), skin.displacementBasis().column(c), 1,
                    &positions[0].x, 1);
    for (unsigned c = 0; c < skin.normalBasisCount(); ++c)
        cblas_saxpy(length, skin.normalCoordinates()(f, c), skin.normalBasis().column(c), 1, &normals[0].x, 1);
    plainSkinLoop(plain.vertexCount, positions.data(), normals.data(), plain.influences.data(), plain.poses[f].data(),
                  positions.data(), normals.data());
}

// The kernel before it was made exact (fused multiply-adds, reciprocal square root estimate),
// fed the same skin and writing each frame into storage of its own like the skin's caches.
struct ApproximateSkin {
    std::unique_ptr<ApproximateSkinningKernel> kernel;
    const Skin* skin = nullptr;
    std::vector<std::vector<Vector3f>> positions;
    std::vector<std::vector<Vector3f>> normals;
};

std::unique_ptr<ApproximateSkin> approximateSkinOf(const Skin& skin)
{
    auto approximate = std::make_unique<ApproximateSkin>();
    std::vector<BoneInfluence> influences;
    std::vector<std::uint32_t> starts{0};
    for (unsigned v = 0; v < skin.vertexCount(); ++v) {
        const auto list = skin.influences(v);
        influences.insert(influences.end(), list.begin(), list.end());
        starts.push_back(std::uint32_t(influences.size()));
    }
    approximate->kernel = std::make_unique<ApproximateSkinningKernel>(influences, starts, skin.boneCount());
    approximate->skin = &skin;
    approximate->positions.assign(skin.frameCount(), std::vector<Vector3f>(skin.vertexCount()));
    approximate->normals.assign(skin.frameCount(), std::vector<Vector3f>(skin.vertexCount()));
    return approximate;
}

FrameCorrections frameCorrections(const DenseMatrix& basis, const DenseMatrix& coordinates, unsigned f)
{
    FrameCorrections corrections;
    corrections.count = basis.columns();
    corrections.basis = basis.data();
    corrections.leadingDimension = basis.rows();
    corrections.coefficients = coordinates.data() + f;
    corrections.coefficientStride = coordinates.rows();
    return corrections;
}

BoundingBox approximateFrame(ApproximateSkin& approximate, unsigned f)
{
    const Skin& skin = *approximate.skin;
    for (unsigned b = 0; b < skin.boneCount(); ++b) approximate.kernel->setBone(b, skin.boneAnimation(b)[f]);
    SkinningFrame frame;
    frame.restPositions = &skin.restPositions().data()->x;
    frame.restNormals = &skin.restNormals().data()->x;
    frame.displacements = frameCorrections(skin.displacementBasis(), skin.displacementCoordinates(), f);
    frame.normalCorrections = frameCorrections(skin.normalBasis(), skin.normalCoordinates(), f);
    frame.positions = &approximate.positions[f].data()->x;
    frame.normals = &approximate.normals[f].data()->x;
    return approximate.kernel->skinFrame(frame);
}

// ---- Evaluation benchmarks --------------------------------------------------------------------

struct EvaluationCase {
    std::string label; // "20k/K0"
    std::shared_ptr<Skin> skin;
    std::unique_ptr<PlainSkin> plain;
    std::unique_ptr<ApproximateSkin> approximate; // on AVX2 and FMA processors
};

std::vector<EvaluationCase>& evaluationCases()
{
    static std::vector<EvaluationCase> cases;
    return cases;
}

void setVertexRate(benchmark::State& state, std::size_t vertexCount)
{
    state.counters["Mvertices/s"] =
        benchmark::Counter(double(vertexCount) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void evaluateBenchmark(benchmark::State& state, const Skin* skin, SkinningIsa isa)
{
    const SkinningIsa previous = skinningIsa();
    setSkinningIsa(isa);
    unsigned f = 0;
    for (auto _ : state) {
        skin->evaluateFrame(f);
        benchmark::DoNotOptimize(skin->frameBoundingBoxes()[f]);
        f = (f + 1) % skin->frameCount();
    }
    setSkinningIsa(previous);
    setVertexRate(state, skin->vertexCount());
}

void approximateBenchmark(benchmark::State& state, ApproximateSkin* approximate)
{
    unsigned f = 0;
    const unsigned frames = approximate->skin->frameCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(approximateFrame(*approximate, f));
        benchmark::ClobberMemory();
        f = (f + 1) % frames;
    }
    setVertexRate(state, approximate->skin->vertexCount());
}

template <void (*frameFunction)(PlainSkin&, unsigned)>
void plainBenchmark(benchmark::State& state, PlainSkin* plain)
{
    unsigned f = 0;
    const unsigned frames = unsigned(plain->poses.size());
    for (auto _ : state) {
        frameFunction(*plain, f);
        benchmark::DoNotOptimize(plain->positions[f].data());
        benchmark::ClobberMemory();
        f = (f + 1) % frames;
    }
    setVertexRate(state, plain->vertexCount);
}

// ---- PRT colours ------------------------------------------------------------------------------

// The colours the software renderer builds for every frame at its first draw, for a skin the
// size of the sample animals: the fixed-order sum against the cblas_sgemv it replaced.
struct PrtCase {
    std::vector<float> mean;
    DenseMatrix basis;       // V x K
    DenseMatrix coordinates; // K x F
    std::vector<Vector3f> colors;
    unsigned frames = 48;
};

PrtCase& prtCase()
{
    static PrtCase data = [] {
        constexpr unsigned kVertices = 6500, kBasis = 16;
        PrtCase d;
        std::mt19937 random(5);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        d.basis.resize(kVertices, kBasis);
        d.coordinates.resize(kBasis, d.frames);
        for (unsigned v = 0; v < kVertices; ++v) {
            d.mean.push_back(unit(random));
            d.colors.push_back({unit(random), unit(random), unit(random)});
            for (unsigned k = 0; k < kBasis; ++k) d.basis(v, k) = unit(random) - 0.5f;
        }
        for (unsigned f = 0; f < d.frames; ++f)
            for (unsigned k = 0; k < kBasis; ++k) d.coordinates(k, f) = unit(random) - 0.5f;
        return d;
    }();
    return data;
}

// The colours as they were computed before: one sgemv per frame.
std::vector<std::vector<float>> sgemvFrameColors(const PrtCase& d)
{
    std::vector<std::vector<float>> frames;
    const int rows = int(d.basis.rows());
    for (unsigned f = 0; f < d.frames; ++f) {
        std::vector<float> lighting = d.mean;
        cblas_sgemv(CblasColMajor, CblasNoTrans, rows, int(d.basis.columns()), 1.0f, d.basis.data(), rows,
                    d.coordinates.column(f), 1, 1.0f, lighting.data(), 1);
        std::vector<float> colors(3 * lighting.size());
        for (std::size_t v = 0; v < lighting.size(); ++v)
            for (int c = 0; c < 3; ++c) colors[3 * v + std::size_t(c)] = lighting[v] * d.colors[v][c];
        frames.push_back(std::move(colors));
    }
    return frames;
}

void prtBenchmark(benchmark::State& state, bool sgemv)
{
    const PrtCase& d = prtCase();
    for (auto _ : state) {
        const auto colors = sgemv ? sgemvFrameColors(d) : prtFrameColors(d.mean, d.basis, d.coordinates, d.colors, d.frames);
        benchmark::DoNotOptimize(colors.data());
    }
    setVertexRate(state, d.mean.size() * d.frames);
}

// ---- Loading ----------------------------------------------------------------------------------

struct LoadFile {
    std::filesystem::path path;
    std::uintmax_t bytes = 0;
};

// The three-level file, and the same records without triangles: loading that one builds no
// strips, so it times the reader alone.
struct LoadFiles {
    LoadFile full;
    LoadFile untriangulated;
    std::vector<std::shared_ptr<Skin>> skins; // the full file loaded once, for strip building alone
};

LoadFiles& loadFiles()
{
    static LoadFiles files;
    return files;
}

// Three levels of detail with corrections, each with its frame boxes so that loading does not
// skin every frame, as in files written by the sample generator.
void writeLoadFiles()
{
    LoadFiles& files = loadFiles();
    const std::string stem = "flexherd-bench-" + std::to_string(::getpid());
    std::vector<SkinRecord> records;
    std::uint32_t seed = 77;
    for (unsigned vertexCount : {60000u, 15000u, 4000u}) {
        SkinRecord record = tubeRecord(vertexCount, kCorrections, ++seed);
        record.frameBoxes = readSkin(record)->frameBoundingBoxes();
        records.push_back(std::move(record));
    }
    auto write = [&](LoadFile& file, const std::string& name) {
        file.path = std::filesystem::temp_directory_path() / (stem + name);
        writeSkinFile(file.path, records);
        file.bytes = std::filesystem::file_size(file.path);
    };
    write(files.full, ".skin");
    for (SkinRecord& record : records) record.triangles.clear();
    write(files.untriangulated, "-untriangulated.skin");
    files.skins = loadBinarySkinFile(files.full.path.string()).skins;
}

void loadBenchmark(benchmark::State& state, const LoadFile* file)
{
    for (auto _ : state) {
        SkinFile loaded = loadBinarySkinFile(file->path.string());
        if (loaded.skins.size() != 3) state.SkipWithError("the file did not load");
        benchmark::DoNotOptimize(loaded.skins.data());
    }
    state.SetBytesProcessed(std::int64_t(file->bytes) * state.iterations());
}

void readBenchmark(benchmark::State& state, const LoadFile* file)
{
    for (auto _ : state) {
        std::ifstream in(file->path, std::ios::binary);
        in.seekg(0, std::ios::end);
        const std::streamsize size = in.tellg();
        in.seekg(0);
        std::unique_ptr<char[]> buffer(new char[std::size_t(size)]);
        in.read(buffer.get(), size);
        if (in.gcount() != size) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(std::int64_t(file->bytes) * state.iterations());
}

// The strip building that loading does once per record, alone, per byte of the full file.
void stripBenchmark(benchmark::State& state)
{
    for (auto _ : state)
        for (const auto& skin : loadFiles().skins) skin->buildPrimitiveGroups(true);
    state.SetBytesProcessed(std::int64_t(loadFiles().full.bytes) * state.iterations());
}

// ---- Summary ----------------------------------------------------------------------------------

void printRatio(const char* what, double ours, double reference, double target, const char* unit)
{
    if (ours <= 0 || reference <= 0) {
        std::printf("  %-44s not measured\n", what);
        return;
    }
    const double ratio = ours / reference;
    if (target <= 0) {
        std::printf("  %-44s %9.1f / %9.1f %s = %5.2fx\n", what, ours, reference, unit, ratio);
        return;
    }
    std::printf("  %-44s %9.1f / %9.1f %s = %5.2fx  (target >= %.1fx: %s)\n", what, ours, reference, unit, ratio,
                target, ratio >= target ? "met" : "MISSED");
}

// Largest coordinate difference between evaluateFrame and the plain reference on one frame: the
// benchmarks must be doing the same work.
float largestDifference(EvaluationCase& entry, unsigned f)
{
    const bool corrected = entry.skin->displacementBasisCount() > 0;
    (corrected ? saxpyThenLoopFrame : plainFrame)(*entry.plain, f);
    entry.skin->evaluateFrame(f);
    float largest = 0;
    for (std::size_t v = 0; v < entry.plain->vertexCount; ++v)
        for (int k = 0; k < 3; ++k) {
            largest = std::max(largest, std::fabs(entry.skin->framePositions(f)[v][k] - entry.plain->positions[f][v][k]));
            largest = std::max(largest, std::fabs(entry.skin->frameNormals(f)[v][k] - entry.plain->normals[f][v][k]));
        }
    return largest;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    for (const auto& [label, vertexCount] : {std::pair{"20k", 20000u}, std::pair{"60k", 60000u}})
        for (unsigned corrections : {0u, kCorrections}) {
            EvaluationCase entry;
            entry.label = std::string(label) + "/K" + std::to_string(corrections);
            entry.skin = readSkin(tubeRecord(vertexCount, corrections, vertexCount + corrections));
            entry.plain = std::make_unique<PlainSkin>(plainSkinOf(*entry.skin));
            if (ApproximateSkinningKernel::supported()) entry.approximate = approximateSkinOf(*entry.skin);
            evaluationCases().push_back(std::move(entry));
        }
    for (EvaluationCase& entry : evaluationCases()) {
        const bool corrected = entry.skin->displacementBasisCount() > 0;
        benchmark::RegisterBenchmark(("Evaluate/" + entry.label).c_str(), evaluateBenchmark, entry.skin.get(),
                                     skinningIsa())
            ->UseRealTime();
        if (skinningIsa() != SkinningIsa::Sse2)
            benchmark::RegisterBenchmark(("EvaluateSse2/" + entry.label).c_str(), evaluateBenchmark,
                                         entry.skin.get(), SkinningIsa::Sse2)
                ->UseRealTime();
        if (entry.approximate)
            benchmark::RegisterBenchmark(("EvaluateApproximate/" + entry.label).c_str(), approximateBenchmark,
                                         entry.approximate.get())
                ->UseRealTime();
        if (corrected)
            benchmark::RegisterBenchmark(("SaxpyThenLoop/" + entry.label).c_str(), plainBenchmark<saxpyThenLoopFrame>,
                                         entry.plain.get())
                ->UseRealTime();
        else
            benchmark::RegisterBenchmark(("PlainLoop/" + entry.label).c_str(), plainBenchmark<plainFrame>,
                                         entry.plain.get())
                ->UseRealTime();
    }

    benchmark::RegisterBenchmark("PrtColors/fixed-order", prtBenchmark, false)->UseRealTime();
    benchmark::RegisterBenchmark("PrtColors/sgemv", prtBenchmark, true)->UseRealTime();

    writeLoadFiles();
    for (const auto& [name, file] : {std::pair{"3levels", &loadFiles().full},
                                     std::pair{"3levels-untriangulated", &loadFiles().untriangulated}}) {
        benchmark::RegisterBenchmark((std::string("Load/") + name).c_str(), loadBenchmark, file)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("PlainRead/") + name).c_str(), readBenchmark, file)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("StripsOnly/3levels", stripBenchmark)->Unit(benchmark::kMillisecond)->UseRealTime();

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove(loadFiles().full.path);
    std::filesystem::remove(loadFiles().untriangulated.path);

    // The saxpy reference runs as the viewer used to run it, with OpenBLAS's own threading.
    std::printf("\nSummary, medians when repeated (%s kernel; OpenBLAS threads %d; file %.1f MB)\n",
                skinningIsa() == SkinningIsa::Avx2 ? "AVX2" : "SSE2", openblas_get_num_threads(),
                double(loadFiles().full.bytes) / 1e6);
    for (const char* size : {"20k", "60k"}) {
        const std::string k0 = std::string(size) + "/K0", k8 = std::string(size) + "/K8";
        printRatio(("evaluateFrame / plain loop, " + k0).c_str(), reporter.rate("Evaluate/" + k0),
                   reporter.rate("PlainLoop/" + k0), 2.2, "Mvert/s");
        printRatio(("evaluateFrame / saxpy-then-loop, " + k8).c_str(), reporter.rate("Evaluate/" + k8),
                   reporter.rate("SaxpyThenLoop/" + k8), 1.5, "Mvert/s");
        printRatio(("SSE2 evaluateFrame / plain loop, " + k0).c_str(), reporter.rate("EvaluateSse2/" + k0),
                   reporter.rate("PlainLoop/" + k0), 0, "Mvert/s");
        printRatio(("SSE2 evaluateFrame / saxpy-then-loop, " + k8).c_str(), reporter.rate("EvaluateSse2/" + k8),
                   reporter.rate("SaxpyThenLoop/" + k8), 0, "Mvert/s");
    }
    // What exactness costs: the same kernel with fused multiply-adds and the reciprocal square
    // root estimate, whose results differ between processor makers.
    for (EvaluationCase& entry : evaluationCases())
        printRatio(("exact / approximate kernel, " + entry.label).c_str(), reporter.rate("Evaluate/" + entry.label),
                   reporter.rate("EvaluateApproximate/" + entry.label), 0, "Mvert/s");
    printRatio("PRT colours, fixed order / sgemv", reporter.rate("PrtColors/fixed-order"),
               reporter.rate("PrtColors/sgemv"), 0, "Mvert/s");
    for (EvaluationCase& entry : evaluationCases()) {
        std::printf("  %-44s %.2g\n", ("largest difference to the reference, " + entry.label).c_str(),
                    double(largestDifference(entry, 7)));
        if (entry.approximate) {
            approximateFrame(*entry.approximate, 7);
            float largest = 0;
            for (std::size_t v = 0; v < entry.skin->vertexCount(); ++v)
                for (int k = 0; k < 3; ++k)
                    largest = std::max(largest, std::fabs(entry.skin->frameNormals(7)[v][k] - entry.approximate->normals[7][v][k]));
            std::printf("  %-44s %.2g\n", ("largest normal difference to approximate, " + entry.label).c_str(),
                        double(largest));
        }
    }
    const double load = reporter.rate("Load/3levels"), read = reporter.rate("PlainRead/3levels");
    printRatio("load / plain read", load, read, 0.5, "MB/s");
    const double strips = reporter.rate("StripsOnly/3levels");
    if (load > 0 && strips > 0)
        // Per byte of file: the load time is the strip time plus the reader's own.
        std::printf("  %-44s %5.1f%% of the load time\n", "strip building", 100.0 * load / strips);
    printRatio("reader alone (no triangles) / plain read", reporter.rate("Load/3levels-untriangulated"),
               reporter.rate("PlainRead/3levels-untriangulated"), 0.5, "MB/s");
    benchmark::Shutdown();
    return 0;
}
