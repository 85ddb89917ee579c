#pragma once

#include "foundation/BoundingBox.h"
#include "foundation/Matrix4f.h"

// The culling transform: projection x modelview (row-major, column vectors) captured once per
// draw, against which every instance's box is tested before any per-instance work. A plain
// value; the GL layer builds it from the current GL matrices, tests from any matrices.
class ViewFrustumTest {
public:
    // Culls against clip * p; clip is projection x modelview.
    explicit ViewFrustumTest(const Matrix4f& clip) : m_clip(clip) {}
    ViewFrustumTest(const Matrix4f& modelview, const Matrix4f& projection) : m_clip(projection * modelview) {}

    // True when all eight corners of the box lie beyond one and the same clip plane, so none
    // of it can be seen. Boxes straddling a plane, or with corners behind the eye, are kept
    // unless they are wholly beyond one plane. An empty box is outside.
    bool isOutside(const BoundingBox& box) const { return isOutside(m_clip, box); }

    // The same test as a pure function of the culling transform and the box.
    static bool isOutside(const Matrix4f& clip, const BoundingBox& box);

    const Matrix4f& clip() const { return m_clip; }

private:
    Matrix4f m_clip;
};
