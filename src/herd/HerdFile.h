#pragma once

#include "herd/HerdScene.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

// The herd file (".herd"): text, one record per line. A skin line names a skin file and
// starts a herd; each instance line below it ("offset  m00 m01 ... m33", the placement
// transform row by row) is one animal of that herd. Only randomly scattered herds
// (GaussianRandomHerd) are stored, since only they take animals at given places.
//
// Stateless: reads into and writes from a HerdScene, which owns everything made.
class HerdFile {
public:
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

    // Reads herd records into the (already cleared) scene, loading skins through the loader,
    // once per skin file named (herds of the same file share its skins). Throws IOException
    // naming the line for a malformed line or one past kMaxHerds herds or kMaxAnimals animals;
    // returns the failure of a skin file that ended reading early. Herds made before either
    // stay, and their animals become visible to collision checks.
    static std::optional<LoadFailure> read(HerdScene& scene, std::istream& in, const std::string& path,
                                           const HerdScene::SkinFileLoader& loader);

    // Parses a line that starts with a digit. Throws IOException with the line's message.
    static InstanceLine parseInstanceLine(const std::string& line, int lineNumber, const std::string& path);
};
