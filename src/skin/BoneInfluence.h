#pragma once

#include <cstdint>

// One bone's pull on a vertex. The index is 0-based into the skin's bones.
struct BoneInfluence {
    std::int32_t bone = 0;
    float weight = 0.0f;
};
