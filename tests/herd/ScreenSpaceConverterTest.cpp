#include "render/MatrixScreenSpaceConverter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// glFrustum(-1, 1, -1, 1, 1, 100) as a row-major matrix.
Matrix4f frustum()
{
    Matrix4f m;
    m(0, 0) = 1.0f;
    m(1, 1) = 1.0f;
    m(2, 2) = -101.0f / 99.0f;
    m(2, 3) = -200.0f / 99.0f;
    m(3, 2) = -1.0f;
    return m;
}

} // namespace

TEST(MatrixScreenSpaceConverter, ProjectsLikeGluProject)
{
    const Viewport viewport{10, 20, 640, 480};
    const Matrix4f modelview = Matrix4f::translation({0, 0, -10});
    MatrixScreenSpaceConverter converter(modelview, frustum(), viewport);
    {
        // On the axis: the viewport's centre.
        const Vector3d centre = converter.project({0, 0, 0});
        EXPECT_NEAR(centre.x, 10 + 320, 1e-9);
        EXPECT_NEAR(centre.y, 20 + 240, 1e-9);
    }
    {
        // (5, -2.5, 0) lies 10 in front of the eye: ndc (0.5, -0.25).
        const Vector3d p = converter.project({5, -2.5, 0});
        EXPECT_NEAR(p.x, 10 + 640 * 0.75, 1e-4);
        EXPECT_NEAR(p.y, 20 + 480 * 0.375, 1e-4);
        // Depth: ndc z = (101 * 10 - 200) / (99 * 10), window z = (ndc + 1) / 2.
        EXPECT_NEAR(p.z, ((1010.0 - 200.0) / 990.0 + 1.0) / 2.0, 1e-6);
    }
    {
        // On the eye plane w = 0: no projection.
        EXPECT_TRUE(std::isnan(converter.project({1, 1, 10}).x));
    }
}

TEST(MatrixScreenSpaceConverter, UnprojectInvertsProject)
{
    const Matrix4f modelview = Matrix4f::translation({1, -2, -30}) * Matrix4f::rotation({0, 1, 0}, 0.6f);
    MatrixScreenSpaceConverter converter(modelview, frustum(), Viewport{0, 0, 800, 600});
    for (const Vector3d p : {Vector3d(0, 0, 0), Vector3d(3, 4, -5), Vector3d(-7, 0.5, 2)}) {
        const Vector3d back = converter.unproject(converter.project(p));
        EXPECT_NEAR(back.x, p.x, 1e-4);
        EXPECT_NEAR(back.y, p.y, 1e-4);
        EXPECT_NEAR(back.z, p.z, 1e-4);
    }
    MatrixScreenSpaceConverter singular(Matrix4f(), frustum(), Viewport{0, 0, 800, 600});
    EXPECT_TRUE(std::isnan(singular.unproject({1, 2, 0.5}).x));
}

TEST(MatrixScreenSpaceConverter, BoxRectangleEnclosesTheProjectedCorners)
{
    const Viewport viewport{0, 0, 400, 200};
    const Matrix4f modelview = Matrix4f::translation({0.5f, 0, -12}) * Matrix4f::rotation({0, 1, 0}, 0.4f);
    MatrixScreenSpaceConverter converter(modelview, frustum(), viewport);
    const BoundingBox box({-1, 0, -0.4f}, {1, 1.5f, 0.4f});
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3d w = converter.project({corner & 1 ? 1.0 : -1.0, corner & 2 ? 1.5 : 0.0, corner & 4 ? 0.4 : -0.4});
        const double nx = w.x / 400 * 2 - 1, ny = w.y / 200 * 2 - 1;
        minX = std::min(minX, nx), maxX = std::max(maxX, nx);
        minY = std::min(minY, ny), maxY = std::max(maxY, ny);
    }
    const NdcRectangle r = converter.boxRectangle(box);
    EXPECT_NEAR(r.minX, minX, 1e-9);
    EXPECT_NEAR(r.maxX, maxX, 1e-9);
    EXPECT_NEAR(r.minY, minY, 1e-9);
    EXPECT_NEAR(r.maxY, maxY, 1e-9);
    EXPECT_NEAR(r.area(), (maxX - minX) * (maxY - minY), 1e-8);
    EXPECT_EQ(converter.boxRectangle(BoundingBox()).area(), 0.0);
}

// The apparent height against an upright segment of the box's height at its centre, turned to
// face the eye (along the camera's up vector, which keeps the segment at the centre's depth),
// projected through project(): the same height, from a camera looking down at a long box
// whose rectangle is far taller.
TEST(MatrixScreenSpaceConverter, ApparentHeightIsThatOfTheBoxHeightFacingTheEyeAtItsCentre)
{
    const Viewport viewport{0, 0, 400, 300};
    for (const float tilt : {0.0f, 0.5f, 1.2f}) {
        SCOPED_TRACE(tilt);
        const Matrix4f modelview = Matrix4f::translation({0.3f, -0.2f, -15}) * Matrix4f::rotation({1, 0, 0}, tilt) *
                                   Matrix4f::rotation({0, 1, 0}, 0.4f);
        MatrixScreenSpaceConverter converter(modelview, frustum(), viewport);
        const BoundingBox box({1, 0, -3}, {2, 1.5f, 2});
        const Vector3d centre(1.5, 0.75, -0.5);
        const Vector3d up(modelview(1, 0), modelview(1, 1), modelview(1, 2));
        const Vector3d top = converter.project(centre + up * 0.75), bottom = converter.project(centre - up * 0.75);
        const double expected = std::hypot(top.x - bottom.x, top.y - bottom.y) / 300.0 * 2.0;
        EXPECT_NEAR(converter.apparentHeight(box), expected, 1e-6);
        if (tilt > 0.4f) EXPECT_GT(converter.boxRectangle(box).height(), 1.5 * expected) << "seen from above";
    }
    MatrixScreenSpaceConverter converter(Matrix4f::translation({0, 0, -10}), frustum(), viewport);
    EXPECT_TRUE(std::isnan(converter.apparentHeight(BoundingBox())));
    EXPECT_TRUE(std::isnan(converter.apparentHeight(BoundingBox({-1, -1, 11}, {1, 1, 12})))) << "behind the eye";
}
