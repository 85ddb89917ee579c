#pragma once

#include "foundation/Vector3d.h"
#include "skin/BinarySkinWriter.h"
#include "skin/Skin.h"

#include <memory>
#include <vector>

// Measurements taken through the project's own Skin class, so that the figures the generator
// prints (and the tests check) are what the viewer will actually show.

// Writes the record to memory and reads it back as a Skin (which also validates it).
std::unique_ptr<Skin> readBackSkin(const SkinRecord& record);

// A copy of the record keeping only the first k displacement and normal corrections.
SkinRecord withCorrections(const SkinRecord& record, unsigned k);

// Dual-quaternion skinning of every frame of a skin from its own rest pose, influences and
// (rigid) bone transforms: positions per frame.
std::vector<std::vector<Vector3d>> dualQuaternionReference(const Skin& skin);

// Root mean square distance, over all vertices and frames, between the skin's evaluated
// frames and `reference`.
double positionRms(const Skin& skin, const std::vector<std::vector<Vector3d>>& reference);
