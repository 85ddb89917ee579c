// How long an animal type's impostor atlas takes to make, for each skin file given: its
// coarsest level pictured from 16 x 3 directions at 16 phases, with PRT lighting and hardware
// skinning, at the default switch height (64 pixels). Beside it, the reference measured in the
// same run: drawing that level as many times straight into the window, which is the least the
// atlas could cost; the ratio shows what reading back, resolving and mipmapping add. Then the
// band skin made from the same level as the viewer makes it at load, its triangles and its time
// against the atlas's.
//
// Usage: bench_impostors [SKIN.bin...] (bench/timedemo.sh passes the sample animals; without
// files it makes the sample quadruped). Runs itself under Xvfb when there is no display.

#include "BenchGL.h"
#include "GLTestWindow.h"

#include "bake/SkinSubset.h"
#include "herd/SimpleHerd.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/ImpostorAtlas.h"
#include "skin/BinarySkinLoader.h"

#include <GL/glu.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr double kTargetSeconds = 2.0;

struct PrtSettings : RenderSettings {
    GeometryMode geometryMode() const override { return GeometryMode::Polys; }
    LightingMode lightingMode() const override { return LightingMode::PRT; }
    RenderMethod renderMethod() const override { return RenderMethod::DisplayLists; }
    bool wireframeOnShaded() const override { return false; }
    bool useTriangleStrips() const override { return true; }
    unsigned vertexCorrectionCount() const override { return 0; }
    unsigned normalCorrectionCount() const override { return 0; }
    unsigned prtCorrectionCount() const override { return 7; }
};

double seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return runUnderXvfb("bench_impostors", argc, argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') files.push_back(argv[i]);
    fs::path samples;
    if (files.empty()) {
#ifdef FLEXHERD_MKSAMPLE
        // No files: the sample quadruped, made for this run.
        samples = fs::temp_directory_path() / ("flexherd-bench-impostors-" + std::to_string(::getpid()));
        const std::string command = std::string("\"") + FLEXHERD_MKSAMPLE + "\" \"" + samples.string() + "\" >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "bench_impostors: the sample generator failed\n");
            return 1;
        }
        files.push_back((samples / "quadruped.bin").string());
#else
        std::fprintf(stderr, "usage: bench_impostors SKIN.bin...\n");
        return 2;
#endif
    }
    struct RemoveSamples {
        fs::path path;
        ~RemoveSamples()
        {
            std::error_code ignored;
            if (!path.empty()) fs::remove_all(path, ignored);
        }
    } removeSamples{samples};
    try {
        const GLTestWindow window(kBenchWidth, kBenchHeight);
        const PrtSettings settings;
        bool met = true;
        for (const std::string& path : files) {
            const SkinFile file = loadBinarySkinFile(path);
            const std::shared_ptr<Skin>& coarsest = file.skins.back();
            const int level = static_cast<int>(file.skins.size()) - 1;

            const auto atlasStart = std::chrono::steady_clock::now();
            const ImpostorAtlas atlas(coarsest, level, file.directory.string(), settings, true, 64.0);
            glFinish();
            const double atlasSeconds = seconds(atlasStart);

            // The reference: the same number of pictures drawn straight into the window.
            auto herd = std::make_shared<SimpleHerd>(coarsest);
            HardwareSkinRenderer renderer(herd, level, file.directory.string());
            lookDownOnGrid(1, 1.0f);
            const unsigned pictures = atlas.layout().cellCount();
            const auto drawStart = std::chrono::steady_clock::now();
            for (unsigned p = 0; p < pictures; ++p) {
                HerdInstance instance;
                instance.frame = atlas.layout().frameOfPhase(p % atlas.layout().phases);
                instance.box = coarsest->boundingBox();
                herd->clear();
                herd->append(instance);
                renderer.render(settings);
            }
            glFinish();
            const double drawSeconds = seconds(drawStart);
            met = met && atlasSeconds < kTargetSeconds;
            const ImpostorAtlasLayout& layout = atlas.layout();
            std::printf("impostor atlas %-14s %u triangles, %u cells of %d px (%dx%d, %.1f MB with mipmaps): "
                        "%.3f s (target < %.1f s: %s); %u plain draws %.3f s, ratio %.1fx\n",
                        coarsest->name().c_str(), coarsest->triangleCount(), layout.cellCount(), layout.cellSize,
                        layout.width(), layout.height(), layout.textureBytes() / 1048576.0, atlasSeconds,
                        kTargetSeconds, atlasSeconds < kTargetSeconds ? "met" : "MISSED", pictures, drawSeconds,
                        atlasSeconds / drawSeconds);

            const auto bandStart = std::chrono::steady_clock::now();
            const std::shared_ptr<Skin> band = makeBandSkin(*coarsest);
            const double bandSeconds = seconds(bandStart);
            if (band)
                std::printf("band skin %-14s %u of %u triangles, %u of %u vertices: %.1f ms, %.2f%% of the atlas's time\n",
                            coarsest->name().c_str(), band->triangleCount(), coarsest->triangleCount(),
                            band->vertexCount(), coarsest->vertexCount(), bandSeconds * 1000.0,
                            100.0 * bandSeconds / atlasSeconds);
            else
                std::printf("band skin %-14s none (too few triangles to simplify)\n", coarsest->name().c_str());
        }
        // A missed target is a figure to report, not a failure of the benchmark.
        if (!met) std::printf("impostor atlas: target missed\n");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_impostors: %s\n", e.what());
        return 1;
    }
}
