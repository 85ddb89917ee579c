// The flexherd program run as a script would run it: options, exit statuses, what it prints
// on standard output and standard error, and the files it writes. The program runs without an
// X display (DISPLAY unset), as on a server, where its actions draw in an EGL context; one
// test runs it on the X display as well and checks that both draw the same picture, so the
// suite itself runs on an X display (Xvfb) and fails without one.

#include "BentCylinder.h"
#include "TempDirectory.h"
#include "VideoDecoding.h"
#include "WriterFaults.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/init.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path g_directory;
fs::path g_samples;

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

enum class Display { None, X };

// Runs the program with arguments, in the samples directory, and collects what it printed;
// `environment` ("NAME=VALUE") is set for the program alone. Without an X display unless
// asked for one.
ProgramRun flexherd(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
                    Display display = Display::None, const fs::path& workingDirectory = {})
{
    std::string command = "cd " + quoted((workingDirectory.empty() ? g_samples : workingDirectory).string()) + " && env";
    if (display == Display::None) command += " -u DISPLAY";
    for (const std::string& variable : environment) command += ' ' + quoted(variable);
    command += ' ';
    command += quoted(FLEXHERD_PROGRAM);
    for (const std::string& argument : arguments) {
        command += ' ';
        command += quoted(argument);
    }
    const fs::path out = g_directory / "stdout.txt", err = g_directory / "stderr.txt";
    command += " >";
    command += quoted(out.string());
    command += " 2>";
    command += quoted(err.string());
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

// The RGB pixels of the image at path, rows top to bottom; empty when it cannot be read.
std::vector<unsigned char> imagePixels(const fs::path& path)
{
    wxImage image;
    if (!image.LoadFile(path.string(), wxBITMAP_TYPE_ANY)) return {};
    return std::vector<unsigned char>(image.GetData(), image.GetData() + std::size_t(image.GetWidth()) * image.GetHeight() * 3);
}

// Size of the image at path; (0, 0) when it cannot be read.
std::pair<int, int> imageSize(const fs::path& path)
{
    wxImage image;
    if (!image.LoadFile(path.string(), wxBITMAP_TYPE_ANY)) return {0, 0};
    return {image.GetWidth(), image.GetHeight()};
}

std::string usageHint(const std::string& error)
{
    return "flexherd: " + error + "\nTry 'flexherd --help' for more information.\n";
}

// A herd file with fixed placements (twelve animals, so none are added at random): the same
// picture on every run, which the fault check compares byte for byte.
fs::path fixedHerd()
{
    const fs::path path = g_directory / "fixed.herd";
    std::ofstream out(path);
    out << (g_samples / "quadruped.bin").string() << '\n';
    for (int i = 0; i < 12; ++i)
        out << i * 3 << "  1 0 0 " << (i % 4) * 3 - 4.5 << " 0 1 0 0 0 0 1 " << (i / 4) * 4 - 4 << " 0 0 0 1\n";
    return path;
}

} // namespace

TEST(BatchUsageTest, HelpAndVersionPrintAndSucceed)
{
    const ProgramRun help = flexherd({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: flexherd [OPTION]... [--] [FILE]...\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--export-image PATH"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const ProgramRun version = flexherd({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("flexherd ", 0), 0u);
}

TEST(BatchUsageTest, MistakesExitWithStatusTwoAndSayWhatIsWrong)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--fast"}, "unknown option '--fast'"},
        {{"--animals"}, "option '--animals' needs a value"},
        {{"--method", "immediate", "quadruped.bin"}, "invalid value 'immediate' for '--method' (expected lists, vbo or arrays)"},
        {{"--export-image", "x.png", "--size", "20000x10"},
         "invalid value '20000x10' for '--size' (expected WIDTHxHEIGHT, each from 1 to 19999)"},
        {{"--frames", "3"}, "'--frames' needs '--export-sequence', '--export-video' or '--timedemo'"},
        {{"--export-video", "v.mp4", "--fps", "fast"},
         "invalid value 'fast' for '--fps' (expected a number of frames per second above 0 and at most 1000, such as "
         "30 or 29.97)"},
    };
    for (const auto& [arguments, error] : cases) {
        const ProgramRun run = flexherd(arguments);
        EXPECT_EQ(run.status, 2) << arguments[0];
        EXPECT_EQ(run.err, usageHint(error));
        EXPECT_EQ(run.out, "");
    }
}

TEST(BatchExportTest, WritesTheImageAtTheAskedSizeAndSucceeds)
{
    const fs::path image = g_directory / "herd.png";
    const ProgramRun run = flexherd({"--animals", "30", "--stopped", "--export-image", image.string(), "--size", "300x200",
                              "quadruped.bin", "flyby.keys"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(imageSize(image), std::make_pair(300, 200));
}

TEST(BatchExportTest, FailuresGoToStandardErrorAsCaptionAndMessageAndExitWithOne)
{
    const fs::path missingDirectory = g_directory / "no-such-dir" / "x.png";
    ProgramRun run = flexherd({"--export-image", missingDirectory.string(), "--size", "64x48", "quadruped.bin"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error writing image: Unable to write to image '" + missingDirectory.string() + "'.\n");

    // A file that cannot be read is reported, the rest still load and the image is written,
    // but the run has failed.
    const fs::path image = g_directory / "partial.png";
    const fs::path missingSkin = g_directory / "missing.bin";
    run = flexherd({"--export-image", image.string(), "--size", "64x48", missingSkin.string(), "quadruped.bin"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error reading skin: Unable to open file '" + missingSkin.string() + "' for reading.\n");
    EXPECT_EQ(imageSize(image), std::make_pair(64, 48));

    run = flexherd({"--lod", "9", "--export-image", image.string(), "--size", "8x8", "quadruped.bin"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Invalid option: There is no detail level 9: the loaded herds have "), std::string::npos)
        << run.err;
}

// File names are bytes: one that is not valid UTF-8 (or in the locale's encoding) must reach
// the loader and the writer as given, and must not shift the arguments after it.
TEST(BatchExportTest, FileNamesThatAreNotUtf8AndUpperCaseExtensionsWork)
{
    const fs::path skin = g_directory / "kuh-\xfc.bin";
    fs::copy_file(g_samples / "quadruped.bin", skin, fs::copy_options::overwrite_existing);
    fs::copy_file(g_samples / "quadruped.png", g_directory / "quadruped.png", fs::copy_options::overwrite_existing);
    const fs::path image = g_directory / "herd-\xfc.PNG";
    const ProgramRun run = flexherd({"--export-image", image.string(), "--size", "40x30", skin.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Error"), std::string::npos) << run.err;
    // Read back under a plain name: the toolkit's file names are Unicode strings.
    const fs::path plain = g_directory / "herd-plain.png";
    std::error_code error;
    fs::copy_file(image, plain, fs::copy_options::overwrite_existing, error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(imageSize(plain), std::make_pair(40, 30));
}

TEST(BatchExportTest, AModelFileIsImportedAndItsHerdDrawn)
{
    const fs::path model = g_directory / "cylinder.gltf";
    writeGltf(model, BentCylinder().gltf());
    const fs::path image = g_directory / "cylinders.png", empty = g_directory / "no-herd.png";
    const std::vector<std::string> options{"--stopped", "--animals", "12", "--size", "160x120", "--export-image"};
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {image.string(), model.string()});
    const ProgramRun run = flexherd(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    arguments = options;
    arguments.push_back(empty.string());
    ASSERT_EQ(flexherd(arguments).status, 0);

    // The herd covers a good part of what the empty scene shows as ground and sky.
    wxImage herd, none;
    ASSERT_TRUE(herd.LoadFile(image.string(), wxBITMAP_TYPE_PNG));
    ASSERT_TRUE(none.LoadFile(empty.string(), wxBITMAP_TYPE_PNG));
    ASSERT_EQ(herd.GetWidth(), 160);
    ASSERT_EQ(none.GetWidth(), 160);
    std::size_t differing = 0;
    const unsigned char* a = herd.GetData();
    const unsigned char* b = none.GetData();
    for (std::size_t i = 0; i < std::size_t(160 * 120); ++i)
        differing += a[3 * i] != b[3 * i] || a[3 * i + 1] != b[3 * i + 1] || a[3 * i + 2] != b[3 * i + 2];
    EXPECT_GT(differing, std::size_t(160 * 120 / 50)) << differing << " pixels show animals";

    // A model that cannot be imported fails the run, naming the file.
    const fs::path broken = g_directory / "broken.fbx";
    std::ofstream(broken) << "not a model";
    const ProgramRun failed = flexherd({"--export-image", image.string(), "--size", "16x16", broken.string()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err.rfind("Error importing model: ", 0), 0u) << failed.err;
    EXPECT_NE(failed.err.find("'" + broken.string() + "'"), std::string::npos) << failed.err;
}

TEST(BatchExportTest, FromAnyWorkingDirectoryTheSkyAndGroundAreThoseOfTheSamplesDirectory)
{
    // A camera low over the herd looking at the horizon: sky above, ground below.
    const fs::path keys = g_directory / "horizon.keys";
    {
        std::ofstream out(keys, std::ios::binary);
        auto word = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        const std::pair<std::string, float> values[] = {{"azimuth", 1.5708f}, {"elevation", -0.1f}, {"dolly", 15.0f},
                                                       {"lookAt.x", 0.0f},    {"lookAt.y", 1.0f},    {"lookAt.z", 0.0f}};
        word(6);
        for (const auto& [name, value] : values) {
            word(std::uint32_t(name.size()));
            out << name;
            word(1);
            word(0);
            word(std::bit_cast<std::uint32_t>(value));
        }
    }
    const fs::path elsewhere = g_directory / "elsewhere";
    fs::create_directories(elsewhere);
    const fs::path inSamples = g_directory / "in-samples.png", outside = g_directory / "outside.png";
    auto arguments = [&](const fs::path& image) {
        return std::vector<std::string>{"--stopped",  "--seed",  "7",        "--animals", "5",
                                        "--lighting", "prt",     "--background", "sky",   "--size",
                                        "160x100",    "--export-image", image.string(), (g_samples / "quadruped.bin").string(),
                                        keys.string()};
    };
    ASSERT_EQ(flexherd(arguments(inSamples)).status, 0);
    const ProgramRun run = flexherd(arguments(outside), {}, Display::None, elsewhere);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<unsigned char> reference = imagePixels(inSamples), picture = imagePixels(outside);
    ASSERT_EQ(picture.size(), std::size_t(160 * 100 * 3));
    EXPECT_TRUE(picture == reference) << "the picture from another directory differs from the samples directory's";
    // The sky is blue above (not the untextured white sphere, nor black) and the ground not black.
    auto pixel = [&](int x, int y) { return &picture[std::size_t(3 * (y * 160 + x))]; };
    const unsigned char* sky = pixel(80, 3);
    EXPECT_GT(int(sky[2]), int(sky[0]) + 20) << "sky " << int(sky[0]) << ' ' << int(sky[1]) << ' ' << int(sky[2]);
    const unsigned char* ground = pixel(3, 97);
    EXPECT_GT(int(ground[0]) + ground[1] + ground[2], 150) << "ground " << int(ground[0]) << ' ' << int(ground[1]) << ' '
                                                          << int(ground[2]);
}

TEST(BatchExportTest, SequenceWritesNumberedFrames)
{
    const fs::path dir = g_directory / "sequence";
    fs::create_directories(dir);
    const ProgramRun run = flexherd({"--export-sequence", (dir / "walk.png").string(), "--size", "48x32", "--frames", "3",
                              "quadruped.bin"});
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* name : {"walk.0000.png", "walk.0001.png", "walk.0002.png"})
        EXPECT_EQ(imageSize(dir / name), std::make_pair(48, 32)) << name;
    EXPECT_FALSE(fs::exists(dir / "walk.0003.png"));

    const ProgramRun noKeys = flexherd({"--export-sequence", (dir / "none.png").string(), "quadruped.bin"});
    EXPECT_EQ(noKeys.status, 1);
    EXPECT_EQ(noKeys.err.rfind("Export image sequence: There is no camera animation", 0), 0u) << noKeys.err;
}

// Where a window system is at hand the program may draw in its window; without one it draws
// off screen in an EGL context. Both must give the same picture of the same scene: fixed
// placements, the sample camera flight, a fixed frame (an image that fits the window, which
// the window draws in one piece as the headless run does).
TEST(BatchHeadlessTest, TheSameSceneGivesTheSamePictureWithAndWithoutAWindow)
{
    const std::string herd = fixedHerd().string();
    const std::vector<std::vector<std::string>> settings = {
        {},
        {"--software", "--lighting", "opengl", "--background", "sky", "--no-ground"},
        {"--camera", "orthographic", "--geometry", "wireframe", "--background", "blue", "--lod", "1"}};
    for (const auto& choice : settings) {
        std::string name;
        for (const std::string& option : choice) name += option + " ";
        SCOPED_TRACE("options: " + name);
        const auto run = [&](const std::string& file, Display display, bool headlessOption) {
            std::vector<std::string> arguments = choice;
            if (headlessOption) arguments.push_back("--headless");
            const std::vector<std::string> rest = {"--stopped", "--frame", "40", "--export-image",
                                                   (g_directory / file).string(), "--size", "480x320", herd, "flyby.keys"};
            arguments.insert(arguments.end(), rest.begin(), rest.end());
            const ProgramRun result = flexherd(arguments, {}, display);
            EXPECT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(result.err, "");
            return imagePixels(g_directory / file);
        };
        const std::vector<unsigned char> window = run("window.png", Display::X, false);
        const std::vector<unsigned char> headless = run("headless.png", Display::None, false);
        // "--headless" draws off screen although a display is there.
        const std::vector<unsigned char> asked = run("asked.png", Display::X, true);
        ASSERT_EQ(window.size(), 480u * 320u * 3u);
        // Not an empty picture: the herd covers a good part of it.
        std::size_t unlike = 0;
        for (std::size_t i = 3; i < window.size(); i += 3)
            unlike += window[i] != window[0] || window[i + 1] != window[1] || window[i + 2] != window[2];
        EXPECT_GT(unlike, window.size() / 3 / 50);
        EXPECT_TRUE(headless == window) << "the picture drawn without a display differs from the window's";
        EXPECT_TRUE(asked == window) << "the picture drawn with --headless differs from the window's";
    }
}

TEST(BatchHeadlessTest, WithoutADisplayImagesAreWrittenInTheFormatsItKnows)
{
    const std::pair<const char*, std::pair<int, int>> formats[] = {
        {"shot.png", {40, 30}}, {"shot.JPG", {41, 30}}, {"shot.bmp", {42, 30}}, {"shot.tga", {43, 30}}, {"shot.ppm", {44, 30}}};
    for (const auto& [name, size] : formats) {
        const fs::path image = g_directory / name;
        const std::string sizeText = std::to_string(size.first) + "x" + std::to_string(size.second);
        const ProgramRun run = flexherd({"--export-image", image.string(), "--size", sizeText, "quadruped.bin"});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(imageSize(image), size) << name;
    }
    // TIFF and the toolkit's other formats need the window system's image handlers.
    const fs::path tiff = g_directory / "shot.tif";
    const ProgramRun run = flexherd({"--export-image", tiff.string(), "--size", "40x30", "quadruped.bin"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error writing image: Unable to write to image '" + tiff.string() + "'.\n");
    EXPECT_FALSE(fs::exists(tiff));

    const ProgramRun usage = flexherd({"--headless", "quadruped.bin"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, usageHint("'--headless' needs '--export-image', '--export-sequence', '--export-video' or '--timedemo'"));
}

TEST(BatchTimedemoTest, PrintsTheReportOnStandardOutput)
{
    // A camera flight of 24 frames (the sample's 300 would take minutes on a software renderer):
    // one "azimuth" record keyed at frames 0 and 24, in the keys file's little-endian layout.
    std::string keys;
    const auto appendI32 = [&](std::int32_t value) {
        for (int b = 0; b < 4; ++b) keys += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * b)) & 0xff);
    };
    const auto appendF32 = [&](float value) { appendI32(std::bit_cast<std::int32_t>(value)); };
    appendI32(1);
    appendI32(7);
    keys += "azimuth";
    appendI32(2);
    appendI32(0);
    appendF32(0.0f);
    appendI32(24);
    appendF32(1.5f);
    const fs::path flight = g_directory / "short.keys";
    std::ofstream(flight, std::ios::binary) << keys;

    // Without a display and in the window alike: the same report, with where the time went.
    std::vector<std::string> drawnFigures;
    for (const Display display : {Display::None, Display::X}) {
        SCOPED_TRACE(display == Display::None ? "without a display" : "in the window");
        const ProgramRun run = flexherd({"--animals", "20", "--timedemo", "quadruped.bin", flight.string()}, {}, display);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::regex report("timedemo complete\\.\n\tframes:\t24\n\ttotal time:\t([0-9.e+-]+)s\n"
                                "\ttime per frame:\t([0-9.e+-]+)s/frame\n\taverage fps:\t([0-9.e+-]+)fps\n"
                                // Where the time went, per frame on average.
                                "\tLOD update:\t[0-9.e+-]+ms/frame\n\tculling:\t[0-9.e+-]+ms/frame\n"
                                "\tskinning:\t[0-9.e+-]+ms/frame\n\tdrawing meshes:\t[0-9.e+-]+ms/frame\n"
                                "\tdrawing impostors:\t0ms/frame\n\ttriangles drawn:\t([0-9]+)/frame\n"
                                "\timpostors drawn:\t0/frame\n");
        std::smatch match;
        ASSERT_TRUE(std::regex_match(run.out, match, report)) << run.out;
        const double seconds = std::stod(match[1]);
        EXPECT_GT(seconds, 0.0);
        EXPECT_NEAR(std::stod(match[2]), seconds / 24, 1e-5 + seconds / 24 * 1e-4);
        EXPECT_NEAR(std::stod(match[3]), 24 / seconds, 24 / seconds * 1e-4);
        const unsigned long long meshTriangles = std::stoull(match[4]);
        EXPECT_GT(meshTriangles, 0u) << "the animals are meshes";

        // Every animal less than 1000 pixels tall is an impostor: quads instead of most
        // triangles (the animals right in front of the camera stay meshes).
        const ProgramRun impostors = flexherd({"--animals", "20", "--impostors", "--impostor-pixels", "1000",
                                               "--timedemo", "--frames", "12", "quadruped.bin", flight.string()},
                                              {}, display);
        EXPECT_EQ(impostors.status, 0) << impostors.err;
        ASSERT_EQ(impostors.out.rfind("timedemo complete.\n\tframes:\t12\n", 0), 0u) << "the first 12 frames";
        const std::regex drawn("[^]*\ttriangles drawn:\t([0-9]+)/frame\n\timpostors drawn:\t([0-9]+)/frame\n");
        ASSERT_TRUE(std::regex_match(impostors.out, match, drawn)) << impostors.out;
        EXPECT_LT(std::stoull(match[1]), meshTriangles);
        EXPECT_GT(std::stoull(match[2]), 0u);
        EXPECT_LE(std::stoull(match[2]), 20u);

        // A view of a given size: which animals are impostors goes by their height in its
        // pixels, so both ways must draw the same triangles and impostors (on the same layout,
        // standing still).
        const ProgramRun sized = flexherd({"--seed", "3", "--stopped", "--animals", "20", "--impostors",
                                           "--impostor-pixels", "300", "--timedemo", "--size", "640x480", "--frames",
                                           "6", "quadruped.bin", flight.string()},
                                          {}, display);
        EXPECT_EQ(sized.status, 0) << sized.err;
        ASSERT_TRUE(std::regex_match(sized.out, match, drawn)) << sized.out;
        EXPECT_GT(std::stoull(match[1]), 0u) << "near animals are meshes";
        EXPECT_GT(std::stoull(match[2]), 0u) << "far ones impostors";
        drawnFigures.push_back(match[1].str() + " triangles, " + match[2].str() + " impostors");
    }
    ASSERT_EQ(drawnFigures.size(), 2u);
    EXPECT_EQ(drawnFigures[0], drawnFigures[1]);

    const ProgramRun noKeys = flexherd({"--timedemo", "quadruped.bin"});
    EXPECT_EQ(noKeys.status, 1);
    EXPECT_EQ(noKeys.err, "Run timedemo: There is no camera animation to play. Load a camera keys file first.\n");
    EXPECT_EQ(noKeys.out, "");
}

namespace {

using namespace faultinjection;

// The program as a writer: run with the fault layer preloaded when the plan watches a
// directory. A failure must exit with 1 and say why on standard error; success with 0 and
// nothing printed.
WriterUnderTest batchWriter(const std::string& name, const std::vector<std::string>& files,
                            std::function<std::vector<std::string>(const fs::path& directory)> arguments)
{
    WriterUnderTest writer;
    writer.name = name;
    writer.files = files;
    writer.write = [arguments](const fs::path& directory, const FaultPlan& plan) {
        Attempt attempt;
        const fs::path report = g_directory / "fault-report.txt";
        fs::remove(report);
        std::vector<std::string> environment;
        if (!plan.directory.empty()) {
            const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
            environment = {std::string("LD_PRELOAD=") + FLEXHERD_FAULTSHIM,
                           // A sanitized build wants its runtime first; the layer must come before it.
                           std::string("ASAN_OPTIONS=") + (sanitizerOptions ? sanitizerOptions + std::string(":") : "") +
                               "verify_asan_link_order=0"};
            for (const std::string& variable : environmentFor(plan, report)) environment.push_back(variable);
        }
        const ProgramRun run = flexherd(arguments(directory), environment);
        if (!plan.directory.empty()) {
            const std::optional<Outcome> outcome = readReport(report);
            if (outcome)
                attempt.outcome = *outcome;
            else
                ADD_FAILURE() << "the fault layer left no report (not preloaded, or the program crashed): " << run.err;
        }
        if (run.status == 0) {
            EXPECT_EQ(run.err, "") << "success, yet an error was printed";
        } else {
            EXPECT_EQ(run.status, 1) << run.err;
            attempt.error = run.err;
        }
        return attempt;
    };
    writer.readBack = [files](const fs::path& directory) {
        for (const std::string& file : files) EXPECT_NE(imageSize(directory / file), std::make_pair(0, 0)) << file;
    };
    // Whatever failed: the export command's caption and message, one line.
    writer.checkError = [](const std::string& error, const std::string& path, const ExpectedFailure&) {
        EXPECT_EQ(error, "Error writing image: " + expected::image(path) + "\n");
    };
    return writer;
}

std::vector<WriterUnderTest> batchExports()
{
    const std::string herd = fixedHerd().string();
    return {batchWriter("flexherd --export-image", {"herd.png"},
                        [herd](const fs::path& directory) -> std::vector<std::string> {
                            return {"--stopped", "--export-image", (directory / "herd.png").string(), "--size", "96x64", herd};
                        }),
            batchWriter("flexherd --export-sequence", {"walk.0000.png", "walk.0001.png"},
                        [herd](const fs::path& directory) -> std::vector<std::string> {
                            return {"--export-sequence", (directory / "walk.png").string(), "--size", "64x48", "--frames", "2",
                                    herd};
                        })};
}

} // namespace

// The batch exports under a failing disk, the program run as a child with the fault layer
// preloaded: every fault at every call, then paths that cannot be written. Each run is a
// process of its own, so the sequence, whose frames go through the same image writer, is
// tried with fewer faults; and a read-only directory is left to the fault layer's refused
// creation, since as another user the child could not reach the X display.
TEST(BatchFaultTest, ExportsSurviveEveryFaultAtEveryCallAndRefuseUnwritablePaths)
{
    const std::vector<WriterUnderTest> writers = batchExports();
    FaultCheckOptions everyFault;
    everyFault.nextWriteAfterEachFault = false;
    FaultCheckOptions perFrame = everyFault;
    perFrame.faults = {Fault::NoSpace, Fault::RenameFails};

    const fs::path imageDirectory = g_directory / "faults-image";
    const fs::path sequenceDirectory = g_directory / "faults-sequence";
    fs::create_directories(imageDirectory);
    fs::create_directories(sequenceDirectory);
    const int total = expectSoundUnderEveryFault(writers[0], imageDirectory, everyFault).total() +
                      expectSoundUnderEveryFault(writers[1], sequenceDirectory, perFrame).total();
    expectSoundOnUnwritablePaths(writers[0], imageDirectory, false);
    std::cout << "[ faults   ] " << total << " faults injected into batch runs\n";
}

// The unit a render farm schedules: two processes each export half of a sequence
// (--first-frame, --frames) and together write exactly the files of one whole run, byte for
// byte, numbered by frame. The camera flight and the walk both move on from frame to frame,
// and every process lays the herds out from the same seed.
TEST(BatchFarmTest, TwoHalvesOfASequenceEqualOneWholeRun)
{
    const fs::path whole = g_directory / "farm-whole", split = g_directory / "farm-split";
    fs::create_directories(whole);
    fs::create_directories(split);
    const auto exportRange = [](const fs::path& dir, std::vector<std::string> range) {
        std::vector<std::string> arguments = {"--seed", "4242", "--animals", "12"};
        arguments.insert(arguments.end(), range.begin(), range.end());
        for (const std::string& argument : std::vector<std::string>{"--export-sequence", (dir / "f.png").string(), "--size", "64x48"})
            arguments.push_back(argument);
        for (const char* file : {"quadruped.bin", "longneck.bin", "flyby.keys"}) arguments.push_back(file);
        const ProgramRun run = flexherd(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "") << "no progress lines when standard error is no terminal";
    };
    exportRange(whole, {"--frames", "6"});
    exportRange(split, {"--first-frame", "3", "--frames", "3"});
    // A machine without a window system draws its half headless: the same pictures.
    exportRange(split, {"--headless", "--frames", "3", "--first-frame", "0"});

    const auto listing = [](const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> expected = {"f.0000.png", "f.0001.png", "f.0002.png",
                                               "f.0003.png", "f.0004.png", "f.0005.png"};
    ASSERT_EQ(listing(whole), expected);
    ASSERT_EQ(listing(split), expected);
    for (const std::string& name : expected)
        EXPECT_TRUE(slurp(whole / name) == slurp(split / name)) << name << " differs between the whole run and its half";
    // Frames differ from one another, so a half that drew the wrong frames could not pass.
    EXPECT_FALSE(slurp(whole / "f.0000.png") == slurp(whole / "f.0003.png"));
    EXPECT_FALSE(slurp(whole / "f.0002.png") == slurp(whole / "f.0003.png"));
}

// --export-video writes one video of the frames asked for at the rate asked for, says on
// standard output when the codec needed another size, and fails like the other exports.
TEST(BatchVideoTest, WritesTheFramesAskedForAndReportsFailures)
{
    const fs::path dir = g_directory / "video";
    fs::create_directories(dir);
    const fs::path video = dir / "walk.mp4";
    const ProgramRun run = flexherd({"--seed", "7", "--export-video", video.string(), "--size", "161x121", "--frames", "5",
                                     "--first-frame", "10", "--fps", "12", "quadruped.bin", "flyby.keys"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("160 x 120"), std::string::npos) << run.out;
    const DecodedVideo decoded = decodeVideo(video.string());
    EXPECT_EQ(decoded.frames.size(), 5u);
    EXPECT_EQ(decoded.width, 160);
    EXPECT_EQ(decoded.height, 120);
    EXPECT_NEAR(decoded.averageFrameRate, 12.0, 1e-9);

    // The same range as images, the herd laid out from the same seed: the video's frames are
    // frames 10 to 14, in order.
    const ProgramRun images = flexherd({"--seed", "7", "--export-sequence", (dir / "still.png").string(), "--size", "160x120",
                                        "--frames", "5", "--first-frame", "10", "quadruped.bin", "flyby.keys"});
    ASSERT_EQ(images.status, 0) << images.err;
    const auto still = [&](int frame) {
        wxImage image;
        EXPECT_TRUE(image.LoadFile((dir / ("still.00" + std::to_string(frame) + ".png")).string(), wxBITMAP_TYPE_PNG));
        return std::vector<unsigned char>(image.GetData(), image.GetData() + 160 * 120 * 3);
    };
    const auto first = still(10), last = still(14);
    EXPECT_GT(psnr(decoded.frames[0], first), 35.0);
    EXPECT_GT(psnr(decoded.frames[4], last), 35.0);
    EXPECT_GT(psnr(decoded.frames[4], last), psnr(decoded.frames[4], first) + 2.0) << "frames out of place";
    for (int frame = 10; frame < 15; ++frame) fs::remove(dir / ("still.00" + std::to_string(frame) + ".png"));

    // Without a window system: the same frames, so the same bytes.
    const fs::path headless = dir / "headless.mp4";
    const ProgramRun offScreen = flexherd({"--headless", "--seed", "7", "--export-video", headless.string(), "--size",
                                           "161x121", "--frames", "5", "--first-frame", "10", "--fps", "12",
                                           "quadruped.bin", "flyby.keys"});
    EXPECT_EQ(offScreen.status, 0) << offScreen.err;
    EXPECT_EQ(offScreen.out, run.out);
    EXPECT_TRUE(slurp(headless) == slurp(video)) << "the headless video differs from the window's";
    fs::remove(headless);

    const std::string missing = (dir / "missing" / "v.mp4").string();
    const ProgramRun failed = flexherd({"--export-video", missing, "--frames", "2", "quadruped.bin"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "Error writing video: Unable to write video '" + missing +
                              "': no file can be made beside it (No such file or directory).\n");
    for (const bool offScreenToo : {false, true}) {
        std::vector<std::string> arguments = {"--export-video", missing, "--frames", "2", "quadruped.bin"};
        if (offScreenToo) arguments.insert(arguments.begin(), "--headless");
        const ProgramRun failedRun = flexherd(arguments);
        EXPECT_EQ(failedRun.status, 1);
        EXPECT_EQ(failedRun.err, failed.err) << "headless: " << offScreenToo;
        arguments = {"--export-video", (dir / "none.mp4").string(), "quadruped.bin"};
        if (offScreenToo) arguments.insert(arguments.begin(), "--headless");
        const ProgramRun noKeys = flexherd(arguments);
        EXPECT_EQ(noKeys.status, 1);
        EXPECT_EQ(noKeys.err.rfind("Export video: There is no camera animation", 0), 0u) << noKeys.err;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"walk.mp4"})) << "failed exports leave nothing";
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::cerr << "test_batch: FAILED: no X display (DISPLAY is not set). Run it under xvfb-run, or through "
                     "ctest, which wraps it in xvfb-run when that is installed.\n";
        return 1;
    }
    // Only for reading the written images back; no window is opened here.
    wxInitializer toolkit;
    if (!toolkit.IsOk()) {
        std::cerr << "test_batch: FAILED: wxWidgets could not start.\n";
        return 1;
    }
    wxInitAllImageHandlers();

    const TempDirectory scratch("batch");
    g_directory = scratch.path();
    g_samples = g_directory / "samples";
    fs::create_directories(g_samples);
    const std::string generate = std::string("'") + FLEXHERD_MKSAMPLE + "' '" + g_samples.string() + "' >/dev/null 2>&1";
    if (std::system(generate.c_str()) != 0 || !fs::exists(g_samples / "quadruped.bin")) {
        std::cerr << "test_batch: FAILED: flexherd-mksample could not write the sample animals.\n";
        return 1;
    }
    return RUN_ALL_TESTS();
}
