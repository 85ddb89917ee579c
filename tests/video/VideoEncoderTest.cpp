#include "video/VideoEncoder.h"

#include "foundation/Exception.h"

#include "TempDirectory.h"
#include "VideoDecoding.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <filesystem>

#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavutil/cpu.h>
}
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 48;

// Encodes frames 0 … count - 1 of the synthetic scene at the encoder's size and finishes.
void encodeScene(VideoEncoder& encoder, int count)
{
    for (int i = 0; i < count; ++i) {
        const auto rgb = syntheticFrame(i, encoder.width(), encoder.height());
        encoder.addFrame(rgb.data(), encoder.width(), encoder.height(), encoder.width() * 3, VideoEncoder::PixelLayout::Rgb);
    }
    encoder.finish();
}

std::vector<std::string> directoryListing(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The message of the IOException that call throws, or a failure when it throws none.
template <typename Call>
std::string ioFailure(Call call)
{
    try {
        call();
    } catch (const IOException& e) {
        return e.message();
    }
    ADD_FAILURE() << "no IOException";
    return {};
}

} // namespace

// Each container and codec, at a whole and a fractional frame rate: the file decodes through
// FFmpeg to every frame at its size, rate and time, close to the frame given, in BT.709 as
// tagged; the same frames give the same bytes again.
TEST(VideoEncoder, ExportsDecodeToTheFramesGiven)
{
    TempDirectory directory("video");
    struct Case {
        const char* name;
        double rate;
        const char* container;
        const char* codec;
    };
    for (const Case& c : {Case{"herd.mp4", 30, "mp4", "h264"}, Case{"herd.mkv", 24, "matroska", "h264"},
                          Case{"herd.webm", 30000.0 / 1001, "matroska", "vp9"}}) {
        SCOPED_TRACE(c.name);
        const std::string path = directory.file(c.name);
        {
            VideoEncoder encoder(path, 320, 240, c.rate);
            EXPECT_FALSE(encoder.sizeAdjusted());
            EXPECT_EQ(encoder.sizeNote(), "");
            encodeScene(encoder, kFrames);
            EXPECT_EQ(encoder.frameCount(), kFrames);
        }
        for (const std::string& name : directoryListing(directory.path()))
            EXPECT_NE(name[0], '.') << "a temporary file was left: " << name;

        const DecodedVideo video = decodeVideo(path);
        EXPECT_NE(video.containerName.find(c.container), std::string::npos) << video.containerName;
        EXPECT_EQ(video.codecName, c.codec);
        EXPECT_EQ(video.width, 320);
        EXPECT_EQ(video.height, 240);
        EXPECT_NEAR(video.averageFrameRate, c.rate, c.rate * 1e-6);
        EXPECT_TRUE(video.taggedBt709);
        EXPECT_TRUE(video.limitedRange);
        ASSERT_EQ(video.frames.size(), static_cast<std::size_t>(kFrames));
        for (int i = 0; i < kFrames; ++i) {
            EXPECT_NEAR(video.frameSeconds[i], i / c.rate, video.timestampTolerance) << "frame " << i;
            const double quality = psnr(video.frames[i], syntheticFrame(i, 320, 240));
            EXPECT_GT(quality, 35) << "frame " << i;
        }
        // The scene changes enough that a frame out of place could not pass for the right one.
        EXPECT_LT(psnr(video.frames[kFrames - 1], syntheticFrame(0, 320, 240)), 25);
        std::cout << c.name << ": frame 0 " << psnr(video.frames[0], syntheticFrame(0, 320, 240)) << " dB, frame 47 "
                  << psnr(video.frames[47], syntheticFrame(47, 320, 240)) << " dB, " << fs::file_size(path) << " bytes\n";

        const std::string again = directory.file(std::string("again-") + c.name);
        VideoEncoder encoder(again, 320, 240, c.rate);
        encodeScene(encoder, kFrames);
        EXPECT_TRUE(fileBytes(again) == fileBytes(path)) << "the same frames gave other bytes";
    }
    // The index precedes the frames, so a player can start before the whole file is there.
    const auto boxes = mp4TopLevelBoxes(directory.file("herd.mp4"));
    const auto position = [&](const char* name) { return std::find(boxes.begin(), boxes.end(), name) - boxes.begin(); };
    const std::ptrdiff_t boxCount = boxes.size();
    EXPECT_LT(position("moov"), boxCount);
    EXPECT_LT(position("moov"), position("mdat"));
    EXPECT_LT(position("mdat"), boxCount);
}

// Flat patches of strong colours come back as they were given, read with BT.709 as the file is
// tagged (a BT.601 conversion misses green in red by about 25 levels).
TEST(VideoEncoder, ColoursComeBackInTheTaggedMatrix)
{
    TempDirectory directory("video");
    const unsigned char colours[][3] = {{255, 0, 0}, {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
                                        {0, 255, 255}, {255, 0, 255}, {128, 128, 128}, {224, 172, 105}};
    const int bar = 32, width = bar * 8, height = 32;
    std::vector<unsigned char> rgb(width * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::copy_n(colours[x / bar], 3, &rgb[(y * width + x) * 3]);
    for (const char* name : {"bars.mp4", "bars.webm"}) {
        SCOPED_TRACE(name);
        const std::string path = directory.file(name);
        VideoEncoder encoder(path, width, height, 10);
        for (int i = 0; i < 3; ++i) encoder.addFrame(rgb.data(), width, height, width * 3, VideoEncoder::PixelLayout::Rgb);
        encoder.finish();
        const DecodedVideo video = decodeVideo(path);
        ASSERT_EQ(video.frames.size(), 3u);
        for (int c = 0; c < 8; ++c) {
            // The inside of each bar, clear of the blur that 4:2:0 chroma gives its edges.
            double sums[3] = {0, 0, 0};
            int count = 0;
            for (int y = 8; y < height - 8; ++y)
                for (int x = c * bar + 8; x < (c + 1) * bar - 8; ++x, ++count)
                    for (int k = 0; k < 3; ++k) sums[k] += video.frames[2][(y * width + x) * 3 + k];
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(sums[k] / count, colours[c][k], 2.5) << "colour " << c << ", channel " << k;
        }
    }
}

// Rows handed in as RGBA or bottom-up (as OpenGL reads them back) encode to the very bytes of
// the same picture in top-down RGB.
TEST(VideoEncoder, RgbaAndBottomUpRowsGiveTheSameVideo)
{
    TempDirectory directory("video");
    const int width = 160, height = 120, count = 6;
    const std::string plain = directory.file("plain.mp4");
    {
        VideoEncoder encoder(plain, width, height, 30);
        encodeScene(encoder, count);
    }
    const std::string rgba = directory.file("rgba.mp4");
    {
        VideoEncoder encoder(rgba, width, height, 30);
        for (int i = 0; i < count; ++i) {
            const auto rgb = syntheticFrame(i, width, height);
            // Bottom row first, and a row longer than its pixels, as a padded read-back gives.
            const std::ptrdiff_t rowBytes = width * 4 + 12;
            std::vector<unsigned char> upsideDown(rowBytes * height, 0xEE);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    for (int k = 0; k < 3; ++k)
                        upsideDown[(height - 1 - y) * rowBytes + x * 4 + k] = rgb[(y * width + x) * 3 + k];
            encoder.addFrame(upsideDown.data() + (height - 1) * rowBytes, width, height, -rowBytes,
                             VideoEncoder::PixelLayout::Rgba);
        }
        encoder.finish();
    }
    EXPECT_TRUE(fileBytes(rgba) == fileBytes(plain));
    EXPECT_EQ(decodeVideo(rgba).frames.size(), static_cast<std::size_t>(count));
}

// The colour conversion gives the same bytes with the processor's vector units as with plain
// code, so a video does not depend on the machine that made it (x264's and libvpx's own
// kernels are chosen inside them and are not switched by this).
TEST(VideoEncoder, VectorUnitsDoNotChangeTheBytes)
{
    TempDirectory directory("video");
    struct PlainCode {
        PlainCode() { av_force_cpu_flags(0); }
        ~PlainCode() { av_force_cpu_flags(-1); }
    };
    for (const char* name : {"herd.mp4", "herd.webm"}) {
        SCOPED_TRACE(name);
        const std::string vector = directory.file(std::string("vector-") + name);
        const std::string plain = directory.file(std::string("plain-") + name);
        {
            VideoEncoder encoder(vector, 322, 242, 30);
            encodeScene(encoder, 8);
        }
        {
            PlainCode noVectorUnits;
            VideoEncoder encoder(plain, 322, 242, 30);
            encodeScene(encoder, 8);
        }
        EXPECT_TRUE(fileBytes(vector) == fileBytes(plain));
    }
}

// H.264 takes only even sides: odd ones round down (1 up to 2) and the note says so; VP9 takes
// any size. Either way the video decodes at the size the encoder reports.
TEST(VideoEncoder, OddSizesAreRoundedToWhatTheCodecTakes)
{
    TempDirectory directory("video");
    struct Case {
        const char* name;
        int width, height;
        int expectedWidth, expectedHeight;
    };
    for (const Case& c : {Case{"take:2 odd.mp4", 321, 241, 320, 240}, Case{"odd.MKV", 320, 239, 320, 238},
                          Case{"tiny.mp4", 1, 3, 2, 2}, Case{"odd.webm", 321, 241, 321, 241}}) {
        SCOPED_TRACE(c.name);
        const std::string path = directory.file(c.name);
        VideoEncoder encoder(path, c.width, c.height, 25);
        EXPECT_EQ(encoder.width(), c.expectedWidth);
        EXPECT_EQ(encoder.height(), c.expectedHeight);
        const bool adjusted = c.width != c.expectedWidth || c.height != c.expectedHeight;
        EXPECT_EQ(encoder.sizeAdjusted(), adjusted);
        if (adjusted) {
            EXPECT_EQ(encoder.sizeNote(), "The video is " + std::to_string(c.expectedWidth) + " x " +
                                              std::to_string(c.expectedHeight) +
                                              " pixels: H.264 needs an even width and height, so " +
                                              std::to_string(c.width) + " x " + std::to_string(c.height) +
                                              " was rounded.");
        } else {
            EXPECT_EQ(encoder.sizeNote(), "");
        }
        // A frame of the size asked for is refused when that is not the video's size.
        if (adjusted) {
            const auto wrong = syntheticFrame(0, c.width, c.height);
            const std::string message = ioFailure([&] {
                VideoEncoder other(directory.file(std::string("other-") + c.name), c.width, c.height, 25);
                other.addFrame(wrong.data(), c.width, c.height, c.width * 3, VideoEncoder::PixelLayout::Rgb);
            });
            EXPECT_NE(message.find("is " + std::to_string(c.width) + " x " + std::to_string(c.height) + " pixels, not"),
                      std::string::npos)
                << message;
        }
        encodeScene(encoder, 12);
        const DecodedVideo video = decodeVideo(path);
        EXPECT_EQ(video.width, c.expectedWidth);
        EXPECT_EQ(video.height, c.expectedHeight);
        ASSERT_EQ(video.frames.size(), 12u);
        if (c.expectedWidth >= 16) {
            EXPECT_GT(psnr(video.frames[11], syntheticFrame(11, c.expectedWidth, c.expectedHeight)), 35);
        }
    }
    EXPECT_EQ(directoryListing(directory.path()),
              (std::vector<std::string>{"odd.MKV", "odd.webm", "take:2 odd.mp4", "tiny.mp4"}));
}

// Cancelling, destroying the encoder unfinished, a failure while encoding and finishing without
// frames all leave the directory as it was: the previous video intact, no temporary file.
TEST(VideoEncoder, AnAbandonedExportLeavesNothing)
{
    TempDirectory directory("video");
    const std::string path = directory.file("herd.mp4");
    const std::string previous = "the previous video";
    writeText(path, previous);
    const auto frame = syntheticFrame(3, 320, 240);
    const auto addFrames = [&](VideoEncoder& encoder, int count) {
        for (int i = 0; i < count; ++i) encoder.addFrame(frame.data(), 320, 240, 320 * 3, VideoEncoder::PixelLayout::Rgb);
    };
    const auto expectUntouched = [&](const char* how) {
        EXPECT_EQ(directoryListing(directory.path()), std::vector<std::string>{"herd.mp4"}) << how;
        EXPECT_TRUE(fileBytes(path) == previous) << how;
    };
    {
        VideoEncoder encoder(path, 320, 240, 30);
        addFrames(encoder, 20);
        const auto names = directoryListing(directory.path());
        ASSERT_EQ(names.size(), 2u) << "frames go to a temporary file beside the target";
        // Named after the target and this process, so a file left by a crash says whose it was.
        EXPECT_EQ(names[0].rfind(".herd.mp4." + std::to_string(::getpid()) + ".", 0), 0u) << names[0];
        EXPECT_EQ(fileBytes(path), previous);
        encoder.cancel();
        expectUntouched("cancelled");
        encoder.cancel();
        EXPECT_NE(ioFailure([&] { addFrames(encoder, 1); }).find("the encoder is closed"), std::string::npos);
        EXPECT_NE(ioFailure([&] { encoder.finish(); }).find("the encoder is closed"), std::string::npos);
        expectUntouched("used after cancelling");
    }
    {
        VideoEncoder encoder(path, 320, 240, 30);
        addFrames(encoder, 20);
    }
    expectUntouched("destroyed unfinished");
    {
        VideoEncoder encoder(path, 320, 240, 30);
        addFrames(encoder, 5);
        const std::string message = ioFailure([&] { encoder.addFrame(nullptr, 320, 240, 960, VideoEncoder::PixelLayout::Rgb); });
        EXPECT_EQ(message.rfind("Unable to write video '" + path + "': ", 0), 0u) << message;
        expectUntouched("failed while encoding");
        EXPECT_NE(ioFailure([&] { encoder.finish(); }).find("the encoder is closed"), std::string::npos);
    }
    {
        VideoEncoder encoder(path, 320, 240, 30);
        EXPECT_EQ(ioFailure([&] { encoder.finish(); }), "Unable to write video '" + path + "': there are no frames to write.");
    }
    expectUntouched("finished without frames");

    {
        // A write refused half-way (here by the file size limit, as a full disk would) fails
        // the export with the system's reason.
        struct SizeLimit {
            rlimit saved{};
            explicit SizeLimit(rlim_t bytes)
            {
                getrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit = saved;
                limit.rlim_cur = bytes;
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            ~SizeLimit()
            {
                setrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, SIG_DFL);
            }
        };
        const std::string message = ioFailure([&] {
            SizeLimit limit(10000);
            VideoEncoder encoder(path, 320, 240, 30);
            for (int i = 0; i < kFrames; ++i) {
                const auto rgb = syntheticFrame(i, 320, 240);
                encoder.addFrame(rgb.data(), 320, 240, 320 * 3, VideoEncoder::PixelLayout::Rgb);
            }
            encoder.finish();
        });
        EXPECT_EQ(message.rfind("Unable to write video '" + path + "': ", 0), 0u) << message;
        EXPECT_NE(message.find("File too large"), std::string::npos) << message;
        std::cout << "refused write: " << message << "\n";
    }
    expectUntouched("refused write");

    // Finishing replaces the previous file.
    VideoEncoder encoder(path, 320, 240, 30);
    addFrames(encoder, 3);
    encoder.finish();
    EXPECT_EQ(directoryListing(directory.path()), std::vector<std::string>{"herd.mp4"});
    EXPECT_EQ(decodeVideo(path).frames.size(), 3u);
}

// Two exports to one path at the same time each write a file of their own: the one that
// finishes last is the video, whole, and the other's cancel does not touch it.
TEST(VideoEncoder, TwoExportsToOnePathDoNotMeet)
{
    TempDirectory directory("video");
    const std::string path = directory.file("herd.mkv");
    const auto frame = syntheticFrame(7, 320, 240);
    VideoEncoder first(path, 320, 240, 30), second(path, 320, 240, 30), third(path, 320, 240, 30);
    for (int i = 0; i < 6; ++i) {
        first.addFrame(frame.data(), 320, 240, 320 * 3, VideoEncoder::PixelLayout::Rgb);
        second.addFrame(frame.data(), 320, 240, 320 * 3, VideoEncoder::PixelLayout::Rgb);
        if (i < 4) third.addFrame(frame.data(), 320, 240, 320 * 3, VideoEncoder::PixelLayout::Rgb);
    }
    EXPECT_EQ(directoryListing(directory.path()).size(), 3u) << "three temporary files";
    second.finish();
    third.finish();
    first.cancel();
    EXPECT_EQ(directoryListing(directory.path()), std::vector<std::string>{"herd.mkv"});
    EXPECT_EQ(decodeVideo(path).frames.size(), 4u) << "the last export to finish is the video";
}

// Paths that cannot take a video, and settings no encoder takes, fail at once with the file's
// name and the reason; nothing is created.
TEST(VideoEncoder, UnwritablePathsReportTheFile)
{
    TempDirectory directory("video");
    const std::string missing = directory.file("no-such-directory/herd.mp4");
    const std::string missingMessage = ioFailure([&] { VideoEncoder(missing, 320, 240, 30); });
    EXPECT_EQ(missingMessage,
              "Unable to write video '" + missing + "': no file can be made beside it (No such file or directory).");

    const std::string folder = directory.file("folder.mkv");
    fs::create_directory(folder);
    EXPECT_EQ(ioFailure([&] { VideoEncoder(folder, 320, 240, 30); }),
              "Unable to write video '" + folder + "': it is a directory.");

    const std::string avi = directory.file("herd.avi");
    EXPECT_EQ(ioFailure([&] { VideoEncoder(avi, 320, 240, 30); }),
              "Unable to write video '" + avi + "': the extension is not '.mp4', '.mkv' or '.webm'.");
    const std::string path = directory.file("herd.webm");
    const std::string mp4 = directory.file("herd.mp4");
    EXPECT_EQ(ioFailure([&] { VideoEncoder(path, 0, 240, 30); }),
              "Unable to write video '" + path + "': 0 x 240 pixels is not a size from 1 x 1 to 4096 x 4096 for VP9.");
    EXPECT_EQ(ioFailure([&] { VideoEncoder(path, 4097, 240, 30); }),
              "Unable to write video '" + path + "': 4097 x 240 pixels is not a size from 1 x 1 to 4096 x 4096 for VP9.");
    EXPECT_EQ(ioFailure([&] { VideoEncoder(mp4, 320, 8193, 30); }),
              "Unable to write video '" + mp4 + "': 320 x 8193 pixels is not a size from 1 x 1 to 8192 x 8192 for H.264.");
    EXPECT_EQ(ioFailure([&] { VideoEncoder(mp4, 320, -2, 30); }),
              "Unable to write video '" + mp4 + "': 320 x -2 pixels is not a size from 1 x 1 to 8192 x 8192 for H.264.");
    for (double rate : {0.0, -5.0, 1000.5, double(NAN), double(INFINITY)})
        EXPECT_NE(ioFailure([&] { VideoEncoder(path, 320, 240, rate); })
                      .find("is not above 0 and at most 1000 frames per second."),
                  std::string::npos)
            << rate;
    EXPECT_EQ(directoryListing(directory.path()), std::vector<std::string>{"folder.mkv"});
    EXPECT_TRUE(fs::is_empty(folder));
}
