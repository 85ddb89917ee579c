#pragma once

#include "foundation/Matrix3f.h"

// One bone pose: p' = linear * p + translation. Twelve floats, linear part row by row first,
// which is also the layout of a bone transform in the binary skin file.
struct AffineTransform {
    Matrix3f linear = Matrix3f::diagonal(1.0f);
    Vector3f translation;

    constexpr Vector3f apply(const Vector3f& p) const { return linear * p + translation; }
    constexpr bool operator==(const AffineTransform&) const = default;
};

static_assert(sizeof(AffineTransform) == 12 * sizeof(float), "bone transforms are read as raw floats");
