#include "camera/CameraFraming.h"

#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Room left around the box, as a fraction of what it needs: float rounding in the GL matrices
// must not push a corner just across the edge.
constexpr double kMargin = 1.05;

Vector3f corner(const BoundingBox& box, int index)
{
    return {index & 1 ? box.maximum.x : box.minimum.x, index & 2 ? box.maximum.y : box.minimum.y,
            index & 4 ? box.maximum.z : box.minimum.z};
}

} // namespace

void frameBox(ProjectiveFixedYCamera& camera, const BoundingBox& box)
{
    if (box.isEmpty()) return;
    const double tanHalfWidth = std::tan(camera.fov() * std::numbers::pi / 360.0);
    if (!(tanHalfWidth > 0.0) || !std::isfinite(tanHalfWidth)) return;
    const double tanHalfHeight = tanHalfWidth / camera.effectiveAspect();

    const Vector3f centre = (box.minimum + box.maximum) * 0.5f;
    // fitBox moves along the line from the eye to the centre; looking at the centre first makes
    // that line the view direction, so the box ends up in the middle of the window.
    camera.setLookAtPoint(centre);
    camera.fitBox(box);

    // Eye-space coordinates of the corners: the camera looks down -z. The view matrix carries
    // the camera's scale in every element, w included, so dividing by w undoes it.
    const Matrix4f view = camera.view();
    double backOff = 0.0;
    for (int i = 0; i < 8; ++i) {
        const Vector4f p = view * Vector4f(corner(box, i), 1.0f);
        const double w = p.w != 0.0f ? p.w : 1.0;
        const double x = p.x / w;
        const double y = p.y / w;
        const double z = p.z / w;
        // Moving the eye back by b along the view direction turns the depth -z into b - z.
        backOff = std::max(backOff, kMargin * std::abs(x) / tanHalfWidth + z);
        backOff = std::max(backOff, kMargin * std::abs(y) / tanHalfHeight + z);
        backOff = std::max(backOff, kMargin * camera.nearPlane() + z);
    }
    if (backOff <= 0.0) return;
    const Vector3f eye = camera.eye();
    const Vector3f lookAt = camera.lookAtPoint();
    Vector3f direction = lookAt - eye;
    // A dolly of 0 puts the eye on the look-at point; the view matrix then still knows the way.
    if (direction.length() <= 0.0f)
        direction = Vector3f(-view(2, 0), -view(2, 1), -view(2, 2));
    if (direction.length() <= 0.0f) return;
    camera.setLookAtPoint(lookAt - direction.normalized() * static_cast<float>(backOff));
}

bool boxInView(const ProjectiveFixedYCamera& camera, const BoundingBox& box)
{
    if (box.isEmpty()) return false;
    const double tanHalfWidth = std::tan(camera.fov() * std::numbers::pi / 360.0);
    const double tanHalfHeight = tanHalfWidth / camera.effectiveAspect();
    const Matrix4f view = camera.view();
    for (int i = 0; i < 8; ++i) {
        const Vector4f p = view * Vector4f(corner(box, i), 1.0f);
        const double w = p.w != 0.0f ? p.w : 1.0;
        // Eye space: the camera looks down -z.
        const double depth = -p.z / w;
        if (!(depth >= camera.nearPlane() && depth <= camera.farPlane())) return false;
        if (std::abs(p.x / w) > depth * tanHalfWidth || std::abs(p.y / w) > depth * tanHalfHeight) return false;
    }
    return true;
}

void frameBox(OrthoCamera& camera, const BoundingBox& box)
{
    if (box.isEmpty()) return;
    // view() maps p to plan() p - (center, 20): the plan's x and y are what the window shows.
    const Matrix3f plan = camera.plan();
    BoundingBox planned;
    for (int i = 0; i < 8; ++i) {
        const Vector3f p = corner(box, i);
        planned.grow(Vector3f(plan.row[0].dot(p), plan.row[1].dot(p), plan.row[2].dot(p)));
    }
    camera.setCenter(Vector2f((planned.minimum.x + planned.maximum.x) * 0.5f,
                              (planned.minimum.y + planned.maximum.y) * 0.5f));
    const double halfWidth = 0.5 * (planned.maximum.x - planned.minimum.x);
    const double halfHeight = 0.5 * (planned.maximum.y - planned.minimum.y);
    const double port = kMargin * std::max(halfHeight, halfWidth / camera.effectiveAspect());
    if (port > 0.0) camera.setPort(static_cast<float>(port));
}
