#pragma once

#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

class HerdScene;

// A fault of the herd file itself: it cannot be opened, or a line is malformed. A skin file it
// names that cannot be read fails with the skin reader's own exception instead, so that the
// two are reported apart.
class HerdFileException : public IOException {
public:
    using IOException::IOException;
};

// The herd file (".herd"): text, one record per line. A skin line names a skin file and
// starts a herd; each instance line below it ("offset  m00 m01 ... m33", the placement
// transform row by row) is one animal of that herd. Only randomly scattered herds
// (GaussianRandomHerd) are stored, since only they take animals at given places.
//
// Stateless: reads into and writes from a HerdScene, which owns everything made.
class HerdFile {
public:
    // Reads a skin file named by a skin line, as the view opens any skin file: every skin of
    // the file, finest first, and its directory. Throws what the skin readers throw.
    using SkinFileLoader = std::function<SkinFile(const std::string& path)>;

    // Longest line read; the rest of a longer line is ignored and reading stops after it.
    static constexpr std::size_t kMaxLineLength = 9999;
    // Most herds and animals one file may make: ten times the animals the viewer's menus and
    // options offer, and far more animal types than anyone tells apart. Each animal costs
    // about 200 bytes, so a file of any size takes at most about 200 MiB besides its skins.
    static constexpr unsigned kMaxHerds = 256;
    static constexpr unsigned kMaxAnimals = 1000000;

    // One parsed instance line.
    struct InstanceLine {
        std::uint32_t offset = 0;
        std::array<float, 16> transform{};
    };

    // Writes every herd of the scene with the instances as they are now. Throws IOException
    // naming the skin when a herd is not of the stored kind or its skin's file name cannot be
    // written as a skin line, and naming the path when writing fails; a file already at path
    // is replaced only once the new one is complete.
    static void write(const HerdScene& scene, const std::string& path);

    // Replaces the scene's herds by the herd file's, reading skins through the loader. Throws
    // HerdFileException "Unable to open file 'PATH' for reading.\n" when the file cannot be
    // opened (the scene is left alone then), and as read.
    static void load(HerdScene& scene, const std::string& path, const SkinFileLoader& loader);
    // The same from an open stream; path names the file in messages.
    static void load(HerdScene& scene, std::istream& in, const std::string& path, const SkinFileLoader& loader);

    // Reads herd records into the (already cleared) scene, loading skins through the loader,
    // once per skin file named (herds of the same file share its skins). Throws
    // HerdFileException naming the line for a malformed line or one past kMaxHerds herds or
    // kMaxAnimals animals, what the loader throws for a skin file that cannot be read, and
    // CreationException "The file 'PATH' holds no skin." for a skin file without skins. Herds made before stay, and their animals become
    // visible to collision checks.
    static void read(HerdScene& scene, std::istream& in, const std::string& path, const SkinFileLoader& loader);

    // Parses a line that starts with a digit. Throws HerdFileException with the line's message.
    static InstanceLine parseInstanceLine(const std::string& line, int lineNumber, const std::string& path);
};
