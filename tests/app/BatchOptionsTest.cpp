#include "app/BatchOptions.h"

#include "app/MenuIds.h"

#include <gtest/gtest.h>

namespace {

CommandLine parse(const std::vector<std::string>& arguments)
{
    return parseCommandLine(arguments);
}

// The usage error of arguments, or a failure naming what came out instead.
std::string usageError(const std::vector<std::string>& arguments)
{
    const CommandLine line = parse(arguments);
    if (line.kind != CommandLine::Kind::UsageError) return "<no usage error>";
    return line.error;
}

} // namespace

TEST(CommandLineTest, PlainFilesKeepTheirMeaning)
{
    const CommandLine line = parse({"a.bin", "flyby.keys", "--animals", "5"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run);
    EXPECT_EQ(line.options.files, (std::vector<std::string>{"a.bin", "flyby.keys", "--animals", "5"}))
        << "options come before the files; after the first file everything is a file";
    EXPECT_FALSE(line.options.batch());
    EXPECT_FALSE(line.options.animals);
    EXPECT_TRUE(parse({}).options.files.empty());
}

TEST(CommandLineTest, DoubleDashEndsTheOptions)
{
    const CommandLine line = parse({"--stopped", "--", "--help", "-x.bin"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run);
    EXPECT_EQ(line.options.files, (std::vector<std::string>{"--help", "-x.bin"}));
    EXPECT_EQ(line.options.menuChoices, (std::vector<MenuChoice>{{kRunningId, false}}));
    // A single dash or a name starting with one dash is a file.
    EXPECT_EQ(parse({"-", "b"}).options.files, (std::vector<std::string>{"-", "b"}));
}

TEST(CommandLineTest, HelpAndVersionWinOverWhatFollows)
{
    EXPECT_EQ(parse({"--help"}).kind, CommandLine::Kind::Help);
    EXPECT_EQ(parse({"--animals", "3", "--version", "--bogus"}).kind, CommandLine::Kind::Version);
    EXPECT_EQ(parse({"--bogus", "--help"}).kind, CommandLine::Kind::UsageError) << "errors are met in order";
    EXPECT_NE(usageText().find("--export-sequence PATH"), std::string::npos);
    EXPECT_NE(versionText().find("flexherd"), std::string::npos);
}

TEST(CommandLineTest, SettingsBecomeTheMenuItemsAUserWouldChoose)
{
    const CommandLine line = parse({"--software", "--method", "arrays", "--lighting=opengl", "--geometry", "wireframe",
        "--lod", "conservative", "--camera", "orthographic", "--background", "light-gray", "--no-shadows",
        "--no-ground", "--background", "sky", "x.bin"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
    const std::vector<MenuChoice> expected = {{kUseVertexProgramId, false}, {kVertexArraysId, true},
        {kOpenGLLightingId, true}, {kWireframeId, true}, {kLodConservativeId, true}, {kOrthographicId, true},
        {kLightGrayId, true}, {kShadowsId, false}, {kGroundPlaneId, false}, {kSkyId, true}};
    EXPECT_EQ(line.options.menuChoices, expected);
    EXPECT_EQ(line.options.files, std::vector<std::string>{"x.bin"});

    const std::vector<std::pair<std::vector<std::string>, int>> single = {
        {{"--method", "lists"}, kDisplayListsId}, {{"--method", "vbo"}, kVertexBufferObjectsId},
        {{"--lighting", "none"}, kNoLightingId}, {{"--lighting", "prt"}, kPrtLightingId},
        {{"--geometry", "boxes"}, kBoxesId}, {{"--geometry", "polys"}, kPolysId}, {{"--geometry", "points"}, kPointsId},
        {{"--lod", "aggressive"}, kLodAggressiveId}, {{"--lod", "moderate"}, kLodModerateId},
        {{"--camera", "perspective"}, kPerspectiveId}, {{"--background", "white"}, kWhiteId},
        {{"--background", "dark-gray"}, kDarkGrayId}, {{"--background", "blue"}, kBlueId},
        {{"--background", "black"}, kBlackId}};
    for (const auto& [arguments, id] : single) {
        const CommandLine one = parse(arguments);
        ASSERT_EQ(one.kind, CommandLine::Kind::Run) << arguments[0] << " " << arguments[1];
        EXPECT_EQ(one.options.menuChoices, (std::vector<MenuChoice>{{id, true}})) << arguments[1];
    }
}

TEST(CommandLineTest, NumberedLodLevelIsKeptForAfterLoading)
{
    const CommandLine line = parse({"--lod", "2"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run);
    EXPECT_EQ(line.options.fixedDetailLevel, 2u);
    EXPECT_TRUE(line.options.menuChoices.empty());
    // A later named mode replaces it.
    const CommandLine named = parse({"--lod", "2", "--lod", "moderate"});
    EXPECT_FALSE(named.options.fixedDetailLevel);
    EXPECT_EQ(named.options.menuChoices, (std::vector<MenuChoice>{{kLodModerateId, true}}));
    EXPECT_EQ(usageError({"--lod", "fine"}),
              "invalid value 'fine' for '--lod' (expected aggressive, moderate, conservative or a level number)");
    EXPECT_EQ(usageError({"--lod", "-1"}).substr(0, 30), "invalid value '-1' for '--lod'");
}

TEST(CommandLineTest, ActionsTakeTheirPathsSizesAndFrames)
{
    CommandLine line = parse({"--animals", "200", "--export-image", "herd.png", "--size", "3000x2000", "a.bin", "f.keys"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
    EXPECT_TRUE(line.options.batch());
    EXPECT_EQ(line.options.action, BatchOptions::Action::ExportImage);
    EXPECT_EQ(line.options.outputPath, "herd.png");
    EXPECT_EQ(line.options.width, 3000);
    EXPECT_EQ(line.options.height, 2000);
    EXPECT_EQ(line.options.animals, 200u);
    EXPECT_EQ(line.options.files, (std::vector<std::string>{"a.bin", "f.keys"}));

    line = parse({"--frame", "12", "--export-sequence", "shots/run.png", "--frames", "30"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
    EXPECT_EQ(line.options.action, BatchOptions::Action::ExportSequence);
    EXPECT_EQ(line.options.frames, 30);
    EXPECT_EQ(line.options.frame, 12);
    EXPECT_FALSE(line.options.width) << "the command's default size applies";

    line = parse({"--export-video", "herd.webm", "--first-frame=100", "--frames", "50", "--fps", "29.97", "--size",
                  "640x360", "a.bin"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
    EXPECT_EQ(line.options.action, BatchOptions::Action::ExportVideo);
    EXPECT_EQ(line.options.outputPath, "herd.webm");
    EXPECT_EQ(line.options.firstFrame, 100);
    EXPECT_FALSE(line.options.seed);
    EXPECT_EQ(parse({"--seed", "77", "--export-image", "a.png"}).options.seed, 77);
    EXPECT_EQ(usageError({"--seed", "-1"}).rfind("invalid value '-1' for '--seed'", 0), 0u);
    EXPECT_EQ(line.options.frames, 50);
    EXPECT_EQ(line.options.framesPerSecond, 29.97);
    EXPECT_EQ(line.options.width, 640);
    line = parse({"--export-sequence", "f.png", "--first-frame", "24"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
    EXPECT_EQ(line.options.firstFrame, 24);
    EXPECT_FALSE(line.options.frames);
    EXPECT_FALSE(parse({"--export-video", "a.mp4"}).options.framesPerSecond) << "the default rate applies";

    line = parse({"--timedemo", "--software"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run);
    EXPECT_EQ(line.options.action, BatchOptions::Action::Timedemo);
}

TEST(CommandLineTest, MistakesAreUsageErrorsNamingTheOption)
{
    EXPECT_EQ(usageError({"--fast"}), "unknown option '--fast'");
    EXPECT_EQ(usageError({"--animals"}), "option '--animals' needs a value");
    EXPECT_EQ(usageError({"--animals", "0"}),
              "invalid value '0' for '--animals' (expected a whole number from 1 to 100000)");
    EXPECT_EQ(usageError({"--animals", "100001"}).substr(0, 40), "invalid value '100001' for '--animals' (");
    EXPECT_EQ(usageError({"--animals", "12x"}).substr(0, 35), "invalid value '12x' for '--animals'");
    EXPECT_EQ(usageError({"--method", "immediate"}),
              "invalid value 'immediate' for '--method' (expected lists, vbo or arrays)");
    EXPECT_EQ(usageError({"--background", "grey"}),
              "invalid value 'grey' for '--background' (expected white, light-gray, dark-gray, blue, black or sky)");
    EXPECT_EQ(usageError({"--stopped=yes"}), "option '--stopped' takes no value");
    EXPECT_EQ(usageError({"--frame", "-2"}).substr(0, 32), "invalid value '-2' for '--frame'");
}

TEST(CommandLineTest, SizesMustBeWidthByHeightWithinTheExportLimits)
{
    for (const std::string size : {"0x10", "20000x10", "10x20000", "10", "10x", "x10", "10X10", "10x10x10", "-5x5"})
        EXPECT_EQ(usageError({"--export-image", "a.png", "--size", size}),
                  "invalid value '" + size + "' for '--size' (expected WIDTHxHEIGHT, each from 1 to 19999)")
            << size;
    const CommandLine largest = parse({"--export-image", "a.png", "--size", "19999x1"});
    EXPECT_EQ(largest.kind, CommandLine::Kind::Run);
    EXPECT_EQ(largest.options.width, 19999);
}

TEST(CommandLineTest, ActionOptionsMustFitTogether)
{
    EXPECT_EQ(usageError({"--size", "10x10"}),
              "'--size' needs '--export-image', '--export-sequence', '--export-video' or '--timedemo'");
    const CommandLine timedemo = parse({"--timedemo", "--size", "1280x720", "--impostors", "--impostor-pixels", "48"});
    EXPECT_EQ(timedemo.kind, CommandLine::Kind::Run);
    EXPECT_EQ(timedemo.options.width, 1280);
    EXPECT_EQ(timedemo.options.height, 720);
    EXPECT_EQ(timedemo.options.impostorPixels, 48u);
    EXPECT_EQ(timedemo.options.menuChoices, (std::vector<MenuChoice>{{kImpostorsId, true}}));
    EXPECT_EQ(usageError({"--impostor-pixels", "0"}).substr(0, 35), "invalid value '0' for '--impostor-p");
    EXPECT_EQ(usageError({"--export-image", "a.png", "--frames", "3"}),
              "'--frames' needs '--export-sequence', '--export-video' or '--timedemo'");
    EXPECT_EQ(parse({"--timedemo", "--frames", "3"}).options.frames, 3);
    EXPECT_EQ(usageError({"--export-image", "a.png", "--first-frame", "3"}),
              "'--first-frame' needs '--export-sequence' or '--export-video'");
    EXPECT_EQ(usageError({"--export-sequence", "a.png", "--fps", "25"}), "'--fps' needs '--export-video'");
    EXPECT_EQ(usageError({"--export-video="}), "the video path must not be empty");
    EXPECT_NE(usageError({"--export-video", "a.mp4", "--export-sequence", "a.png"}).find("cannot be combined"),
              std::string::npos);
    EXPECT_EQ(usageError({"--export-video", "a.mp4", "--first-frame", "-1"}).substr(0, 38),
              "invalid value '-1' for '--first-frame'");
    EXPECT_EQ(usageError({"--export-video", "a.mp4", "--first-frame", "1000000000"}).substr(0, 46),
              "invalid value '1000000000' for '--first-frame'");
    EXPECT_EQ(usageError({"--frames", "0", "--export-sequence", "a.png"}).substr(0, 33),
              "invalid value '0' for '--frames' ");
    EXPECT_NE(usageError({"--export-image", "a.png", "--timedemo"}).find("cannot be combined"), std::string::npos);
    EXPECT_EQ(usageError({"--export-image"}), "option '--export-image' needs a value");
    EXPECT_EQ(usageError({"--export-image="}), "the image path must not be empty");
    // The same action twice: the last path wins.
    EXPECT_EQ(parse({"--export-image", "a.png", "--export-image", "b.png"}).options.outputPath, "b.png");
}

// Frame rates are plain decimals above 0 and at most 1000; everything strtod would also take
// (signs, exponents, white space, "inf", "nan", hexadecimal) is refused.
TEST(CommandLineTest, FrameRatesArePlainDecimalsInRange)
{
    const std::vector<std::pair<std::string, double>> good = {
        {"30", 30}, {"29.97", 29.97}, {"23.976", 23.976}, {"1000", 1000}, {"0.5", 0.5}, {".5", 0.5}, {"60.", 60}};
    for (const auto& [text, rate] : good) {
        EXPECT_EQ(parseFrameRate(text), rate) << text;
        EXPECT_EQ(parse({"--export-video", "a.mp4", "--fps", text}).options.framesPerSecond, rate) << text;
    }
    for (const std::string text : {"", "0", "0.0", "1000.01", "-30", "+30", "3e1", " 30", "30 ", "inf", "nan", "0x1e",
                                    "30fps", "2.9.97", ".", "99999999999999"}) {
        EXPECT_FALSE(parseFrameRate(text)) << "'" << text << "'";
        EXPECT_EQ(usageError({"--export-video", "a.mp4", "--fps", text}).rfind("invalid value '" + text + "' for '--fps'", 0), 0u)
            << text;
    }
}
