// Feeds arbitrary text to the herd file reader, then does what the view does with a loaded
// scene: time, level of detail, more and fewer animals. The reader's checks are what stand
// between a corrupt file and NaN placements or huge grids. Every skin line gets the same
// small in-memory skin, so no disk is touched.
//
// Placing walks end by themselves within about 1,200 tries whatever the scene (the herd
// tests check that against obstacles up to the whole float range), but a try costs three
// draws of the random engine, a modular inverse each, and an input with an animal scaled
// to 1e38 made every walk take that many: the fuzzer ran at 77 inputs a second. Here the
// herds answer at most kQueryBudget collision queries per input and then report every
// place free, which ends the walk at its next try.
#include "HerdTestSkins.h"

#include "foundation/Exception.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/HerdCreator.h"
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

constexpr unsigned kQueryBudget = 16;
// Skin lines after this many end reading as a skin file that cannot be read would: each herd
// costs a few allocations, and 64 KiB of short lines would make thousands.
constexpr unsigned kMaxHerds = 16;
unsigned queriesLeft = 0;

// The viewer's "Round" herd, answering collision queries while the input's budget lasts.
class BudgetedGaussianHerd : public GaussianRandomHerd {
public:
    using GaussianRandomHerd::GaussianRandomHerd;
    bool intersects(const BoundingBox& box) const override
    {
        if (queriesLeft == 0) return false;
        --queriesLeft;
        return GaussianRandomHerd::intersects(box);
    }
};

// The viewer's "Round" herds; the seeded scene hands each its own generator, so that every
// run of an input is the same.
class BudgetedGaussianCreator : public HerdCreator {
public:
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override
    {
        return create(std::move(skin), RandomGenerator(7));
    }
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const override
    {
        return std::make_shared<BudgetedGaussianHerd>(std::move(skin), std::move(random));
    }
    bool equals(const HerdCreator& other) const override
    {
        return dynamic_cast<const BudgetedGaussianCreator*>(&other) != nullptr;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::shared_ptr<Skin> skin = makeSkin();
    queriesLeft = kQueryBudget;
    HerdScene scene(1);
    scene.setHerdCreator(std::make_shared<BudgetedGaussianCreator>());
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        unsigned herds = 0;
        HerdFile::load(scene, in, "fuzz.herd", [&](const std::string& path) {
            // A name the viewer could not open ends reading as a failed skin would.
            if (path.find("missing") != std::string::npos || ++herds > kMaxHerds)
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
    scene.setAnimalCount(total + 1);
    scene.setAnimalCount(total / 2);
    return 0;
}
