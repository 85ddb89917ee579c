#pragma once

// The six outward-facing quads of an axis-aligned box, as the Boxes geometry mode draws an
// instance in place of its mesh. GL-free so the corner order and normals can be checked alone.

#include "foundation/BoundingBox.h"

#include <array>

struct BoxFace {
    Vector3f normal;
    // Counter-clockwise seen from outside, so back-face culling keeps the faces that face the eye.
    std::array<Vector3f, 4> corners;
};

// For each axis a = x, y, z: the face at the maximum along a (normal +a), then the face at the
// minimum (normal -a). With e1, e2 the box's extents along axes a + 1 and a + 2 (mod 3), the
// maximum face runs base, base + e1, base + e1 + e2, base + e2 from the minimum corner moved to
// the maximum along a, and the minimum face base, base + e2, base + e1 + e2, base + e1 from the
// minimum corner.
std::array<BoxFace, 6> boxFaces(const BoundingBox& box);
