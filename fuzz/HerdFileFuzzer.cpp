// Feeds arbitrary text to the herd file reader, then does what the view does with a loaded
// scene: time, level of detail, more and fewer animals. The reader's checks are what stand
// between a corrupt file and NaN placements, endless placement walks or huge grids. Every
// skin line gets the same small in-memory skin, so no disk is touched.
#include "foundation/Exception.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/HerdCreator.h"
#include "herd/HerdScene.h"
#include "skin/BinarySkinWriter.h"
#include "skin/Skin.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

// An animal-sized box skin with a few frames.
std::shared_ptr<Skin> makeSkin()
{
    SkinRecord r;
    r.name = "fuzz";
    const BoundingBox box({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f});
    for (int corner = 0; corner < 8; ++corner)
        r.positions.push_back({corner & 1 ? box.maximum.x : box.minimum.x, corner & 2 ? box.maximum.y : box.minimum.y,
                               corner & 4 ? box.maximum.z : box.minimum.z});
    r.normals.assign(8, {0, 1, 0});
    r.vertexColors.assign(8, {1, 1, 1});
    r.triangles = {Triangle{{0, 1, 3}}, Triangle{{0, 3, 2}}};
    r.boundingBox = box;
    r.influences.assign(8, {{0, 1.0f}});
    r.bones.resize(1);
    const unsigned frames = 4;
    for (unsigned f = 0; f < frames; ++f) {
        r.bones[0].push_back(AffineTransform{});
        r.frameBoxes.push_back(box);
    }
    r.meanLighting.assign(8, 0.5f);
    r.lightingBasis.resize(8, 1);
    for (unsigned i = 0; i < 8; ++i) r.lightingBasis(i, 0) = 0.1f;
    r.lightingCoordinates.resize(1, frames);
    for (unsigned f = 0; f < frames; ++f) r.lightingCoordinates(0, f) = 1.0f;
    std::ostringstream bytes;
    writeSkinRecord(bytes, r);
    std::istringstream in(bytes.str());
    return std::make_shared<Skin>(in);
}

// The viewer's "Round" herds with a fixed seed, so that every run of an input is the same.
class SeededGaussianCreator : public HerdCreator {
public:
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override
    {
        return std::make_shared<GaussianRandomHerd>(std::move(skin), RandomGenerator(7));
    }
    bool equals(const HerdCreator& other) const override
    {
        return dynamic_cast<const SeededGaussianCreator*>(&other) != nullptr;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::shared_ptr<Skin> skin = makeSkin();
    HerdScene scene(RandomGenerator(1));
    scene.setHerdCreator(std::make_shared<SeededGaussianCreator>());
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        scene.loadHerd(in, "fuzz.herd", [](const std::string& path) {
            BinarySkinFile file;
            // A name the viewer could not open ends reading as a failed skin would.
            if (path.find("missing") != std::string::npos)
                file.failure = LoadFailure{"Error reading skin", "Unable to open file '" + path + "' for reading."};
            else
                file.skins = {skin, skin};
            return file;
        });
    } catch (const IOException&) {
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
