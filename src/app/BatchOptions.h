#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of the viewer: options first, then the files to open in order (as the
// open command would). The first argument that is not an option, or "--", ends the options,
// so every later argument is a file even if it starts with "--". Free of the toolkit so it is
// tested without a display; the application applies the result to its menus and view.
//
// Settings options check the same menu items a user would; actions (--export-image,
// --export-sequence, --timedemo) run once the files are loaded and then end the program:
// that is batch mode, where error boxes become "caption: message" lines on standard error.

// A menu item to set as a user would click it: radio items are checked, check items set.
struct MenuChoice {
    int id = 0;
    bool checked = true;
    bool operator==(const MenuChoice&) const = default;
};

struct BatchOptions {
    enum class Action { None, ExportImage, ExportSequence, Timedemo };

    // Menu settings in the order given on the command line.
    std::vector<MenuChoice> menuChoices;
    // "--lod LEVEL": a fixed detail level, applied once the files are loaded (the level items
    // exist only then).
    std::optional<unsigned> fixedDetailLevel;
    std::optional<unsigned> animals;
    // "--impostor-pixels N": the impostor switch height.
    std::optional<unsigned> impostorPixels;
    std::optional<int> frame;

    Action action = Action::None;
    // The image, or the sequence's name before numbering.
    std::string outputPath;
    // Unset: the export command's default (1440 x 960 image, 720 x 480 sequence).
    std::optional<int> width;
    std::optional<int> height;
    // Unset: the camera animation's length (the sequence's, or the timedemo's, which plays
    // at most that many).
    std::optional<int> frames;

    std::vector<std::string> files;

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

// The text "--help" prints.
std::string usageText();
// The text "--version" prints (one line).
std::string versionText();

// Exit statuses of a batch run.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
