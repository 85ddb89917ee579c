#include "app/BatchOptions.h"

#include "render/ExportNaming.h"
#include "app/MenuIds.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

struct UsageError {
    std::string message;
};

// Digits only, no sign and no trailing characters: "12x" or "" are not numbers here, unlike
// in the interactive prompts, because a script's typo should stop it rather than go unseen.
std::optional<long> strictNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    return std::stol(text);
}

long numberIn(const std::string& option, const std::string& value, long low, long high)
{
    const std::optional<long> number = strictNumber(value);
    if (!number || *number < low || *number > high)
        throw UsageError{"invalid value '" + value + "' for '" + option + "' (expected a whole number from " +
                         std::to_string(low) + " to " + std::to_string(high) + ")"};
    return *number;
}

int choiceOf(const std::string& option, const std::string& value, const std::vector<std::pair<std::string, int>>& choices)
{
    std::string expected;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].first == value) return choices[i].second;
        expected += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i].first;
    }
    throw UsageError{"invalid value '" + value + "' for '" + option + "' (expected " + expected + ")"};
}

void parseSize(const std::string& value, BatchOptions& options)
{
    const std::size_t x = value.find('x');
    const std::optional<long> width = x == std::string::npos ? std::nullopt : strictNumber(value.substr(0, x));
    const std::optional<long> height = x == std::string::npos ? std::nullopt : strictNumber(value.substr(x + 1));
    if (!width || !height || !isAcceptedImageSide(*width) || !isAcceptedImageSide(*height))
        throw UsageError{"invalid value '" + value + "' for '--size' (expected WIDTHxHEIGHT, each from 1 to " +
                         std::to_string(kMaxImageSide) + ")"};
    options.width = static_cast<int>(*width);
    options.height = static_cast<int>(*height);
}

void setAction(BatchOptions& options, BatchOptions::Action action, const std::string& option)
{
    if (options.action != BatchOptions::Action::None && options.action != action)
        throw UsageError{"'" + option + "' cannot be combined with another action; give one of '--export-image', "
                         "'--export-sequence', '--export-video' and '--timedemo'"};
    options.action = action;
}

} // namespace

std::optional<double> parseFrameRate(const std::string& text)
{
    // Digits with at most one point: no sign, exponent, "inf" or white space, which strtod
    // would also take.
    bool digit = false, point = false;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = true;
        else if (c == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (!digit || text.size() > 12) return std::nullopt;
    const double rate = std::strtod(text.c_str(), nullptr);
    if (!(rate > 0.0) || rate > 1000.0) return std::nullopt;
    return rate;
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine result;
    BatchOptions& options = result.options;
    bool sizeGiven = false;
    try {
        std::size_t i = 0;
        for (; i < arguments.size(); ++i) {
            std::string option = arguments[i];
            if (option == "--") {
                ++i;
                break;
            }
            if (option.size() < 3 || option.compare(0, 2, "--") != 0) break;

            // "--name=value" and "--name value" are the same.
            std::optional<std::string> inlineValue;
            if (const std::size_t equals = option.find('='); equals != std::string::npos) {
                inlineValue = option.substr(equals + 1);
                option.resize(equals);
            }
            const auto flag = [&] {
                if (inlineValue) throw UsageError{"option '" + option + "' takes no value"};
            };
            const auto value = [&]() -> std::string {
                if (inlineValue) return *inlineValue;
                if (i + 1 >= arguments.size()) throw UsageError{"option '" + option + "' needs a value"};
                return arguments[++i];
            };

            if (option == "--help") {
                flag();
                result.kind = CommandLine::Kind::Help;
                return result;
            } else if (option == "--version") {
                flag();
                result.kind = CommandLine::Kind::Version;
                return result;
            } else if (option == "--software") {
                flag();
                options.menuChoices.push_back({kUseVertexProgramId, false});
            } else if (option == "--no-shadows") {
                flag();
                options.menuChoices.push_back({kShadowsId, false});
            } else if (option == "--no-ground") {
                flag();
                options.menuChoices.push_back({kGroundPlaneId, false});
            } else if (option == "--stopped") {
                flag();
                options.menuChoices.push_back({kRunningId, false});
            } else if (option == "--method") {
                options.menuChoices.push_back({choiceOf(option, value(),
                    {{"lists", kDisplayListsId}, {"vbo", kVertexBufferObjectsId}, {"arrays", kVertexArraysId}})});
            } else if (option == "--lighting") {
                options.menuChoices.push_back({choiceOf(option, value(),
                    {{"none", kNoLightingId}, {"opengl", kOpenGLLightingId}, {"prt", kPrtLightingId}})});
            } else if (option == "--geometry") {
                options.menuChoices.push_back({choiceOf(option, value(),
                    {{"boxes", kBoxesId}, {"polys", kPolysId}, {"wireframe", kWireframeId}, {"points", kPointsId}})});
            } else if (option == "--camera") {
                options.menuChoices.push_back({choiceOf(option, value(),
                    {{"perspective", kPerspectiveId}, {"orthographic", kOrthographicId}})});
            } else if (option == "--background") {
                options.menuChoices.push_back({choiceOf(option, value(),
                    {{"white", kWhiteId}, {"light-gray", kLightGrayId}, {"dark-gray", kDarkGrayId},
                     {"blue", kBlueId}, {"black", kBlackId}, {"sky", kSkyId}})});
            } else if (option == "--lod") {
                const std::string level = value();
                if (strictNumber(level)) {
                    options.fixedDetailLevel =
                        static_cast<unsigned>(numberIn(option, level, 0, kRunTimeRangeSize - 1));
                } else if (level == "aggressive" || level == "moderate" || level == "conservative") {
                    options.fixedDetailLevel.reset();
                    options.menuChoices.push_back({level == "aggressive" ? kLodAggressiveId
                                                   : level == "moderate" ? kLodModerateId
                                                                         : kLodConservativeId});
                } else {
                    throw UsageError{"invalid value '" + level + "' for '--lod' (expected aggressive, moderate, "
                                     "conservative or a level number)"};
                }
            } else if (option == "--impostors") {
                flag();
                options.menuChoices.push_back({kImpostorsId, true});
            } else if (option == "--impostor-pixels") {
                options.impostorPixels = static_cast<unsigned>(numberIn(option, value(), 1, 1000));
            } else if (option == "--animals") {
                options.animals = static_cast<unsigned>(numberIn(option, value(), 1, 100000));
            } else if (option == "--seed") {
                options.seed = static_cast<std::int32_t>(numberIn(option, value(), 0, 999999999));
            } else if (option == "--frame") {
                options.frame = static_cast<int>(numberIn(option, value(), 0, INT_MAX / 2));
            } else if (option == "--export-image") {
                setAction(options, BatchOptions::Action::ExportImage, option);
                options.outputPath = value();
            } else if (option == "--export-sequence") {
                setAction(options, BatchOptions::Action::ExportSequence, option);
                options.outputPath = value();
            } else if (option == "--export-video") {
                setAction(options, BatchOptions::Action::ExportVideo, option);
                options.outputPath = value();
            } else if (option == "--fps") {
                const std::string rate = value();
                const std::optional<double> parsed = parseFrameRate(rate);
                if (!parsed)
                    throw UsageError{"invalid value '" + rate + "' for '--fps' (expected a number of frames per "
                                     "second above 0 and at most 1000, such as 30 or 29.97)"};
                options.framesPerSecond = *parsed;
            } else if (option == "--first-frame") {
                options.firstFrame = static_cast<int>(numberIn(option, value(), 0, INT_MAX / 2));
            } else if (option == "--timedemo") {
                flag();
                setAction(options, BatchOptions::Action::Timedemo, option);
            } else if (option == "--size") {
                parseSize(value(), options);
                sizeGiven = true;
            } else if (option == "--headless") {
                flag();
                options.headless = true;
            } else if (option == "--frames") {
                options.frames = static_cast<int>(numberIn(option, value(), 1, kMaxSequenceFrames));
            } else {
                throw UsageError{"unknown option '" + option + "'"};
            }
        }
        options.files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());

        using Action = BatchOptions::Action;
        const bool run = options.action == Action::ExportSequence || options.action == Action::ExportVideo;
        if (options.outputPath.empty() && (options.action == Action::ExportImage || options.action == Action::ExportSequence))
            throw UsageError{"the image path must not be empty"};
        if (options.outputPath.empty() && options.action == Action::ExportVideo)
            throw UsageError{"the video path must not be empty"};
        if (sizeGiven && options.action == Action::None)
            throw UsageError{"'--size' needs '--export-image', '--export-sequence', '--export-video' or '--timedemo'"};
        if (options.frames && !run && options.action != Action::Timedemo)
            throw UsageError{"'--frames' needs '--export-sequence', '--export-video' or '--timedemo'"};
        if (options.firstFrame != 0 && !run)
            throw UsageError{"'--first-frame' needs '--export-sequence' or '--export-video'"};
        if (options.framesPerSecond && options.action != Action::ExportVideo)
            throw UsageError{"'--fps' needs '--export-video'"};
        if (options.headless && !options.batch())
            throw UsageError{"'--headless' needs '--export-image', '--export-sequence', '--export-video' or "
                             "'--timedemo'"};
    } catch (const UsageError& error) {
        result = CommandLine{};
        result.kind = CommandLine::Kind::UsageError;
        result.error = error.message;
    }
    return result;
}

std::string usageText()
{
    return "Usage: flexherd [OPTION]... [--] [FILE]...\n"
           "Shows skinned animals and herds of them. FILEs are opened in order by extension:\n"
           "'.keys' camera keys, '.herd' herd file, '.txt' text skin, anything else binary skin.\n"
           "\n"
           "Settings (as the menu items of the same names):\n"
           "  --software                      uncheck \"Use vertex program\"\n"
           "  --method lists|vbo|arrays       render method\n"
           "  --lighting none|opengl|prt      lighting\n"
           "  --geometry boxes|polys|wireframe|points\n"
           "  --lod aggressive|moderate|conservative|LEVEL\n"
           "  --impostors                     check \"Impostors for distant animals\"\n"
           "  --impostor-pixels N             draw animals less than N pixels tall as\n"
           "                                  impostors (1 to 1000, default 64)\n"
           "  --camera perspective|orthographic\n"
           "  --background white|light-gray|dark-gray|blue|black|sky\n"
           "  --no-shadows                    uncheck \"Shadows\"\n"
           "  --no-ground                     uncheck \"Ground plane\"\n"
           "  --stopped                       uncheck \"&Running\"\n"
           "  --animals N                     show N animals (1 to 100000)\n"
           "  --frame N                       start at animation frame N\n"
           "  --seed N                        lay herds out from seed N (0 to 999999999), the\n"
           "                                  same on every run and machine, instead of at random\n"
           "\n"
           "Actions (run after loading the files, then exit):\n"
           "  --export-image PATH [--size WxH]    one image (default 1440x960)\n"
           "  --export-sequence PATH [--size WxH] [--frames N] [--first-frame K]\n"
           "                                      numbered images (default 720x480, as many\n"
           "                                      frames as the camera animation has, from\n"
           "                                      frame 0; files carry their frame number)\n"
           "  --export-video PATH [--size WxH] [--frames N] [--first-frame K] [--fps F]\n"
           "                                      one video: H.264 in '.mp4' or '.mkv', VP9 in\n"
           "                                      '.webm' (default 1280x720 at 30 frames a second)\n"
           "  --timedemo [--size WxH] [--frames N]\n"
           "                                      play the camera animation as fast as possible\n"
           "                                      and print the frame rate (in a view of WxH\n"
           "                                      pixels, its first N frames, when given)\n"
           "  --headless                          draw without a window system (EGL), as is done\n"
           "                                      anyway when DISPLAY is not set; images are then\n"
           "                                      written as PNG, JPEG, BMP, TGA or PPM\n"
           "\n"
           "  --help                          show this text\n"
           "  --version                       show the version\n"
           "\n"
           "With an action, errors are written to standard error as \"caption: message\".\n"
           "Exit status: 0 success, 1 failure, 2 usage error.\n";
}

std::string optionItemLabel(int id)
{
    switch (id) {
    case kUseVertexProgramId: return "Use vertex program";
    case kShadowsId: return "Shadows";
    case kGroundPlaneId: return "Ground plane";
    case kRunningId: return "Running";
    case kDisplayListsId: return "Display lists";
    case kVertexBufferObjectsId: return "Vertex buffer objects";
    case kVertexArraysId: return "Vertex arrays";
    case kNoLightingId: return "No lighting";
    case kOpenGLLightingId: return "OpenGL lighting";
    case kPrtLightingId: return "Precomputed radiance transfer";
    case kBoxesId: return "Boxes";
    case kPolysId: return "Polys";
    case kWireframeId: return "Wireframe";
    case kPointsId: return "Points";
    case kPerspectiveId: return "Perspective";
    case kOrthographicId: return "Orthographic";
    case kWhiteId: return "White";
    case kLightGrayId: return "Light Gray";
    case kDarkGrayId: return "Dark Gray";
    case kBlueId: return "Blue";
    case kBlackId: return "Black";
    case kSkyId: return "Sky";
    case kLodAggressiveId: return "View-dependent (aggressive)";
    case kLodModerateId: return "View-dependent (moderate)";
    case kLodConservativeId: return "View-dependent (conservative)";
    case kImpostorsId: return "Impostors for distant animals";
    default: return std::to_string(id);
    }
}

bool runsHeadless(const BatchOptions& options, const char* display)
{
    return options.batch() && (options.headless || display == nullptr || *display == '\0');
}

std::string versionText()
{
    // The version the about box names.
    return "flexherd 1.1\n";
}
