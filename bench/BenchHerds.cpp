#include "BenchHerds.h"

#include "GLTestWindow.h"
#include "TestSkins.h"

#include "foundation/Exception.h"
#include "foundation/Matrix4f.h"
#include "skin/BinarySkinLoader.h"
#include "skin/Skin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path& scratchDirectory()
{
    static fs::path directory;
    return directory;
}

BenchAnimal makeBenchAnimal(const std::string& scratchPrefix, bool textured)
{
    BenchAnimal result;
    const fs::path directory = fs::temp_directory_path() / (scratchPrefix + "-" + std::to_string(::getpid()));
    fs::create_directories(directory);
    scratchDirectory() = directory;
#ifdef FLEXHERD_MKSAMPLE
    const char* fixtureOnly = std::getenv("FLEXHERD_BENCH_FIXTURE");
    const std::string command = std::string("'") + FLEXHERD_MKSAMPLE + "' '" + directory.string() + "' >/dev/null 2>&1";
    if (!(fixtureOnly && *fixtureOnly) && std::system(command.c_str()) == 0 && fs::exists(directory / "quadruped.bin")) {
        SkinFile file;
        try {
            file = loadBinarySkinFile((directory / "quadruped.bin").string());
        } catch (const Exception&) {
            // The fixture skin stands in.
        }
        if (!file.skins.empty() && file.skins[0]->frameCount() > 0) {
            result.skin = file.skins[0];
            result.directory = file.directory.string();
            result.description = "sample quadruped";
            return result;
        }
    }
#endif
    SphereOptions options;
    options.segments = 50;
    options.rings = 51;
    options.frames = 40;
    options.flatLighting = false;
    options.prtBasis = true;
    if (textured) {
        options.textureFileName = "sphere.png";
        GLTestWindow::savePng((directory / "sphere.png").string(), std::vector<std::uint8_t>(64 * 64 * 3, 200), 64, 64);
        result.directory = directory.string();
    }
    result.skin = skinOf(sphereRecord("sphere", options));
    result.description = "fixture sphere (no sample quadruped available)";
    return result;
}

} // namespace

const BenchAnimal& benchAnimal(const std::string& scratchPrefix, bool textured)
{
    static const BenchAnimal animal = makeBenchAnimal(scratchPrefix, textured);
    return animal;
}

void removeBenchAnimalScratch()
{
    if (!scratchDirectory().empty()) {
        std::error_code ignored;
        fs::remove_all(scratchDirectory(), ignored);
    }
}

float gridSpacing(const Skin& skin)
{
    const BoundingBox box = skin.boundingBox();
    const Vector3f size = box.maximum - box.minimum;
    return 1.3f * std::max({size.x, size.y, size.z});
}

std::shared_ptr<SimpleHerd> makeGridHerd(const std::shared_ptr<Skin>& skin, unsigned n)
{
    auto herd = std::make_shared<SimpleHerd>(skin);
    const unsigned side = static_cast<unsigned>(std::ceil(std::sqrt(double(n))));
    const unsigned frames = std::max(1u, skin->frameCount());
    const float spacing = gridSpacing(*skin);
    const BoundingBox box = skin->boundingBox();
    const Vector3f centre = (box.minimum + box.maximum) * 0.5f;
    for (unsigned i = 0; i < n; ++i) {
        HerdInstance instance;
        instance.frame = i % frames;
        const Vector3f at{(float(i % side) - 0.5f * float(side - 1)) * spacing, 0,
                          (float(i / side) - 0.5f * float(side - 1)) * spacing};
        instance.transform = Matrix4f::translation(at - centre);
        instance.box = BoundingBox(box.minimum + at - centre, box.maximum + at - centre);
        herd->append(instance);
    }
    return herd;
}
