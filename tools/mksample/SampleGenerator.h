#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What to generate; the defaults are the shipped samples, tests shrink them for speed.
struct GeneratorOptions {
    // Sampling densities of the levels of detail, finest first.
    std::vector<double> densities{1.0, 0.5, 0.25};
    int frameCount = 48;
    int textureSize = 256;
    int skyWidth = 2048;
    int skyHeight = 1024;
    int flybyFrames = 300;
};

// Writes the sample files into a directory: quadruped.bin and longneck.bin (levels of detail
// with corrections, lighting and shadow skins; the animals face +z, feet on y = 0, walking on
// the spot) with their textures quadruped.png and
// longneck.png; quadruped.txt with quadruped.obj, quadruped.mtl and quadruped.light (the
// finest quadruped level in text form); flyby.keys (a camera flight); sky2048_0247.jpg.
// Everything is seeded, so the same options give the same bytes on every run.
class SampleGenerator {
public:
    explicit SampleGenerator(GeneratorOptions options = {}) : m_options(std::move(options)) {}

    // Creates the directory if needed. Returns one summary line per file written.
    // Throws IOException (or LinearAlgebraException) on failure.
    std::vector<std::string> generate(const std::filesystem::path& directory) const;

    // A picture of the finest level of every animal in `directory` (written before by
    // generate), two views by two frames each, animals one under the other.
    static void writePreview(const std::filesystem::path& directory, const std::filesystem::path& picture);

private:
    GeneratorOptions m_options;
};
