#include "SampleAnimals.h"

#include "GLTestWindow.h"
#include "TempDirectory.h"
#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"
#include "skin/BinarySkinWriter.h"

#include <algorithm>
#include <sstream>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::shared_ptr<Skin>> load(const fs::path& file)
{
    try {
        return loadBinarySkinFile(file.string()).skins;
    } catch (const Exception& e) {
        throw std::runtime_error("cannot read '" + file.string() + "': " + e.message());
    }
}

// The first `count` columns of a matrix.
DenseMatrix leftColumns(const DenseMatrix& m, unsigned count)
{
    count = std::min(count, m.columns());
    DenseMatrix out;
    out.resize(m.rows(), count);
    for (unsigned c = 0; c < count; ++c)
        for (unsigned r = 0; r < m.rows(); ++r) out(r, c) = m(r, c);
    return out;
}

// The first `count` rows.
DenseMatrix topRows(const DenseMatrix& m, unsigned count)
{
    count = std::min(count, m.rows());
    DenseMatrix out;
    out.resize(count, m.columns());
    for (unsigned c = 0; c < m.columns(); ++c)
        for (unsigned r = 0; r < count; ++r) out(r, c) = m(r, c);
    return out;
}

void writeWhiteTexture(const fs::path& path)
{
    const int size = 16;
    GLTestWindow::savePng(path.string(), std::vector<std::uint8_t>(size * size * 3, 255), size, size);
}

} // namespace

const SampleAnimals& sampleAnimals()
{
    static const SampleAnimals animals = [] {
        // Removed when the process ends.
        static const TempDirectory scratch("hw-samples");
        SampleAnimals a;
        a.directory = scratch.path() / "sample";
        a.whiteTextureDirectory = scratch.path() / "white";
        fs::create_directories(a.whiteTextureDirectory);
        const std::string command =
            std::string("'") + FLEXHERD_MKSAMPLE + "' '" + a.directory.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error(std::string("the sample generator failed: ") + command);
        a.quadruped = load(a.directory / "quadruped.bin");
        a.longneck = load(a.directory / "longneck.bin");
        for (const auto* skins : {&a.quadruped, &a.longneck}) {
            const std::string texture = (*skins)[0]->textureFileName();
            if (texture.empty()) throw std::runtime_error("the sample animals are expected to carry textures");
            writeWhiteTexture(a.whiteTextureDirectory / texture);
        }
        return a;
    }();
    return animals;
}

std::shared_ptr<Skin> withCorrections(const Skin& skin, unsigned vertex, unsigned normal, unsigned prt)
{
    SkinRecord r;
    r.name = skin.name();
    r.textureFileName = skin.textureFileName();
    r.triangles = skin.triangles();
    r.positions = skin.restPositions();
    r.normals = skin.restNormals();
    r.textureCoordinates = skin.textureCoordinates();
    r.boundingBox = skin.boundingBox();
    r.frameBoxes = skin.frameBoundingBoxes();
    for (unsigned v = 0; v < skin.vertexCount(); ++v) {
        const auto influences = skin.influences(v);
        r.influences.emplace_back(influences.begin(), influences.end());
    }
    r.bones = skin.bones();
    // Displacement and normal coordinates hold one row per frame, lighting ones one column.
    r.displacementBasis = leftColumns(skin.displacementBasis(), vertex);
    r.displacementCoordinates = leftColumns(skin.displacementCoordinates(), vertex);
    r.normalBasis = leftColumns(skin.normalBasis(), normal);
    r.normalCoordinates = leftColumns(skin.normalCoordinates(), normal);
    r.vertexColors = skin.vertexColors();
    r.meanLighting = skin.meanLighting();
    r.lightingBasis = leftColumns(skin.lightingBasis(), prt);
    r.lightingCoordinates = topRows(skin.lightingCoordinates(), prt);
    std::stringstream bytes;
    writeSkinRecord(bytes, r);
    return std::make_shared<Skin>(bytes);
}
