#pragma once

#include <optional>
#include <string>
#include <vector>

// A signed coordinate axis of a model file: where its up or forward points.
struct AxisDirection {
    int axis = 1; // 0 = x, 1 = y, 2 = z
    int sign = 1; // +1 or -1

    bool operator==(const AxisDirection&) const = default;
    // "+x", "-y", ...
    std::string text() const;
    // "x", "+x", "-x" (and y, z, upper case too); nullopt for anything else.
    static std::optional<AxisDirection> parse(const std::string& text);
};

// How a model is turned into skins; the defaults are what the viewer uses.
struct ImportOptions {
    int levels = 3;         // levels of detail, each with about a quarter of the triangles
    int corrections = 8;    // displacement and normal correction vectors per level
    int prt = 16;           // PRT lighting vectors per level
    bool shadow = true;     // a shadow skin as each level's next skin
    double fps = 30.0;      // animation sampling rate
    std::string animation;  // name or index; empty = the first animation
    std::optional<AxisDirection> up;      // the file's up axis, overriding what the file says
    std::optional<AxisDirection> forward; // the file's forward axis, the same
    std::optional<double> scale;          // metres per file unit, overriding the file's unit
    unsigned threads = 0;                 // threads for the bakers (0: one per processor)

    // The command-line arguments that give these options (defaults left out), as
    // flexherd-import takes them after MODEL OUT.bin.
    std::vector<std::string> arguments() const;
};

// Reads one option of flexherd-import at args[i] (advancing i past its value). Returns false
// when args[i] is not an import option; throws std::invalid_argument with a usage message for
// a missing or bad value ("--levels needs a whole number from 1 to 8").
bool parseImportOption(const std::vector<std::string>& args, std::size_t& i, ImportOptions& options);

// The option lines of --help.
const char* importOptionsHelp();
