// The flexherd program run as a script would run it: options, exit statuses, what it prints
// on standard output and standard error, and the files it writes. Usage errors need no
// display; the actions draw, so the suite runs on an X display (Xvfb) and fails without one.

#include "TempDirectory.h"
#include "WriterFaults.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/init.h>

#include <sys/wait.h>
#include <unistd.h>

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

// Runs the program with arguments, in the samples directory, and collects what it printed;
// `environment` ("NAME=VALUE") is set for the program alone.
ProgramRun flexherd(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {})
{
    std::string command = "cd " + quoted(g_samples.string()) + " && ";
    if (!environment.empty()) {
        command += "env";
        for (const std::string& variable : environment) command += ' ' + quoted(variable);
        command += ' ';
    }
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
        {{"--frames", "3"}, "'--frames' needs '--export-sequence' or '--timedemo'"},
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

    const ProgramRun run = flexherd({"--animals", "20", "--timedemo", "quadruped.bin", flight.string()});
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

    // Every animal less than 1000 pixels tall is an impostor: quads instead of most triangles
    // (the animals right in front of the camera stay meshes).
    const ProgramRun impostors = flexherd({"--animals", "20", "--impostors", "--impostor-pixels", "1000",
                                           "--timedemo", "--frames", "12", "quadruped.bin", flight.string()});
    EXPECT_EQ(impostors.status, 0) << impostors.err;
    ASSERT_EQ(impostors.out.rfind("timedemo complete.\n\tframes:\t12\n", 0), 0u) << "the first 12 frames";
    const std::regex drawn("[^]*\ttriangles drawn:\t([0-9]+)/frame\n\timpostors drawn:\t([0-9]+)/frame\n");
    ASSERT_TRUE(std::regex_match(impostors.out, match, drawn)) << impostors.out;
    EXPECT_LT(std::stoull(match[1]), meshTriangles);
    EXPECT_GT(std::stoull(match[2]), 0u);
    EXPECT_LE(std::stoull(match[2]), 20u);

    const ProgramRun noKeys = flexherd({"--timedemo", "quadruped.bin"});
    EXPECT_EQ(noKeys.status, 1);
    EXPECT_EQ(noKeys.err, "Run timedemo: There is no camera animation to play. Load a camera keys file first.\n");
    EXPECT_EQ(noKeys.out, "");
}

namespace {

using namespace faultinjection;

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
