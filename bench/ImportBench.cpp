// The model import from file to baked skins: Assimp's test models and a generated character of
// about 20,000 vertices, 60 bones and 120 frames, with the time of every step (read, merge,
// sampling, simplification, corrections, PRT, shadow and strips). The character is also baked
// on one thread, the reference for the gain from using every processor, and once more in a
// child process whose peak memory is read from the system.
//
// Targets on a 2-core machine: the 2,464-vertex FBX test model baked whole in under 2 s, the
// character in under 15 s, its peak memory under 1 GB.

#include "CollectingReporter.h"
#include "GltfWriter.h"

#include "bake/ModelImport.h"
#include "foundation/Exception.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kModels = FLEXHERD_ASSIMP_MODELS;
constexpr int kChains = 6;
constexpr int kBonesPerChain = 10;
constexpr int kRings = 139;
constexpr int kSegments = 24;
constexpr double kClipSeconds = 4.0;

// Six tubes of ten bones each: a body along +z at hip height, four legs hanging from it and a
// neck rising from its front. Every bone swings about x (and the neck also about z) on a four-second cycle with
// its own phase, keyed every tenth of a second.
GltfModel character()
{
    GltfModel model;
    struct Chain {
        double start[3];
        double direction[3];
        double length, radius;
    };
    const Chain chains[kChains] = {
        {{0, 1.0, -1.0}, {0, 0, 1}, 2.0, 0.35},  {{-0.3, 1.0, -0.8}, {0, -1, 0}, 1.0, 0.08},
        {{0.3, 1.0, -0.8}, {0, -1, 0}, 1.0, 0.08}, {{-0.3, 1.0, 0.8}, {0, -1, 0}, 1.0, 0.08},
        {{0.3, 1.0, 0.8}, {0, -1, 0}, 1.0, 0.08},  {{0, 1.0, 0.8}, {0, 0.7071, 0.7071}, 1.0, 0.12},
    };
    for (int c = 0; c < kChains; ++c) {
        const Chain& chain = chains[c];
        const double step = chain.length / kBonesPerChain;
        for (int b = 0; b < kBonesPerChain; ++b) {
            GltfModel::Joint joint;
            joint.name = "chain" + std::to_string(c) + "." + std::to_string(b);
            // Legs hang from the body's second and last joints, the neck from its last.
            const int body = c == 0 ? -1 : (c == 1 || c == 2) ? 1 : kBonesPerChain - 1;
            joint.parent = b > 0 ? c * kBonesPerChain + b - 1 : body;
            for (int k = 0; k < 3; ++k) {
                const double bodyJoint = chains[0].start[k] + chains[0].direction[k] * 0.2 * (body < 0 ? 0 : body);
                joint.translation[k] = b > 0 ? chain.direction[k] * step : chain.start[k] - (body < 0 ? 0.0 : bodyJoint);
            }
            model.skeleton.push_back(joint);
            std::array<float, 16> inverseBind{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            for (int k = 0; k < 3; ++k) inverseBind[12 + k] = float(-(chain.start[k] + chain.direction[k] * step * b));
            model.inverseBindMatrices.push_back(inverseBind);
        }
        // A frame across the chain's direction for the tube's rings.
        const double* d = chain.direction;
        double u[3] = {1, 0, 0};
        if (std::fabs(d[0]) > 0.9) u[0] = 0, u[1] = 1;
        double w[3] = {d[1] * u[2] - d[2] * u[1], d[2] * u[0] - d[0] * u[2], d[0] * u[1] - d[1] * u[0]};
        const std::uint32_t base = static_cast<std::uint32_t>(model.positions.size());
        for (int ring = 0; ring < kRings; ++ring) {
            const double along = chain.length * ring / (kRings - 1);
            const double bone = std::min(along / step, kBonesPerChain - 1e-9);
            const int first = std::min(int(bone), kBonesPerChain - 1);
            const double blend = std::clamp(bone - first - 0.5, 0.0, 1.0);
            const int second = std::min(first + 1, kBonesPerChain - 1);
            for (int k = 0; k < kSegments; ++k) {
                const double a = 2.0 * std::numbers::pi * k / kSegments;
                std::array<float, 3> p, n;
                for (int i = 0; i < 3; ++i) {
                    n[i] = float(std::cos(a) * u[i] + std::sin(a) * w[i]);
                    p[i] = float(chain.start[i] + d[i] * along + chain.radius * n[i]);
                }
                model.positions.push_back(p);
                model.normals.push_back(n);
                model.joints.push_back({std::uint16_t(c * kBonesPerChain + first), std::uint16_t(c * kBonesPerChain + second), 0, 0});
                model.weights.push_back({float(1.0 - blend), float(blend), 0, 0});
            }
        }
        for (int ring = 0; ring + 1 < kRings; ++ring)
            for (int k = 0; k < kSegments; ++k) {
                const std::uint32_t a = base + ring * kSegments + k, b = base + ring * kSegments + (k + 1) % kSegments;
                model.indices.insert(model.indices.end(), {a, a + kSegments, b, b, a + kSegments, b + kSegments});
            }
    }
    for (int j = 0; j < kChains * kBonesPerChain; ++j) {
        GltfModel::Track track;
        track.joint = j;
        for (int key = 0; key <= 40; ++key) {
            const double t = kClipSeconds * key / 40.0;
            const double angle = 0.12 * std::sin(2.0 * std::numbers::pi * t / kClipSeconds + 0.4 * j);
            track.times.push_back(float(t));
            track.values.push_back({float(std::sin(0.5 * angle)), 0.0f, j >= 50 ? float(0.3 * std::sin(0.5 * angle)) : 0.0f,
                                    float(std::cos(0.5 * angle))});
            const auto& v = track.values.back();
            const float norm = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
            for (float& x : track.values.back()) x /= norm;
        }
        model.tracks.push_back(track);
    }
    return model;
}

const std::string& characterFile()
{
    static const std::string path = [] {
        const std::string file = "/tmp/flexherd-import-bench-" + std::to_string(::getpid()) + ".gltf";
        writeGltf(file, character());
        return file;
    }();
    return path;
}

std::map<std::string, ImportReport> g_reports;
std::map<std::string, double> g_processorSeconds;

// Processor time of this process so far, every thread, user and system.
double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void importBenchmark(benchmark::State& state, const std::string& name, const std::string& path, unsigned threads)
{
    ImportOptions options;
    options.threads = threads;
    ImportReport report;
    const double processorBefore = processorSeconds();
    for (auto _ : state) {
        try {
            report = importModel(path, options).report;
        } catch (const Exception& e) {
            state.SkipWithError(e.message().c_str());
            return;
        }
    }
    g_processorSeconds[name] = (processorSeconds() - processorBefore) / double(state.iterations());
    const ImportTimings& t = report.timings;
    state.counters["read_s"] = t.read;
    state.counters["merge_s"] = t.merge;
    state.counters["sampling_s"] = t.sampling;
    state.counters["simplify_s"] = t.simplification;
    state.counters["corrections_s"] = t.corrections;
    state.counters["prt_s"] = t.prt;
    state.counters["shadow_s"] = t.shadow;
    state.counters["vertices"] = double(report.modelVertices);
    state.counters["frames"] = double(report.frames);
    g_reports[name] = report;
}

// Peak resident memory, in megabytes, of a child process that does only the import.
double peakMegabytes(const std::string& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            importModel(path, ImportOptions{});
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
    return double(usage.ru_maxrss) / 1024.0;
}

void printTarget(const char* what, double value, double target, const char* unit, double processor = 0.0)
{
    if (value <= 0.0) {
        std::printf("  %-46s not measured\n", what);
        return;
    }
    std::printf("  %-46s %8.2f %s  (target < %.0f %s: %s)", what, value, unit, target, unit, value < target ? "met" : "MISSED");
    if (processor > 0.0) std::printf("  processor time of all threads %.2f s", processor);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::pair<const char*, const char*> models[] = {
        {"FBX", "FBX/animation_with_skeleton.fbx"},     {"X", "X/anim_test.x"},
        {"glTF", "glTF2/simple_skin/simple_skin.gltf"}, {"MDL", "MDL/MDL (HL1)/unnamed_bones.mdl"},
        {"SMD", "SMD/WusonSMD.smd"},
    };
    for (const auto& [label, file] : models)
        benchmark::RegisterBenchmark((std::string("Import/") + label).c_str(), importBenchmark,
                                     std::string("Import/") + label, kModels + "/" + file, 0u)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark("Import/Character", importBenchmark, std::string("Import/Character"), characterFile(), 0u)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Import/CharacterOneThread", importBenchmark, std::string("Import/CharacterOneThread"),
                                 characterFile(), 1u)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nImport steps in seconds (read, merge, sampling, simplification, corrections, PRT, shadow and strips):\n");
    for (const auto& [name, report] : g_reports) {
        const ImportTimings& t = report.timings;
        std::printf("  %-30s %6zu vertices %4zu bones %4zu frames: %5.2f %5.2f %5.2f %5.2f %6.2f %6.2f %5.2f\n", name.c_str(),
                    report.modelVertices, report.bones, report.frames, t.read, t.merge, t.sampling, t.simplification,
                    t.corrections, t.prt, t.shadow);
    }
    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    std::printf("\nTargets (wall-clock time; the load average is %.1f: when other work shares the processors, the\n"
                "processor time of all threads is the most an idle machine would take):\n",
                load[0]);
    printTarget("FBX test model (2,464 vertices), whole import", reporter.seconds("Import/FBX"), 2.0, "s",
                g_processorSeconds["Import/FBX"]);
    printTarget("character (20,000 vertices), whole import", reporter.seconds("Import/Character"), 15.0, "s",
                g_processorSeconds["Import/Character"]);
    const double one = reporter.seconds("Import/CharacterOneThread"), all = reporter.seconds("Import/Character");
    if (one > 0 && all > 0) std::printf("  %-46s %8.2fx  (one thread / every processor)\n", "character, gain from parallel baking", one / all);
    printTarget("character, peak memory of the import alone", peakMegabytes(characterFile()), 1024.0, "MB");
    std::remove(characterFile().c_str());
    benchmark::Shutdown();
    return 0;
}
