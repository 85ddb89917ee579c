#include "herd/BoxRules.h"

bool overlap(const BoundingBox& a, const BoundingBox& b, float tolerance)
{
    if (a.isEmpty() || b.isEmpty()) return false;
    // Written as "close enough on every axis" rather than "not apart on any axis": the two
    // agree for numbers, but comparisons with NaN are false, and this way a NaN box touches
    // nothing instead of everything (which would make placing herds retry forever).
    for (int i = 0; i < 3; ++i) {
        const bool near = a.maximum[i] + tolerance >= b.minimum[i] && a.minimum[i] <= b.maximum[i] + tolerance;
        if (!near) return false;
    }
    return true;
}

BoundingBox grow(const BoundingBox& box, float d)
{
    if (box.isEmpty()) return box;
    BoundingBox result = box;
    for (int i = 0; i < 3; ++i) {
        result.minimum[i] -= d;
        result.maximum[i] += d;
    }
    return result;
}

BoundingBox transformBox(const BoundingBox& box, const Matrix4f& m)
{
    if (box.isEmpty()) return box;
    // Each output coordinate is a sum of one term per input axis plus the translation, and
    // every term picks its own corner coordinate independently; so the extreme corner is found
    // per term. Rounding is monotonic, so this gives exactly the corner-by-corner result with a
    // third of the work (this runs for every instance on every frame).
    BoundingBox result;
    for (int r = 0; r < 3; ++r) {
        float lo[3], hi[3];
        for (int c = 0; c < 3; ++c) {
            const float e = m(r, c);
            const float p = e * box.minimum[c];
            const float q = e * box.maximum[c];
            lo[c] = p < q ? p : q;
            hi[c] = p < q ? q : p;
        }
        result.minimum[r] = lo[0] + lo[1] + lo[2] + m(r, 3);
        result.maximum[r] = hi[0] + hi[1] + hi[2] + m(r, 3);
    }
    return result;
}

float boxExtent(const BoundingBox& box, int axis)
{
    if (box.isEmpty()) return 0.0f;
    return box.maximum[axis] - box.minimum[axis];
}
