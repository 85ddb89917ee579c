#include "camera/CameraFraming.h"

#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

namespace {

Vector3f corner(const BoundingBox& box, int i)
{
    return {i & 1 ? box.maximum.x : box.minimum.x, i & 2 ? box.maximum.y : box.minimum.y,
            i & 4 ? box.maximum.z : box.minimum.z};
}

// Normalised device coordinates of p through the camera.
Vector3f ndc(const Camera& camera, const Vector3f& p)
{
    const Vector4f c = camera.projection() * (camera.view() * Vector4f(p, 1.0f));
    return {c.x / c.w, c.y / c.w, c.z / c.w};
}

// Largest |x| or |y| of the box corners on screen, or infinity when a corner is behind the
// eye or beyond the near or far plane.
float screenExtent(const Camera& camera, const BoundingBox& box)
{
    float extent = 0.0f;
    for (int i = 0; i < 8; ++i) {
        const Vector4f c = camera.projection() * (camera.view() * Vector4f(corner(box, i), 1.0f));
        if (!(c.w > 0.0f) || std::abs(c.z) > c.w) return INFINITY;
        extent = std::max({extent, std::abs(c.x / c.w), std::abs(c.y / c.w)});
    }
    return extent;
}

const BoundingBox kBoxes[] = {
    {{-1.0f, 0.0f, -1.0f}, {1.0f, 2.0f, 1.0f}},        // one animal
    {{-60.0f, 0.0f, -40.0f}, {60.0f, 2.0f, 40.0f}},    // a wide, flat herd: deep from low angles
    {{10.0f, 0.0f, 30.0f}, {10.5f, 25.0f, 30.5f}},     // tall and thin, off the origin
};

} // namespace

TEST(FramePerspective, EveryCornerIsInViewAndTheBoxFillsItFromAnyDirectionAndAspect)
{
    for (const double aspect : {0.5, 1.0, 1.78, 3.5})
        for (const float azimuth : {0.0f, 1.75f, 4.0f})
            for (const float elevation : {0.05f, 0.6f, 1.4f})
                for (const BoundingBox& box : kBoxes) {
                    const std::string where = "aspect " + std::to_string(aspect) + ", azimuth " +
                                              std::to_string(azimuth) + ", elevation " + std::to_string(elevation) +
                                              ", box from x " + std::to_string(box.minimum.x);
                    ProjectiveFixedYCamera camera;
                    camera.setNearFar(0.1, 10000.0);
                    camera.setAspect(aspect);
                    camera.setAzimuth(azimuth);
                    camera.setElevation(elevation);
                    camera.setLookAtPoint(Vector3f(-300.0f, 50.0f, 200.0f)); // looking somewhere else
                    frameBox(camera, box);

                    const float extent = screenExtent(camera, box);
                    EXPECT_LE(extent, 1.0f) << where;
                    // Not merely far away: fitBox's distance keeps a margin of its own (it sizes by
                    // the horizontal angle with room for the diagonal, generous in a tall window),
                    // but the box still spans a good part of the view.
                    EXPECT_GE(extent, 0.3f) << where;
                    const Vector3f centre = ndc(camera, (box.minimum + box.maximum) * 0.5f);
                    EXPECT_NEAR(centre.x, 0.0f, 1e-3f) << where;
                    EXPECT_NEAR(centre.y, 0.0f, 1e-3f) << where;
                    // The direction the camera looks from and its distance setting stay.
                    EXPECT_FLOAT_EQ(camera.azimuth(), azimuth) << where;
                    EXPECT_FLOAT_EQ(camera.elevation(), elevation) << where;
                    EXPECT_FLOAT_EQ(camera.dolly(), -5.0f) << where;
                }
}

TEST(FramePerspective, EmptyBoxLeavesTheCameraAndAPointIsSeenFromInFront)
{
    ProjectiveFixedYCamera camera;
    camera.setLookAtPoint(Vector3f(1.0f, 2.0f, 3.0f));
    frameBox(camera, BoundingBox());
    EXPECT_EQ(camera.lookAtPoint(), Vector3f(1.0f, 2.0f, 3.0f));

    const Vector3f p(4.0f, 1.0f, -2.0f);
    frameBox(camera, BoundingBox(p, p));
    const Vector4f c = camera.projection() * (camera.view() * Vector4f(p, 1.0f));
    EXPECT_GT(c.w, 0.0f);
    EXPECT_LE(std::abs(c.z), c.w) << "not in front of the near plane";
    EXPECT_NEAR(c.x / c.w, 0.0f, 1e-4f);
}

TEST(FramePerspective, ScaledViewFramesTheSame)
{
    // The scale multiplies every element of the view matrix, w included; the picture is the same.
    ProjectiveFixedYCamera plain;
    ProjectiveFixedYCamera scaled;
    scaled.setScale(3.0);
    for (ProjectiveFixedYCamera* camera : {&plain, &scaled}) {
        camera->setAspect(1.5);
        frameBox(*camera, kBoxes[1]);
    }
    EXPECT_NEAR((plain.lookAtPoint() - scaled.lookAtPoint()).length(), 0.0f, 1e-3f);
}

TEST(FrameOrtho, CentresThePlanOnTheBoxAndSizesThePortToTheWindow)
{
    OrthoCamera camera;
    camera.setNearFar(0.1, 10000.0);
    camera.setAspect(2.0);
    const BoundingBox box({-2.0f, 0.0f, -1.0f}, {6.0f, 1.0f, 1.0f});
    frameBox(camera, box);
    // Unturned plan: x and y on screen. 8 wide at aspect 2 needs a port of 2 (with 5% room).
    EXPECT_NEAR(camera.center().x, 2.0f, 1e-5f);
    EXPECT_NEAR(camera.center().y, 0.5f, 1e-5f);
    EXPECT_NEAR(camera.port(), 2.0f * 1.05f, 1e-5f);
    EXPECT_LE(screenExtent(camera, box), 1.0f);

    // Tall box: the height decides.
    camera.setAspect(0.5);
    frameBox(camera, box);
    EXPECT_NEAR(camera.port(), 8.0f * 1.05f, 1e-4f) << "8 wide at aspect 0.5 needs a port of 8";
    camera.setAspect(16.0);
    frameBox(camera, box);
    EXPECT_NEAR(camera.port(), 0.5f * 1.05f, 1e-5f) << "the 1-unit height decides at aspect 16";

    // A quarter turn shows the box's z extent across the screen instead of its x extent.
    camera.setAspect(1.0);
    camera.setAzimuth(static_cast<float>(std::numbers::pi / 2) + 0.01f);
    frameBox(camera, box);
    EXPECT_NEAR(camera.port(), 1.05f, 1e-5f) << "the 2-unit z extent across, 1 up";
    EXPECT_LE(screenExtent(camera, box), 1.0f);
    const Vector3f centre = ndc(camera, (box.minimum + box.maximum) * 0.5f);
    EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
    EXPECT_NEAR(centre.y, 0.0f, 1e-5f);
}

TEST(FrameOrtho, EmptyBoxChangesNothingAndAPointKeepsThePort)
{
    OrthoCamera camera;
    camera.setCenter(Vector2f(1.0f, 2.0f));
    frameBox(camera, BoundingBox());
    EXPECT_FLOAT_EQ(camera.center().x, 1.0f);
    EXPECT_FLOAT_EQ(camera.port(), 5.0f);
    const Vector3f p(3.0f, 4.0f, 0.0f);
    frameBox(camera, BoundingBox(p, p));
    EXPECT_FLOAT_EQ(camera.center().x, 3.0f);
    EXPECT_FLOAT_EQ(camera.center().y, 4.0f);
    EXPECT_FLOAT_EQ(camera.port(), 5.0f);
}

// boxInView agrees with the box's corners put through the camera's own projection: every
// corner within the clip volume, from every direction and aspect, for boxes in view, partly
// out of it, behind the eye, beyond the far plane and round the eye.
TEST(BoxInView, AgreesWithTheProjectedCorners)
{
    int inView = 0, outOfView = 0;
    for (const double aspect : {0.5, 1.5, 3.0})
        for (const float azimuth : {0.0f, 1.75f, 4.0f})
            for (const float elevation : {0.05f, 0.7f})
                for (int i = 0; i < 125; ++i) {
                    ProjectiveFixedYCamera camera;
                    camera.setNearFar(0.5, 400.0);
                    camera.setAspect(aspect);
                    camera.setAzimuth(azimuth);
                    camera.setElevation(elevation);
                    camera.setLookAtPoint(Vector3f(-6.0f, 2.0f, 0.5f));
                    // Centres on a grid round the look-at point, sizes from a decimetre to a
                    // few hundred metres.
                    const Vector3f centre(-6.0f + 40.0f * float(i % 5 - 2), 2.0f + 20.0f * float(i / 5 % 5 - 2),
                                          0.5f + 60.0f * float(i / 25 - 2));
                    const float half = 0.05f * std::pow(3.0f, float(i % 7));
                    const BoundingBox box(centre - Vector3f(half, half, half), centre + Vector3f(half, half, half));
                    const float extent = screenExtent(camera, box);
                    if (std::abs(extent - 1.0f) < 1e-3f) continue; // on the edge: rounding decides
                    EXPECT_EQ(boxInView(camera, box), extent <= 1.0f)
                        << "aspect " << aspect << ", azimuth " << azimuth << ", elevation " << elevation << ", box " << i;
                    (extent <= 1.0f ? inView : outOfView)++;
                }
    // Both answers were tried many times.
    EXPECT_GT(inView, 50);
    EXPECT_GT(outOfView, 50);
    EXPECT_FALSE(boxInView(ProjectiveFixedYCamera(), BoundingBox()));
}
