#include "camera/OrthoCamera.h"

#include "camera/CameraMath.h"
#include "camera/SimpleKeyable.h"
#include "foundation/TextForm.h"

#include <cmath>
#include <istream>
#include <numbers>
#include <ostream>

OrthoCamera::OrthoCamera() = default;

std::vector<std::shared_ptr<KeyableAttribute<float>>> OrthoCamera::keyables()
{
    const auto owner = keepAlive();
    return {std::make_shared<SimpleKeyable<float>>("azimuth", &m_azimuth, owner),
            std::make_shared<SimpleKeyable<float>>("port", &m_port, owner),
            std::make_shared<SimpleKeyable<float>>("center.x", &m_center.x, owner),
            std::make_shared<SimpleKeyable<float>>("center.y", &m_center.y, owner)};
}

Matrix3f OrthoCamera::plan() const
{
    // Only the quarter turn modulo 4 matters; reducing first keeps a huge or keyed azimuth
    // from overflowing an integer.
    double quarter = std::floor(static_cast<double>(m_azimuth) * 2.0 / std::numbers::pi);
    quarter = std::isfinite(quarter) ? std::fmod(quarter, 4.0) : 0.0;
    if (quarter < 0.0) quarter += 4.0;
    return m_basis * cameramath::rotation(m_basis[1], quarter * std::numbers::pi / 2.0);
}

Matrix4f OrthoCamera::view() const
{
    const Matrix3f m = plan();
    Matrix4f planMatrix = Matrix4f::identity();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) planMatrix(r, c) = m(r, c);
    return Matrix4f::translation({-m_center.x, -m_center.y, -20.0f}) * planMatrix;
}

Vector3f OrthoCamera::eye() const
{
    // view() maps p to plan() p - (center, 20), so the eye is plan()^-1 (center, 20). (The
    // plain product plan() (-center, -20) would put it behind the scene, mirrored, and light
    // the plan from the wrong side.)
    const Matrix3f m = plan();
    const Vector3d t(m_center.x, m_center.y, 20.0);
    const Vector3d r0(m[0]), r1(m[1]), r2(m[2]);
    const Vector3d c0 = r1.cross(r2), c1 = r2.cross(r0), c2 = r0.cross(r1);
    const double det = r0.dot(c0);
    if (det == 0.0 || !std::isfinite(det)) {
        // A degenerate basis has no inverse; the transpose is right for every rotation.
        const Matrix3f mt = m.transposed();
        return (mt * t.toVector3f());
    }
    // The inverse's columns are the cofactor rows over the determinant.
    const Vector3d p = (c0 * t.x + c1 * t.y + c2 * t.z) * (1.0 / det);
    return p.toVector3f();
}

Frustum OrthoCamera::box() const
{
    const double aspect = effectiveAspect();
    return {-aspect * m_port, aspect * m_port, -static_cast<double>(m_port), static_cast<double>(m_port), m_near, m_far};
}

Matrix4f OrthoCamera::projection() const
{
    return box().orthographicMatrix();
}

void OrthoCamera::applyProjection(TileRenderer& tiles) const
{
    tiles.setOrthographic(box());
}

void OrthoCamera::drag(float x, float y)
{
    float dx = 0.0f, dy = 0.0f;
    dragDelta(x, y, dx, dy);
    switch (dragMode()) {
    case DragMode::Pan: {
        const float h = m_port * m_speed;
        m_center.x += -0.01f * h * dx;
        m_center.y += 0.01f * h * dy;
        break;
    }
    case DragMode::Rotate:
        m_azimuth -= dx / 90.0f;
        break;
    case DragMode::Dolly:
        m_port = static_cast<float>(m_port * std::exp(0.06 * m_speed * dy));
        break;
    default:
        break;
    }
}

void OrthoCamera::setLookAtPoint(const Vector3f&) {}

void OrthoCamera::fitBox(const BoundingBox&) {}

void OrthoCamera::writeText(std::ostream& out) const
{
    const std::streamsize precision = out.precision(9);
    out << m_azimuth << ' ' << m_port << '\n' << m_center << '\n' << m_basis;
    out.precision(precision);
}

void OrthoCamera::readText(std::istream& in)
{
    float azimuth = 0, port = 0;
    Vector2f center;
    Matrix3f basis;
    if (!(in >> azimuth >> port)) return;
    if (!(in >> center >> basis)) return;
    m_azimuth = azimuth, m_port = port;
    m_center = center;
    m_basis = basis;
}

void OrthoCamera::writeBinary(std::ostream& out) const
{
    const float values[13] = {m_azimuth,     m_port,        m_center.x,    m_center.y,    m_basis(0, 0),
                              m_basis(0, 1), m_basis(0, 2), m_basis(1, 0), m_basis(1, 1), m_basis(1, 2),
                              m_basis(2, 0), m_basis(2, 1), m_basis(2, 2)};
    cameramath::writeFloats(out, values, 13);
}

void OrthoCamera::readBinary(std::istream& in)
{
    float v[13];
    if (!cameramath::readFloats(in, v, 13)) return;
    m_azimuth = v[0], m_port = v[1];
    m_center = {v[2], v[3]};
    m_basis = Matrix3f(v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12]);
}
