#include "camera/ProjectiveFixedYCamera.h"

#include "camera/CameraMath.h"
#include "camera/SimpleKeyable.h"
#include "foundation/TextForm.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <istream>
#include <numbers>
#include <ostream>

using cameramath::normalizedOr;
using cameramath::rotate;

namespace {

Vector3d toDouble(const Vector3f& v)
{
    return Vector3d(v);
}

} // namespace

ProjectiveFixedYCamera::ProjectiveFixedYCamera(bool dollyChangesDistance)
    : m_dollyChangesDistance(dollyChangesDistance)
{
}

std::vector<std::shared_ptr<KeyableAttribute<float>>> ProjectiveFixedYCamera::keyables()
{
    const auto owner = keepAlive();
    return {std::make_shared<SimpleKeyable<float>>("azimuth", &m_azimuth, owner),
            std::make_shared<SimpleKeyable<float>>("elevation", &m_elevation, owner),
            std::make_shared<SimpleKeyable<float>>("dolly", &m_dolly, owner),
            std::make_shared<SimpleKeyable<float>>("fov", &m_fov, owner),
            std::make_shared<SimpleKeyable<float>>("lookAt.x", &m_lookAt.x, owner),
            std::make_shared<SimpleKeyable<float>>("lookAt.y", &m_lookAt.y, owner),
            std::make_shared<SimpleKeyable<float>>("lookAt.z", &m_lookAt.z, owner)};
}

Vector3f ProjectiveFixedYCamera::up() const
{
    constexpr double pi = std::numbers::pi;
    // Reduced into [0, 2 pi): a plain remainder keeps the sign, and would show a keyed
    // elevation of -2 upright although it is the same position as 2 pi - 2, which is upside
    // down.
    double a = std::fmod(static_cast<double>(m_elevation), 2.0 * pi);
    if (a < 0.0) a += 2.0 * pi;
    return (a > pi / 2.0 && a < 3.0 * pi / 2.0) ? -m_basis[1] : m_basis[1];
}

Vector3f ProjectiveFixedYCamera::eye() const
{
    const Vector3d offset = rotate(m_basis[1], m_azimuth, rotate(m_basis[0], m_elevation, toDouble(m_basis[2] * m_dolly)));
    return (toDouble(m_lookAt) + offset).toVector3f();
}

Vector3d ProjectiveFixedYCamera::viewDirection() const
{
    const Vector3d along = rotate(m_basis[1], m_azimuth, rotate(m_basis[0], m_elevation, toDouble(m_basis[2])));
    const Vector3d fallback = normalizedOr(m_dolly > 0.0f ? -along : along, {0.0, 0.0, -1.0});
    return normalizedOr(toDouble(m_lookAt) - toDouble(eye()), fallback);
}

Matrix4f ProjectiveFixedYCamera::view() const
{
    const Vector3d e = toDouble(eye());
    const Vector3d f = viewDirection();
    const Vector3d upward = normalizedOr(toDouble(up()), {0.0, 1.0, 0.0});
    // Looking straight along the up axis leaves f x up without a direction; the camera's
    // sideways axis (B0 turned by the azimuth, mirrored like the cross product would be)
    // serves then.
    Vector3d side = rotate(m_basis[1], m_azimuth, -toDouble(m_basis[0]));
    if (up() == -m_basis[1]) side = -side;
    if (m_dolly > 0.0f) side = -side;
    const Vector3d s = normalizedOr(f.cross(upward), normalizedOr(side, {1.0, 0.0, 0.0}));
    const Vector3d u = s.cross(f);
    const double rows[3][3] = {{s.x, s.y, s.z}, {u.x, u.y, u.z}, {-f.x, -f.y, -f.z}};
    Matrix4f m;
    for (int r = 0; r < 3; ++r) {
        const Vector3d row(rows[r][0], rows[r][1], rows[r][2]);
        for (int c = 0; c < 3; ++c) m(r, c) = static_cast<float>(m_scale * rows[r][c]);
        m(r, 3) = static_cast<float>(-m_scale * row.dot(e));
    }
    m(3, 3) = static_cast<float>(m_scale);
    return m;
}

Frustum ProjectiveFixedYCamera::frustum() const
{
    const double t = m_near * std::tan(m_fov * std::numbers::pi / 360.0);
    const double aspect = effectiveAspect();
    return {-t, t, -t / aspect, t / aspect, m_near, m_far};
}

Matrix4f ProjectiveFixedYCamera::projection() const
{
    return frustum().perspectiveMatrix();
}

void ProjectiveFixedYCamera::applyProjection(TileRenderer& tiles) const
{
    // The same volume as on screen, so an exported image shows what the window shows.
    tiles.setPerspective(frustum());
}

void ProjectiveFixedYCamera::drag(float x, float y)
{
    float dx = 0.0f, dy = 0.0f;
    dragDelta(x, y, dx, dy);
    switch (dragMode()) {
    case DragMode::Pan: {
        const double a = -0.01 * m_speed * dx;
        const double b = 0.01 * m_speed * dy;
        const Vector3d back = toDouble(eye()) - toDouble(m_lookAt);
        // With the eye on the look-at point, or looking straight down the up axis, there is
        // no plane to pan in; the look-at point stays rather than turning into NaN.
        const Vector3d none{0.0, 0.0, 0.0};
        const Vector3d r = normalizedOr(toDouble(up()).cross(back), none);
        const Vector3d v = normalizedOr(back.cross(r), none);
        m_lookAt = (toDouble(m_lookAt) + r * a + v * b).toVector3f();
        break;
    }
    case DragMode::Rotate:
        m_azimuth -= dx / 90.0f;
        m_elevation += dy / 90.0f;
        if (m_elevation < 0.0f) m_elevation += 2.0f * std::numbers::pi_v<float>;
        break;
    case DragMode::Dolly: {
        const double g = -0.06 * m_speed * dy;
        if (m_dollyChangesDistance) {
            m_dolly = static_cast<float>(m_dolly + g);
        } else {
            const Vector3d back = normalizedOr(toDouble(eye()) - toDouble(m_lookAt), -viewDirection());
            m_lookAt = (toDouble(m_lookAt) - back * g).toVector3f();
        }
        break;
    }
    default:
        break;
    }
}

void ProjectiveFixedYCamera::fitBox(const BoundingBox& box)
{
    if (box.isEmpty()) return;
    const double tanHalf = std::tan(m_fov * std::numbers::pi / 360.0);
    // A fov of 0 or 180 degrees (or beyond) can fit nothing at any distance.
    if (!(tanHalf > 0.0) || !std::isfinite(tanHalf)) return;
    const Vector3d m = (toDouble(box.minimum) + toDouble(box.maximum)) * 0.5;
    const Vector3d e = toDouble(eye());
    // With the eye at the box centre, the camera's own direction stands in for m - e.
    const Vector3d d = normalizedOr(m - e, viewDirection());
    if (m_dollyChangesDistance) m_lookAt = m.toVector3f();
    double u = 0.0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3d p(corner & 1 ? box.maximum.x : box.minimum.x, corner & 2 ? box.maximum.y : box.minimum.y,
                         corner & 4 ? box.maximum.z : box.minimum.z);
        const Vector3d w = p - e;
        const Vector3d offAxis = w - d * w.dot(d);
        u = std::max(u, offAxis.length() * std::sqrt(2.0) / tanHalf);
    }
    if (m_dollyChangesDistance)
        m_dolly = static_cast<float>(m_dolly < 0.0f ? -u : u);
    else
        m_lookAt = (m - d * (u + m_dolly)).toVector3f();
}

void ProjectiveFixedYCamera::writeText(std::ostream& out) const
{
    // Nine significant digits read back to the same floats.
    const std::streamsize precision = out.precision(9);
    out << m_elevation << ' ' << m_azimuth << ' ' << m_spare << ' ' << m_dolly << ' ' << m_fov << '\n'
        << m_lookAt << '\n'
        << m_basis;
    out.precision(precision);
}

void ProjectiveFixedYCamera::readText(std::istream& in)
{
    float elevation = 0, azimuth = 0, spare = 0, dolly = 0, fov = 0;
    Vector3f lookAt;
    Matrix3f basis;
    if (!(in >> elevation >> azimuth >> spare >> dolly >> fov)) return;
    if (!(in >> lookAt >> basis)) return;
    m_elevation = elevation, m_azimuth = azimuth, m_spare = spare, m_dolly = dolly, m_fov = fov;
    m_lookAt = lookAt;
    m_basis = basis;
}

void ProjectiveFixedYCamera::writeBinary(std::ostream& out) const
{
    const float values[17] = {m_elevation, m_azimuth, m_spare, m_dolly, m_fov, m_lookAt.x, m_lookAt.y, m_lookAt.z,
                              m_basis(0, 0), m_basis(0, 1), m_basis(0, 2), m_basis(1, 0), m_basis(1, 1),
                              m_basis(1, 2), m_basis(2, 0), m_basis(2, 1), m_basis(2, 2)};
    cameramath::writeFloats(out, values, 17);
}

void ProjectiveFixedYCamera::readBinary(std::istream& in)
{
    float v[17];
    if (!cameramath::readFloats(in, v, 17)) return;
    m_elevation = v[0], m_azimuth = v[1], m_spare = v[2], m_dolly = v[3], m_fov = v[4];
    m_lookAt = {v[5], v[6], v[7]};
    m_basis = Matrix3f(v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15], v[16]);
}
