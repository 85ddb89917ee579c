#pragma once

#include "foundation/Vector3d.h"
#include "skin/Skin.h"

#include <vector>

// A ball inside the body, skinned like the surface around it: the stand-in for the posed
// body when the lighting asks how much of the sky a vertex sees.
struct ProxySphere {
    Vector3d centre;
    double radius = 0.0;
    std::vector<BoneInfluence> influences;
};
