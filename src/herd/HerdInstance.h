#pragma once

#include "foundation/BoundingBox.h"
#include "foundation/Matrix4f.h"

#include <cstdint>

// One animal as a herd reports it: the animation frame it shows, where it stands (a row-major
// transform applied to column vectors, translation at elements 3, 7 and 11) and the box that
// encloses it in the space the transform maps into. A plain value, copied freely; renderers
// cull by the box and draw the frame under the transform.
struct HerdInstance {
    std::uint32_t frame = 0;
    Matrix4f transform = Matrix4f::identity();
    BoundingBox box;
};
