// Video export against the image sequence it replaces: the same 60 frames of 1280 x 720 written
// once as numbered PNG files through the toolkit's image writer (wxImage, as the viewer's
// sequence export writes them: a temporary file renamed into place) and once each as MP4,
// Matroska and WebM through the video encoder. One run of each, in the same process, so the
// ratio holds for this machine and its current load.
//
// The frames look rendered: a sky gradient, a textured ground and a herd of shaded animals
// with shadows that walk a little every frame. Making them is not timed; the viewer's
// rendering, the same for both exports, is not part of either figure, so the ratio here is
// the largest the whole export can show (rendering only brings it closer to 1).

#include "CollectingReporter.h"
#include "foundation/Exception.h"
#include "video/VideoEncoder.h"

#include <benchmark/benchmark.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 60;

std::uint32_t hash(std::uint32_t x, std::uint32_t y)
{
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// Smooth value noise in 0 … 1 with cells of `cell` pixels: the ground's texture.
double valueNoise(double x, double y, double cell)
{
    const double fx = x / cell, fy = y / cell;
    const auto ix = static_cast<std::uint32_t>(fx), iy = static_cast<std::uint32_t>(fy);
    const double tx = fx - ix, ty = fy - iy;
    const auto corner = [](std::uint32_t cx, std::uint32_t cy) { return (hash(cx, cy) & 0xffff) / 65535.0; };
    const double top = corner(ix, iy) * (1 - tx) + corner(ix + 1, iy) * tx;
    const double bottom = corner(ix, iy + 1) * (1 - tx) + corner(ix + 1, iy + 1) * tx;
    return top * (1 - ty) + bottom * ty;
}

struct Animal {
    double x, y, size, hue;
};

std::vector<unsigned char> herdFrame(int index, const std::vector<Animal>& herd)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
    const int horizon = kHeight * 2 / 5;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            double r, g, b;
            if (y < horizon) {
                const double v = static_cast<double>(y) / horizon;
                r = 110 + 70 * v;
                g = 150 + 60 * v;
                b = 230 - 20 * v;
            } else {
                // Perspective: texture cells shrink towards the horizon.
                const double depth = static_cast<double>(y - horizon + 8) / (kHeight - horizon);
                const double n = 0.6 * valueNoise(x, y, 3 + 9 * depth) + 0.4 * valueNoise(x + 977, y, 1 + 2 * depth);
                r = 80 + 70 * n;
                g = 105 + 70 * n;
                b = 50 + 35 * n;
            }
            unsigned char* pixel = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
            pixel[0] = static_cast<unsigned char>(r);
            pixel[1] = static_cast<unsigned char>(g);
            pixel[2] = static_cast<unsigned char>(b);
        }
    }
    for (const Animal& animal : herd) {
        const double cx = animal.x + 2.0 * index * animal.size / 20;
        const double cy = animal.y;
        const double rx = animal.size, ry = animal.size * 0.55;
        for (int pass = 0; pass < 2; ++pass) { // shadow first, then the body
            const double oy = pass == 0 ? ry * 0.9 : 0;
            const double sy = pass == 0 ? 0.35 : 1.0;
            const int x0 = std::max(0, static_cast<int>(cx - rx - 2)), x1 = std::min(kWidth - 1, static_cast<int>(cx + rx + 2));
            const int y0 = std::max(0, static_cast<int>(cy + oy - ry - 2)), y1 = std::min(kHeight - 1, static_cast<int>(cy + oy + ry + 2));
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) {
                    const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy - oy) / (ry * sy);
                    const double d = std::sqrt(dx * dx + dy * dy);
                    const double cover = std::clamp((1 - d) * rx, 0.0, 1.0);
                    if (cover <= 0) continue;
                    unsigned char* pixel = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
                    double colour[3];
                    if (pass == 0) {
                        for (int k = 0; k < 3; ++k) colour[k] = pixel[k] * 0.55;
                    } else {
                        const double light = 0.5 + 0.5 * std::clamp(0.7 - 0.5 * dx - 0.6 * dy, 0.0, 1.0);
                        const double fur = 0.85 + 0.15 * valueNoise(x * 3 + animal.hue * 100, y * 3, 2);
                        colour[0] = (150 + 80 * animal.hue) * light * fur;
                        colour[1] = (110 + 40 * animal.hue) * light * fur;
                        colour[2] = (70 + 20 * animal.hue) * light * fur;
                    }
                    for (int k = 0; k < 3; ++k)
                        pixel[k] = static_cast<unsigned char>(std::clamp(pixel[k] * (1 - cover) + colour[k] * cover, 0.0, 255.0));
                }
        }
    }
    return rgb;
}

struct Frames {
    std::vector<std::vector<unsigned char>> rgb;
    std::filesystem::path directory;
};

Frames& frames()
{
    static Frames f;
    return f;
}

void makeFrames()
{
    std::vector<Animal> herd;
    for (int i = 0; i < 150; ++i) {
        const std::uint32_t h = hash(i, 7);
        const double depth = (h & 0xff) / 255.0; // 0 far, 1 near
        herd.push_back({static_cast<double>(hash(i, 11) % (kWidth + 100)) - 100,
                        kHeight * 2 / 5 + 20 + depth * (kHeight * 3 / 5 - 60), 8 + 40 * depth * depth,
                        ((h >> 8) & 0xff) / 255.0});
    }
    std::sort(herd.begin(), herd.end(), [](const Animal& a, const Animal& b) { return a.y < b.y; });
    for (int i = 0; i < kFrames; ++i) frames().rgb.push_back(herdFrame(i, herd));
    frames().directory = std::filesystem::temp_directory_path() / ("flexherd-bench-video-" + std::to_string(getpid()));
    std::filesystem::create_directories(frames().directory);
}

std::uintmax_t bytesIn(const std::filesystem::path& directory, const std::string& extension)
{
    std::uintmax_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().extension() == extension) bytes += entry.file_size();
    return bytes;
}

// The viewer's sequence export: each frame a wxImage written as PNG to a temporary name, then
// renamed to frames.NNNN.png.
void pngSequence(benchmark::State& state)
{
    for (auto _ : state) {
        for (int i = 0; i < kFrames; ++i) {
            wxImage image(kWidth, kHeight, frames().rgb[i].data(), true);
            char name[32];
            std::snprintf(name, sizeof name, "frames.%04d.png", i);
            const std::filesystem::path target = frames().directory / name;
            const std::string temporary = target.string() + ".tmp";
            if (!image.SaveFile(wxString(temporary.c_str(), wxConvFile), wxBITMAP_TYPE_PNG)) {
                state.SkipWithError("the PNG writer failed");
                return;
            }
            std::filesystem::rename(temporary, target);
        }
    }
    state.counters["MB"] = bytesIn(frames().directory, ".png") / 1e6;
}

void video(benchmark::State& state, const std::string& name)
{
    const std::string path = (frames().directory / name).string();
    for (auto _ : state) {
        try {
            VideoEncoder encoder(path, kWidth, kHeight, 30);
            for (int i = 0; i < kFrames; ++i)
                encoder.addFrame(frames().rgb[i].data(), kWidth, kHeight, kWidth * 3, VideoEncoder::PixelLayout::Rgb);
            encoder.finish();
        } catch (const IOException& e) {
            state.SkipWithError(e.message().c_str());
            return;
        }
    }
    state.counters["MB"] = std::filesystem::file_size(path) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    wxInitializer toolkit;
    wxLog::EnableLogging(false);
    wxImage::AddHandler(new wxPNGHandler);
    benchmark::Initialize(&argc, argv);
    makeFrames();
    for (const char* name : {"PngSequence", "Mp4Video", "MkvVideo", "WebmVideo"}) {
        auto* registered = std::string(name) == "PngSequence"
                               ? benchmark::RegisterBenchmark(name, pngSequence)
                               : benchmark::RegisterBenchmark(name, video,
                                                              std::string("herd.") +
                                                                  (name[0] == 'M' ? (name[1] == 'p' ? "mp4" : "mkv") : "webm"));
        registered->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::filesystem::remove_all(frames().directory);

    const double png = reporter.seconds("PngSequence");
    const double mp4 = reporter.seconds("Mp4Video");
    std::printf("\nSummary (%d frames of %d x %d, one run each)\n", kFrames, kWidth, kHeight);
    if (png > 0) std::printf("  %-28s %8.1f ms  (%6.1f ms a frame)\n", "PNG sequence (wxImage)", png * 1e3, png * 1e3 / kFrames);
    for (const char* name : {"Mp4Video", "MkvVideo", "WebmVideo"}) {
        const double seconds = reporter.seconds(name);
        if (seconds > 0 && png > 0)
            std::printf("  %-28s %8.1f ms  (%6.1f ms a frame) = %5.2fx the PNG time\n", name, seconds * 1e3,
                        seconds * 1e3 / kFrames, seconds / png);
    }
    // Rendering costs both exports the same, so encode <= 1.2 x PNG here means the whole video
    // export takes at most 20% longer than the sequence.
    if (png > 0 && mp4 > 0)
        std::printf("  %-28s %5.2fx  (target <= 1.20x: %s)\n", "MP4 encode / PNG write", mp4 / png,
                    mp4 / png <= 1.2 ? "met" : "MISSED");
    benchmark::Shutdown();
    return 0;
}
