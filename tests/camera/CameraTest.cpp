#include "camera/AttributeWithKeys.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Records what a camera hands the tile renderer.
class RecordingTiles : public TileRenderer {
public:
    void setPerspective(const Frustum& frustum) override
    {
        perspective = true;
        last = frustum;
    }
    void setOrthographic(const Frustum& frustum) override
    {
        perspective = false;
        last = frustum;
    }
    bool perspective = false;
    Frustum last;
};

Vector3f viewPoint(const Camera& camera, const Vector3f& p)
{
    return camera.view().transformPoint(p);
}

// Normalized device coordinates of a scene point.
Vector3f ndc(const Camera& camera, const Vector3f& p)
{
    return (camera.projection() * (camera.view() * Vector4f(p, 1.0f))).toVector3f();
}

float distance(const Vector3f& a, const Vector3f& b)
{
    return (a - b).length();
}

void expectNear(const Vector3f& a, const Vector3f& b, float tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

bool finite(const Matrix4f& m)
{
    for (float v : m.m)
        if (!std::isfinite(v)) return false;
    return true;
}

} // namespace

TEST(ProjectiveFixedYCamera, StartsFiveUnitsFromTheOriginLookingAtIt)
{
    ProjectiveFixedYCamera camera;
    EXPECT_NEAR(camera.eye().length(), 5.0f, 1e-5f);
    EXPECT_NEAR(camera.eye().y, 5.0f * std::sin(0.2f), 1e-4f) << "raised by the elevation";
    {
        // The view puts the eye at the origin and the look-at point straight ahead (-z).
        expectNear(viewPoint(camera, camera.eye()), {0, 0, 0}, 1e-5f);
        expectNear(viewPoint(camera, camera.lookAtPoint()), {0, 0, -5}, 1e-5f);
        // Up stays up on screen.
        EXPECT_GT(viewPoint(camera, {0, 1, 0}).y, viewPoint(camera, {0, 0, 0}).y);
    }
    {
        camera.setScale(2.0);
        const Matrix4f scaled = camera.view();
        camera.setScale(1.0);
        const Matrix4f plain = camera.view();
        for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(scaled.m[i], 2.0f * plain.m[i]) << i;
    }
}

TEST(ProjectiveFixedYCamera, UpFlipsWhenTheCameraPassesOverTheTop)
{
    ProjectiveFixedYCamera camera;
    const struct {
        float elevation;
        float upY;
    } cases[] = {{1.5f, 1}, {2.0f, -1}, {4.0f, -1}, {5.0f, 1}, {2.0f + 2 * kPi, -1}, {-2.0f, -1}, {-1.0f, 1}};
    for (const auto& c : cases) {
        camera.setElevation(c.elevation);
        EXPECT_EQ(camera.up().y, c.upY) << c.elevation;
    }
    {
        // The flip keeps the picture continuous while the camera rotates over the top: a point
        // beside the look-at point barely moves on screen from just before to just after.
        camera.setLookAtPoint({0, 0, 0});
        camera.setElevation(kPi / 2 - 0.01f);
        const Vector3f before = viewPoint(camera, {1, 0, 0});
        camera.setElevation(kPi / 2 + 0.01f);
        const Vector3f after = viewPoint(camera, {1, 0, 0});
        EXPECT_NEAR(before.x, after.x, 0.1f);
        EXPECT_NEAR(before.y, after.y, 0.1f);
    }
    {
        // A negative elevation is the same position as its positive equivalent, and so the
        // same view (a sign-keeping remainder would show it upside down).
        camera.setElevation(-2.0f);
        const Matrix4f negative = camera.view();
        camera.setElevation(2 * kPi - 2.0f);
        const Matrix4f positive = camera.view();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(negative.m[i], positive.m[i], 1e-5f) << i;
    }
}

TEST(ProjectiveFixedYCamera, ProjectionIsTheFrustumOfTheHorizontalFov)
{
    ProjectiveFixedYCamera camera;
    camera.setFov(90.0f);
    camera.setAspect(2.0);
    camera.setNearFar(0.1, 10000);
    const Matrix4f p = camera.projection();
    EXPECT_NEAR(p(0, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(p(1, 1), 2.0f, 1e-6f);
    EXPECT_NEAR(p(2, 2), -(10000.0f + 0.1f) / (10000.0f - 0.1f), 1e-6f);
    EXPECT_EQ(p(3, 2), -1.0f);
    {
        // An aspect of 0 takes the viewport's; an unusable one falls back to 1.
        camera.setAspect(0.0);
        camera.setViewportAspect(0.5);
        EXPECT_NEAR(camera.projection()(1, 1), 0.5f, 1e-6f);
        camera.setViewportAspect(INFINITY);
        EXPECT_NEAR(camera.projection()(1, 1), 1.0f, 1e-6f);
    }
}

TEST(ProjectiveFixedYCamera, TilesGetTheVolumeTheWindowShows)
{
    ProjectiveFixedYCamera camera;
    camera.setAspect(16.0 / 9.0);
    camera.setNearFar(0.1, 10000);
    RecordingTiles tiles;
    camera.applyProjection(tiles);
    EXPECT_TRUE(tiles.perspective);
    EXPECT_EQ(tiles.last.perspectiveMatrix(), camera.projection());
    EXPECT_NEAR(tiles.last.right, 0.1 * std::tan(40.0 * std::numbers::pi / 360.0), 1e-7);
    {
        // The four quarter tiles of an image cover the volume edge to edge.
        const Frustum lowerLeft = tiles.last.tile(1600, 900, 0, 0, 800, 450);
        const Frustum upperRight = tiles.last.tile(1600, 900, 800, 450, 800, 450);
        EXPECT_DOUBLE_EQ(lowerLeft.left, tiles.last.left);
        EXPECT_NEAR(lowerLeft.right, 0.0, 1e-15);
        EXPECT_NEAR(upperRight.bottom, 0.0, 1e-15);
        EXPECT_DOUBLE_EQ(upperRight.top, tiles.last.top);
        EXPECT_EQ(upperRight.zNear, tiles.last.zNear);
        // Exact: the volume is symmetric, so left + (right - left) gives right back unrounded.
        EXPECT_EQ(tiles.last.tile(1600, 900, 0, 0, 1600, 900).perspectiveMatrix(), camera.projection());
    }
}

TEST(ProjectiveFixedYCamera, RotateDragTurnsByPixelsOverNinety)
{
    ProjectiveFixedYCamera camera;
    camera.setSpeed(10.0f); // plays no part in rotation
    const float azimuth = camera.azimuth(), elevation = camera.elevation();
    camera.beginDrag(Camera::DragMode::Rotate, 100, 100);
    EXPECT_TRUE(camera.isDragging());
    camera.drag(190, 100);
    EXPECT_NEAR(camera.azimuth(), azimuth - 1.0f, 1e-5f);
    EXPECT_NEAR(camera.elevation(), elevation, 1e-6f);
    {
        // Dragging down past elevation 0 wraps to just below 2 pi.
        camera.drag(190, 100 - 0.3f * 90);
        EXPECT_NEAR(camera.elevation(), elevation - 0.3f + 2 * kPi, 1e-4f);
    }
    camera.endDrag(190, 73);
    EXPECT_FALSE(camera.isDragging());
}

TEST(ProjectiveFixedYCamera, PanAndDollyDragsMoveTheLookAtPoint)
{
    {
        ProjectiveFixedYCamera camera;
        camera.setSpeed(10.0f);
        const Vector3f eye = camera.eye(), look = camera.lookAtPoint();
        camera.beginDrag(Camera::DragMode::Pan, 0, 0);
        camera.drag(10, -5);
        const Vector3f moved = camera.lookAtPoint() - look;
        // -0.01 x 10 x 10 sideways and 0.01 x 10 x -5 upwards: length sqrt(1 + 0.25).
        EXPECT_NEAR(moved.length(), std::sqrt(1.25f), 1e-4f);
        EXPECT_NEAR(moved.dot((eye - look).normalized()), 0.0f, 1e-5f) << "panning stays in the view plane";
        EXPECT_NEAR(distance(camera.eye(), camera.lookAtPoint()), 5.0f, 1e-4f) << "the eye comes along";
    }
    {
        ProjectiveFixedYCamera camera;
        const Vector3f eye = camera.eye(), look = camera.lookAtPoint();
        camera.beginDrag(Camera::DragMode::Dolly, 0, 0);
        camera.drag(0, 10); // g = -0.6: both back off 0.6 from the scene
        const Vector3f back = (eye - look).normalized();
        expectNear(camera.lookAtPoint(), look + back * 0.6f, 1e-5f);
        expectNear(camera.eye(), eye + back * 0.6f, 1e-5f);
        EXPECT_EQ(camera.dolly(), -5.0f);
    }
    {
        ProjectiveFixedYCamera camera(true);
        camera.beginDrag(Camera::DragMode::Dolly, 0, 0);
        camera.drag(0, 10);
        EXPECT_NEAR(camera.dolly(), -5.6f, 1e-6f);
        EXPECT_EQ(camera.lookAtPoint(), Vector3f(0, 0, 0));
    }
}

TEST(ProjectiveFixedYCamera, FitBoxFramesABoxAheadOfTheCamera)
{
    for (bool changesDistance : {false, true}) {
        SCOPED_TRACE(changesDistance);
        ProjectiveFixedYCamera camera(changesDistance);
        camera.setAspect(1.0);
        camera.setNearFar(0.1, 1000);
        camera.setLookAtPoint({2, 1, -3});
        // A box centred on the line of sight, 20 units beyond the look-at point.
        const Vector3f ahead = (camera.lookAtPoint() - camera.eye()).normalized();
        const Vector3f centre = camera.lookAtPoint() + ahead * 20.0f;
        const Vector3f half(3, 1, 4);
        const BoundingBox box(centre - half, centre + half);
        camera.fitBox(box);
        float nearestEdge = 0.0f;
        for (int corner = 0; corner < 8; ++corner) {
            const Vector3f p(corner & 1 ? box.maximum.x : box.minimum.x, corner & 2 ? box.maximum.y : box.minimum.y,
                             corner & 4 ? box.maximum.z : box.minimum.z);
            const Vector3f d = ndc(camera, p);
            EXPECT_LE(std::fabs(d.x), 1.0f) << corner;
            EXPECT_LE(std::fabs(d.y), 1.0f) << corner;
            EXPECT_LT(d.z, 1.0f) << corner;
            nearestEdge = std::max({nearestEdge, std::fabs(d.x), std::fabs(d.y)});
        }
        EXPECT_GT(nearestEdge, 0.3f) << "the box fills a good part of the view, with margin";
        // The direction of view is kept; the box centre is straight ahead.
        expectNear((camera.lookAtPoint() - camera.eye()).normalized(), ahead, 1e-4f);
        const Vector3f c = ndc(camera, centre);
        EXPECT_NEAR(c.x, 0.0f, 1e-4f);
        EXPECT_NEAR(c.y, 0.0f, 1e-4f);
        if (changesDistance) {
            expectNear(camera.lookAtPoint(), centre, 1e-4f);
            EXPECT_LT(camera.dolly(), 0.0f) << "the dolly keeps its sign";
        } else {
            EXPECT_EQ(camera.dolly(), -5.0f);
        }
    }
    {
        ProjectiveFixedYCamera camera;
        const Vector3f before = camera.lookAtPoint();
        camera.fitBox(BoundingBox());
        EXPECT_EQ(camera.lookAtPoint(), before);
        camera.setFov(0.0f);
        camera.fitBox(BoundingBox({1, 1, 1}, {2, 2, 2}));
        EXPECT_EQ(camera.lookAtPoint(), before) << "a fov of 0 fits nothing";
    }
    {
        // The eye at the box centre: the camera's own direction serves, nothing turns NaN.
        ProjectiveFixedYCamera camera;
        const Vector3f eye = camera.eye();
        camera.fitBox(BoundingBox(eye - Vector3f(1, 1, 1), eye + Vector3f(1, 1, 1)));
        EXPECT_TRUE(finite(camera.view()));
    }
}

TEST(ProjectiveFixedYCamera, DegenerateParametersStillGiveAView)
{
    ProjectiveFixedYCamera camera;
    camera.setDolly(0.0f);
    EXPECT_TRUE(finite(camera.view())) << "eye on the look-at point";
    camera.setDolly(-5.0f);
    camera.setElevation(kPi / 2);
    EXPECT_TRUE(finite(camera.view())) << "looking straight down the up axis";
    camera.beginDrag(Camera::DragMode::Pan, 0, 0);
    camera.setDolly(0.0f);
    camera.drag(5, 5);
    EXPECT_TRUE(std::isfinite(camera.lookAtPoint().x));
}

TEST(ProjectiveFixedYCamera, KeyablesWriteTheFieldsAndKeepTheCameraAlive)
{
    auto camera = std::make_shared<ProjectiveFixedYCamera>();
    const auto keyables = camera->keyables();
    const char* names[] = {"azimuth", "elevation", "dolly", "fov", "lookAt.x", "lookAt.y", "lookAt.z"};
    ASSERT_EQ(keyables.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(keyables[i]->name(), names[i]);
        keyables[i]->set(float(i) + 0.5f);
        EXPECT_EQ(keyables[i]->get(), float(i) + 0.5f);
    }
    EXPECT_EQ(camera->azimuth(), 0.5f);
    EXPECT_EQ(camera->fov(), 3.5f);
    EXPECT_EQ(camera->lookAtPoint(), Vector3f(4.5f, 5.5f, 6.5f));
    {
        // Key animation on a camera the view has let go of still writes into a live camera.
        AttributeWithKeys dolly(keyables[2]);
        std::weak_ptr<ProjectiveFixedYCamera> watch = camera;
        camera.reset();
        EXPECT_FALSE(watch.expired());
        dolly.setKeys({{0, -8}});
        dolly.apply(3);
        EXPECT_EQ(keyables[2]->get(), -8.0f);
    }
}

TEST(ProjectiveFixedYCamera, StoredFormsReadBackExactly)
{
    ProjectiveFixedYCamera camera;
    camera.setElevation(0.123456789f);
    camera.setAzimuth(-2.5f);
    camera.setDolly(-7.75f);
    camera.setFov(33.3f);
    camera.setLookAtPoint({-6, 2, 0.5f});
    camera.setBasis(Matrix3f(1, 0, 0, 0, 0, 1, 0, -1, 0));
    {
        std::stringstream text;
        camera.writeText(text);
        EXPECT_EQ(text.str().substr(0, text.str().find('\n')), "0.123456791 -2.5 0 -7.75 33.2999992");
        ProjectiveFixedYCamera back;
        back.readText(text);
        EXPECT_FALSE(text.fail());
        EXPECT_EQ(back.view(), camera.view());
        EXPECT_EQ(back.basis(), camera.basis());
    }
    {
        std::stringstream bytes;
        camera.writeBinary(bytes);
        EXPECT_EQ(bytes.str().size(), 17u * 4u);
        ProjectiveFixedYCamera back;
        back.readBinary(bytes);
        EXPECT_EQ(back.view(), camera.view());
        EXPECT_EQ(back.fov(), 33.3f);
    }
    {
        // Malformed or short input leaves the camera as it was.
        ProjectiveFixedYCamera untouched;
        std::istringstream text("0.5 1 0 -3 40\n[1 2]\n");
        untouched.readText(text);
        EXPECT_TRUE(text.fail());
        EXPECT_EQ(untouched.elevation(), 0.2f);
        std::istringstream bytes(std::string(20, '\0'));
        untouched.readBinary(bytes);
        EXPECT_TRUE(bytes.fail());
        EXPECT_EQ(untouched.dolly(), -5.0f);
    }
}

TEST(OrthoCamera, OnlyWholeQuarterTurnsRotateThePlan)
{
    OrthoCamera camera;
    camera.setAzimuth(1.5f);
    EXPECT_EQ(camera.plan(), Matrix3f::diagonal(1));
    camera.setAzimuth(1.6f);
    const Matrix3f turned = camera.plan();
    EXPECT_NEAR(turned(0, 2), 1.0f, 1e-6f);
    EXPECT_NEAR(turned(2, 0), -1.0f, 1e-6f);
    EXPECT_NEAR(turned(0, 0), 0.0f, 1e-6f);
    camera.setAzimuth(-0.1f);
    EXPECT_NEAR(camera.plan()(0, 2), -1.0f, 1e-6f) << "just below 0 is three quarter turns";
    camera.setAzimuth(1e30f);
    const Matrix3f far = camera.plan();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_TRUE(std::isfinite(far(r, c)));
}

TEST(OrthoCamera, ViewAndEyeAgree)
{
    OrthoCamera camera;
    camera.setCenter({3, -1});
    for (float azimuth : {0.0f, 1.6f, 3.2f, 4.8f}) {
        camera.setAzimuth(azimuth);
        // The eye is the point the view maps to the origin of eye space, 20 units in front.
        expectNear(viewPoint(camera, camera.eye()), {0, 0, 0}, 1e-5f);
    }
    camera.setAzimuth(0);
    expectNear(camera.eye(), {3, -1, 20}, 1e-6f);
    EXPECT_EQ(camera.lookAtPoint(), Vector3f(0, 0, 0));
    camera.setLookAtPoint({5, 5, 5});
    EXPECT_EQ(camera.lookAtPoint(), Vector3f(0, 0, 0));
}

TEST(OrthoCamera, ProjectionShowsPortAboveAndBelowTheCentre)
{
    OrthoCamera camera;
    camera.setAspect(2.0);
    camera.setNearFar(0.1, 100);
    const Vector3f top = ndc(camera, {10, 5, 0});
    EXPECT_NEAR(top.x, 1.0f, 1e-6f);
    EXPECT_NEAR(top.y, 1.0f, 1e-6f);
    RecordingTiles tiles;
    camera.applyProjection(tiles);
    EXPECT_FALSE(tiles.perspective);
    EXPECT_EQ(tiles.last.orthographicMatrix(), camera.projection());
    EXPECT_DOUBLE_EQ(tiles.last.left, -10.0);
}

TEST(OrthoCamera, DragsPanTurnAndZoom)
{
    OrthoCamera camera;
    {
        camera.beginDrag(Camera::DragMode::Dolly, 0, 0);
        camera.drag(0, 10);
        EXPECT_NEAR(camera.port(), 5.0f * std::exp(0.6f), 1e-4f);
        camera.endDrag(0, 10);
    }
    {
        camera.setPort(5.0f);
        camera.setSpeed(2.0f);
        camera.beginDrag(Camera::DragMode::Pan, 0, 0);
        camera.drag(10, 20);
        EXPECT_NEAR(camera.center().x, -0.01f * 10.0f * 10.0f, 1e-5f);
        EXPECT_NEAR(camera.center().y, 0.01f * 10.0f * 20.0f, 1e-5f);
    }
    {
        camera.beginDrag(Camera::DragMode::Rotate, 0, 0);
        camera.drag(45, 0);
        EXPECT_NEAR(camera.azimuth(), -0.5f, 1e-6f);
    }
}

TEST(OrthoCamera, KeyablesAndStoredForms)
{
    OrthoCamera camera;
    const auto keyables = camera.keyables();
    ASSERT_EQ(keyables.size(), 4u);
    const char* names[] = {"azimuth", "port", "center.x", "center.y"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(keyables[i]->name(), names[i]);
        keyables[i]->set(1.25f * float(i + 1));
    }
    EXPECT_EQ(camera.port(), 2.5f);
    EXPECT_EQ(camera.center().y, 5.0f);
    {
        std::stringstream text;
        camera.writeText(text);
        EXPECT_EQ(text.str(), "1.25 2.5\n[3.75 5]\n[[1 0 0]\n[0 1 0]\n[0 0 1]]\n");
        OrthoCamera back;
        back.readText(text);
        EXPECT_EQ(back.view(), camera.view());
        EXPECT_EQ(back.port(), camera.port());
    }
    {
        std::stringstream bytes;
        camera.writeBinary(bytes);
        EXPECT_EQ(bytes.str().size(), 13u * 4u);
        OrthoCamera back;
        back.readBinary(bytes);
        EXPECT_EQ(back.center().x, 3.75f);
        EXPECT_EQ(back.azimuth(), 1.25f);
    }
}
