#pragma once

#include "bake/ProxySphere.h"

#include <vector>

// Stand-in balls for the lighting of an arbitrary skinned mesh, a few per bone: the vertices a
// bone pulls hardest form its part; balls sit along the part's long axis (its principal
// component), at most kMaxPerBone, each as large as it can be without swallowing a vertex of
// the rest pose (nine tenths of the distance to the nearest one) and no fatter than the part.
// Each ball follows its bone rigidly. Parts with fewer than four vertices, and balls smaller
// than a fiftieth of the model, are left out: they shade nothing that matters.
std::vector<ProxySphere> fitProxySpheres(const std::vector<Vector3d>& positions,
                                         const std::vector<std::vector<BoneInfluence>>& influences, std::size_t boneCount);

constexpr int kMaxProxiesPerBone = 3;
