#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The command line of the viewer: options first, then the files to open in order (as the
// open command would). The first argument that is not an option, or "--", ends the options,
// so every later argument is a file even if it starts with "--". Free of the toolkit so it is
// tested without a display; the application applies the result to its menus and view.
//
// Settings options check the same menu items a user would; actions (--export-image,
// --export-sequence, --export-video, --timedemo) run once the files are loaded and then end the program:
// that is batch mode, where error boxes become "caption: message" lines on standard error.

// A menu item to set as a user would click it: radio items are checked, check items set.
struct MenuChoice {
    int id = 0;
    bool checked = true;
    bool operator==(const MenuChoice&) const = default;
};

struct BatchOptions {
    enum class Action { None, ExportImage, ExportSequence, ExportVideo, Timedemo };

    // Menu settings in the order given on the command line.
    std::vector<MenuChoice> menuChoices;
    // "--lod LEVEL": a fixed detail level, applied once the files are loaded (the level items
    // exist only then).
    std::optional<unsigned> fixedDetailLevel;
    std::optional<unsigned> animals;
    // "--impostor-pixels N": the impostor switch height.
    std::optional<unsigned> impostorPixels;
    std::optional<int> frame;
    // "--seed N": herds are laid out from this seed instead of the operating system's random
    // source, so runs on several machines draw the same animals in the same places.
    std::optional<std::int32_t> seed;

    Action action = Action::None;
    // The image, the sequence's name before numbering, or the video.
    std::string outputPath;
    // Unset: the export command's default (1440 x 960 image, 720 x 480 sequence, 1280 x 720
    // video).
    std::optional<int> width;
    std::optional<int> height;
    // Unset: the camera animation's length (the sequence's, or the timedemo's, which plays
    // at most that many).
    std::optional<int> frames;
    // "--first-frame K": a sequence or video starts at animation frame K (its files are
    // numbered by frame number), so a long run can be split into ranges run anywhere.
    int firstFrame = 0;
    // "--fps F" of a video; unset: kDefaultVideoRate.
    std::optional<double> framesPerSecond;

    std::vector<std::string> files;

    // "--headless": run the action without a window system even when an X display is there
    // (it is run so anyway when DISPLAY is unset or empty).
    bool headless = false;

    bool batch() const { return action != Action::None; }
};

struct CommandLine {
    enum class Kind { Run, Help, Version, UsageError };
    Kind kind = Kind::Run;
    // For UsageError: what is wrong, e.g. "unknown option '--fast'".
    std::string error;
    BatchOptions options;
};

// Parses the arguments after the program name. Never throws for any input.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The label of the menu item an option sets (e.g. "Display lists"), as the menus show it;
// the id itself for an item no option sets.
std::string optionItemLabel(int id);

// Whether a batch run with these options draws without a window system: "--headless", or no
// X display named (display is the DISPLAY variable's value, null when unset).
bool runsHeadless(const BatchOptions& options, const char* display);

// The text "--help" prints.
std::string usageText();
// The text "--version" prints (one line).
std::string versionText();

// The video export's defaults, in the window and in batch mode.
constexpr int kDefaultVideoWidth = 1280;
constexpr int kDefaultVideoHeight = 720;
constexpr double kDefaultVideoRate = 30.0;

// What a frame rate prompt or option reads: a decimal number ("30", "29.97", "23.976") above
// 0 and at most 1000, nothing else around it; empty otherwise.
std::optional<double> parseFrameRate(const std::string& text);

// Exit statuses of a batch run.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
