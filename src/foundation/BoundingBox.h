#pragma once

#include "foundation/Vector3f.h"

#include <algorithm>
#include <cfloat>

// Axis-aligned box. The empty box has its minimum at +FLT_MAX and its maximum at -FLT_MAX,
// so growing it by anything yields exactly that thing.
struct BoundingBox {
    Vector3f minimum{FLT_MAX, FLT_MAX, FLT_MAX};
    Vector3f maximum{-FLT_MAX, -FLT_MAX, -FLT_MAX};

    constexpr BoundingBox() = default;
    constexpr BoundingBox(const Vector3f& min_, const Vector3f& max_) : minimum(min_), maximum(max_) {}

    constexpr void reset() { *this = BoundingBox(); }
    constexpr bool isEmpty() const
    {
        return minimum.x > maximum.x || minimum.y > maximum.y || minimum.z > maximum.z;
    }
    constexpr void grow(const Vector3f& p)
    {
        for (int i = 0; i < 3; ++i) {
            minimum[i] = std::min(minimum[i], p[i]);
            maximum[i] = std::max(maximum[i], p[i]);
        }
    }
    constexpr void grow(const BoundingBox& b)
    {
        for (int i = 0; i < 3; ++i) {
            minimum[i] = std::min(minimum[i], b.minimum[i]);
            maximum[i] = std::max(maximum[i], b.maximum[i]);
        }
    }
    constexpr bool operator==(const BoundingBox&) const = default;
};

static_assert(sizeof(BoundingBox) == 6 * sizeof(float), "boxes are read as raw floats");
