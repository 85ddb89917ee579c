#include "SampleDirectory.h"

#include "SampleGenerator.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

const std::filesystem::path& sampleDirectory()
{
    static const std::filesystem::path directory = [] {
        if (const char* fixture = std::getenv("FLEXHERD_MKSAMPLE_DIR"))
            if (std::filesystem::exists(std::filesystem::path(fixture) / "quadruped.bin")) return std::filesystem::path(fixture);
        // Removed when the process ends.
        static const TempDirectory owned("mksample-test");
        SampleGenerator().generate(owned.path());
        SampleGenerator::writePreview(owned.path(), owned.path() / "preview.png");
        return owned.path();
    }();
    return directory;
}

std::string readFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SkinRecord recordOf(const Skin& skin)
{
    SkinRecord r;
    r.name = skin.name();
    r.textureFileName = skin.textureFileName();
    r.triangles = skin.triangles();
    r.positions = skin.restPositions();
    r.normals = skin.restNormals();
    r.textureCoordinates = skin.textureCoordinates();
    r.boundingBox = skin.boundingBox();
    for (unsigned v = 0; v < skin.vertexCount(); ++v) {
        const auto influences = skin.influences(v);
        r.influences.emplace_back(influences.begin(), influences.end());
    }
    r.bones = skin.bones();
    r.displacementBasis = skin.displacementBasis();
    r.displacementCoordinates = skin.displacementCoordinates();
    r.normalBasis = skin.normalBasis();
    r.normalCoordinates = skin.normalCoordinates();
    r.vertexColors = skin.vertexColors();
    r.meanLighting = skin.meanLighting();
    r.lightingBasis = skin.lightingBasis();
    r.lightingCoordinates = skin.lightingCoordinates();
    return r;
}
