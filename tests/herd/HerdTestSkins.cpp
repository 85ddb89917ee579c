#include "HerdTestSkins.h"

#include "SkinRecordFixtures.h"

#include <sstream>

namespace herdtest {

namespace {

SkinRecord boxRecord(const std::string& name, unsigned frames, const BoundingBox& box)
{
    SkinRecord r;
    r.name = name;
    for (int corner = 0; corner < 8; ++corner)
        r.positions.push_back({corner & 1 ? box.maximum.x : box.minimum.x, corner & 2 ? box.maximum.y : box.minimum.y,
                               corner & 4 ? box.maximum.z : box.minimum.z});
    r.normals.assign(8, {0, 1, 0});
    r.vertexColors.assign(8, {1, 1, 1});
    r.triangles = {Triangle{{0, 1, 3}}, Triangle{{0, 3, 2}}, Triangle{{4, 5, 7}}, Triangle{{4, 7, 6}}};
    r.boundingBox = box;
    r.influences.assign(8, {{0, 1.0f}});
    r.bones.resize(1);
    for (unsigned f = 0; f < frames; ++f) {
        r.bones[0].push_back(AffineTransform{});
        r.frameBoxes.push_back(box);
    }
    r.meanLighting.assign(8, 0.5f);
    r.lightingBasis.resize(8, 1);
    for (unsigned i = 0; i < 8; ++i) r.lightingBasis(i, 0) = 0.1f;
    r.lightingCoordinates.resize(1, frames);
    for (unsigned f = 0; f < frames; ++f) r.lightingCoordinates(0, f) = 1.0f;
    return r;
}

} // namespace

std::shared_ptr<Skin> boxSkin(const std::string& name, unsigned frames, const BoundingBox& box)
{
    std::istringstream in(fixtures::bytesOf({boxRecord(name, frames, box)}));
    return std::make_shared<Skin>(in);
}

std::shared_ptr<Skin> animalSkin(const std::string& name, unsigned frames)
{
    return boxSkin(name, frames, BoundingBox({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f}));
}

void writeBoxSkinFile(const std::filesystem::path& path, const std::string& name, unsigned levels, unsigned frames,
                      const BoundingBox& box)
{
    std::vector<SkinRecord> records;
    for (unsigned level = 0; level < levels; ++level)
        records.push_back(boxRecord(name + "-" + std::to_string(level), frames, box));
    writeSkinFile(path, records);
}

} // namespace herdtest
