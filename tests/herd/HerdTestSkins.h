#pragma once

#include "foundation/BoundingBox.h"
#include "skin/Skin.h"

#include <filesystem>
#include <memory>
#include <string>

// Skins of a chosen size for the herd tests: placement, collisions and level of detail depend
// only on a skin's overall box and frame count, so a box-shaped mesh serves.
namespace herdtest {

// A box-shaped skin (8 vertices at the corners of `box`) with one bone that holds still over
// `frames` frames, read back through the binary skin reader.
std::shared_ptr<Skin> boxSkin(const std::string& name, unsigned frames, const BoundingBox& box);

// An animal-sized skin: 2 x 1.5 x 0.8 units standing on the ground, centred on x and z.
std::shared_ptr<Skin> animalSkin(const std::string& name = "animal", unsigned frames = 30);

// Writes a skin file of box skins (one record per level) at path; the levels share the box.
void writeBoxSkinFile(const std::filesystem::path& path, const std::string& name, unsigned levels, unsigned frames,
                      const BoundingBox& box);

} // namespace herdtest
