// Feeds arbitrary text to the herd file reader, then does what the view does with a loaded
// scene: time, level of detail, more and fewer animals. The reader's checks are what stand
// between a corrupt file and NaN placements, endless placement walks or huge grids. Every
// skin line gets the same small in-memory skin, so no disk is touched.
#include "HerdTestSkins.h"

#include "foundation/Exception.h"
#include "herd/HerdFile.h"
#include "herd/HerdScene.h"
#include "skin/BinarySkinWriter.h"
#include "skin/Skin.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

// An animal-sized box skin with a few frames.
std::shared_ptr<Skin> makeSkin() { return herdtest::animalSkin("fuzz", 4); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::shared_ptr<Skin> skin = makeSkin();
    // The viewer's "Round" herds, seeded, so that every run of an input is the same.
    HerdScene scene(1);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        HerdFile::load(scene, in, "fuzz.herd", [](const std::string& path) {
            // A name the viewer could not open ends reading as a failed skin would.
            if (path.find("missing") != std::string::npos)
                throw CreationException("Unable to open file '" + path + "' for reading.");
            SkinFile file;
            file.skins = {skin, skin};
            return file;
        });
    } catch (const Exception&) {
        // Rejected with a message: the herds read before the bad line stay, as in the viewer.
    }
    scene.setFrame(9, true);
    for (const auto& herd : scene.herds()) {
        herd->setFixedLevel(1);
        herd->update();
        for (unsigned i = 0; i < herd->instanceCount(); ++i) herd->instance(i);
    }
    const unsigned total = scene.totalAnimalCount();
    scene.setAnimalCount(total + 3);
    scene.setAnimalCount(total / 2);
    return 0;
}
