#include "herd/BoxRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

const BoundingBox kUnit({0, 0, 0}, {1, 1, 1});

BoundingBox shifted(const BoundingBox& box, int axis, float by)
{
    BoundingBox result = box;
    result.minimum[axis] += by;
    result.maximum[axis] += by;
    return result;
}

// The box of the eight corners, each transformed on its own: the rule written out plainly.
BoundingBox cornerBox(const BoundingBox& box, const Matrix4f& m)
{
    BoundingBox result;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3f p(corner & 1 ? box.maximum.x : box.minimum.x, corner & 2 ? box.maximum.y : box.minimum.y,
                         corner & 4 ? box.maximum.z : box.minimum.z);
        const Vector4f q = m * Vector4f(p, 1.0f);
        result.grow(Vector3f(q.x, q.y, q.z));
    }
    return result;
}

} // namespace

TEST(BoxRules, OverlapHonoursTheToleranceOnEveryAxisAndBothSides)
{
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        {
            // A gap of 0.15 is inside the tolerance, 0.25 is not.
            EXPECT_TRUE(overlap(kUnit, shifted(kUnit, axis, 1.15f), kCollisionTolerance));
            EXPECT_FALSE(overlap(kUnit, shifted(kUnit, axis, 1.25f), kCollisionTolerance));
        }
        {
            // The same gap on the other side.
            EXPECT_TRUE(overlap(kUnit, shifted(kUnit, axis, -1.15f), kCollisionTolerance));
            EXPECT_FALSE(overlap(kUnit, shifted(kUnit, axis, -1.25f), kCollisionTolerance));
        }
        {
            // Without tolerance only real contact counts; touching faces do.
            EXPECT_TRUE(overlap(kUnit, shifted(kUnit, axis, 1.0f), 0.0f));
            EXPECT_FALSE(overlap(kUnit, shifted(kUnit, axis, 1.01f), 0.0f));
        }
    }
    {
        // Close on two axes is not enough when the third keeps them apart.
        BoundingBox apart = shifted(shifted(kUnit, 0, 0.5f), 1, 0.5f);
        apart = shifted(apart, 2, 3.0f);
        EXPECT_FALSE(overlap(kUnit, apart, kCollisionTolerance));
    }
    {
        // Containment overlaps both ways.
        const BoundingBox inner({0.4f, 0.4f, 0.4f}, {0.6f, 0.6f, 0.6f});
        EXPECT_TRUE(overlap(kUnit, inner, 0.0f));
        EXPECT_TRUE(overlap(inner, kUnit, 0.0f));
    }
}

TEST(BoxRules, EmptyAndNaNBoxesOverlapNothing)
{
    const BoundingBox empty;
    EXPECT_FALSE(overlap(empty, kUnit, kCollisionTolerance));
    EXPECT_FALSE(overlap(kUnit, empty, kCollisionTolerance));
    EXPECT_FALSE(overlap(empty, empty, kCollisionTolerance));
    // Empty on one axis only is still empty.
    const BoundingBox flatInverted({0, 1, 0}, {1, 0, 1});
    EXPECT_FALSE(overlap(flatInverted, kUnit, 100.0f));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const BoundingBox broken({nan, 0, 0}, {nan, 1, 1});
    EXPECT_FALSE(overlap(broken, kUnit, kCollisionTolerance));
    EXPECT_FALSE(overlap(kUnit, broken, kCollisionTolerance));
}

TEST(BoxRules, GrowMovesEverySideAndKeepsEmptyBoxesEmpty)
{
    const BoundingBox grown = grow(kUnit, 0.5f);
    EXPECT_EQ(grown, BoundingBox({-0.5f, -0.5f, -0.5f}, {1.5f, 1.5f, 1.5f}));
    EXPECT_TRUE(grow(BoundingBox(), 0.5f).isEmpty());
    EXPECT_EQ(grow(BoundingBox(), 0.5f), BoundingBox());
}

TEST(BoxRules, TransformBoxFollowsTheTransform)
{
    const BoundingBox box({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f});
    {
        // A quarter turn about y swaps the x and z extents.
        const BoundingBox turned = transformBox(box, Matrix4f::rotation({0, 1, 0}, std::numbers::pi_v<float> / 2));
        EXPECT_NEAR(turned.maximum.x - turned.minimum.x, 0.8f, 1e-5f);
        EXPECT_NEAR(turned.maximum.z - turned.minimum.z, 2.0f, 1e-5f);
        EXPECT_NEAR(turned.maximum.y - turned.minimum.y, 1.5f, 1e-5f);
    }
    {
        // The translation sits at elements 3, 7 and 11. 30 - 0.4f rounds to within an ulp
        // (2e-6) of 29.6f, not necessarily onto it.
        const BoundingBox moved = transformBox(box, Matrix4f::translation({10, 20, 30}));
        const BoundingBox expected({9.0f, 20.0f, 29.6f}, {11.0f, 21.5f, 30.4f});
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(moved.minimum[k], expected.minimum[k], 4e-6f) << k;
            EXPECT_NEAR(moved.maximum[k], expected.maximum[k], 4e-6f) << k;
        }
    }
    {
        // No divide by w: a projective last row leaves the first three components alone.
        Matrix4f m = Matrix4f::identity();
        m(3, 2) = -1.0f;
        m(3, 3) = 0.0f;
        EXPECT_EQ(transformBox(box, m), box);
    }
    {
        EXPECT_EQ(transformBox(BoundingBox(), Matrix4f::translation({1, 2, 3})), BoundingBox());
    }
}

TEST(BoxRules, TransformBoxMatchesTheCornerByCornerBoxExactly)
{
    // Exact by construction, not by luck: both paths round the same products and add them in
    // the same order (the build forbids fusing a product and a sum into one rounding), and
    // rounding never reverses an order, so the smallest sum is the sum of the smallest terms.
    // A build that contracts into fused multiply-adds fails here, as it should: its boxes would
    // differ between processors with and without FMA.
    // Mixed signs, shear and scale: every term picks its own corner.
    Matrix4f m = Matrix4f::rotation(Vector3f(1, 2, 3).normalized(), 0.7f) * Matrix4f::scaling({1.5f, -0.25f, 3.0f});
    m(0, 1) += 0.3f;
    m(2, 0) -= 1.1f;
    m = Matrix4f::translation({-7.25f, 0.125f, 1000.5f}) * m;
    const BoundingBox boxes[] = {BoundingBox({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f}),
                                 BoundingBox({3.3f, -2.2f, 1.1f}, {3.4f, 5.5f, 9.9f}),
                                 BoundingBox({-1e4f, -1e-3f, 7.0f}, {1e4f, 1e-3f, 7.0f})};
    for (const BoundingBox& box : boxes) EXPECT_EQ(transformBox(box, m), cornerBox(box, m));
}

TEST(BoxRules, BoxExtentIsZeroForAnEmptyBox)
{
    EXPECT_FLOAT_EQ(boxExtent(BoundingBox({-1, 0, 2}, {1, 5, 2.5f}), 0), 2.0f);
    EXPECT_FLOAT_EQ(boxExtent(BoundingBox({-1, 0, 2}, {1, 5, 2.5f}), 2), 0.5f);
    EXPECT_EQ(boxExtent(BoundingBox(), 0), 0.0f);
}
