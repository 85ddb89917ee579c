#include "BentCylinder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Row-major 3x4 rigid transforms in double.
struct Rigid {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    Rigid operator*(const Rigid& b) const
    {
        Rigid r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j] + (j == 3 ? m[i][3] : 0.0);
            }
        return r;
    }
    std::array<double, 3> apply(const std::array<double, 3>& p) const
    {
        std::array<double, 3> q;
        for (int i = 0; i < 3; ++i) q[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
        return q;
    }
};

Rigid translation(double x, double y, double z)
{
    Rigid r;
    r.m[0][3] = x;
    r.m[1][3] = y;
    r.m[2][3] = z;
    return r;
}

Rigid rotationZ(double a)
{
    Rigid r;
    r.m[0][0] = std::cos(a);
    r.m[0][1] = -std::sin(a);
    r.m[1][0] = std::sin(a);
    r.m[1][1] = std::cos(a);
    return r;
}

Rigid rotationX(double a)
{
    Rigid r;
    r.m[1][1] = std::cos(a);
    r.m[1][2] = -std::sin(a);
    r.m[2][1] = std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}

constexpr double kDegree = std::numbers::pi / 180.0;

// The skinning matrices (global pose times inverse bind) of the three joints at t.
std::array<Rigid, 3> skinningMatrices(double t)
{
    t = std::clamp(t, 0.0, BentCylinder::kDuration);
    const double bend = 60.0 * kDegree * t;
    const double nod = (t <= 0.5 ? 60.0 * t : 60.0 * (1.0 - t)) * kDegree;
    const Rigid g0 = translation(0, 0, 0.5 * t);
    const Rigid g1 = g0 * translation(0, 1, 0) * rotationZ(bend);
    const Rigid g2 = g1 * translation(0, 1, 0) * rotationX(nod);
    return {g0, g1 * translation(0, -1, 0), g2 * translation(0, -2, 0)};
}

struct Weights {
    int bone[2];
    double weight[2];
};

Weights weightsAt(double y)
{
    if (y <= 0.5) return {{0, 1}, {1, 0}};
    if (y < 1.5) return {{0, 1}, {1.5 - y, y - 0.5}};
    if (y < 2.5) return {{1, 2}, {2.5 - y, y - 1.5}};
    return {{2, 1}, {1, 0}};
}

// Quaternion (w, x, y, z) of a rotation matrix with a positive trace (these are turns below
// 90 degrees).
std::array<double, 4> quaternionOf(const Rigid& r)
{
    const double w = 0.5 * std::sqrt(1.0 + r.m[0][0] + r.m[1][1] + r.m[2][2]);
    return {w, (r.m[2][1] - r.m[1][2]) / (4 * w), (r.m[0][2] - r.m[2][0]) / (4 * w), (r.m[1][0] - r.m[0][1]) / (4 * w)};
}

std::array<double, 4> product(const std::array<double, 4>& a, const std::array<double, 4>& b)
{
    return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3], a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
            a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1], a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

} // namespace

BentCylinder::BentCylinder()
{
    for (int ring = 0; ring < kRings; ++ring) {
        const double y = 3.0 * ring / (kRings - 1);
        const Weights w = weightsAt(y);
        for (int k = 0; k < kSegments; ++k) {
            const double a = 2.0 * std::numbers::pi * k / kSegments;
            m_gltf.positions.push_back({float(0.25 * std::cos(a)), float(y), float(0.25 * std::sin(a))});
            m_gltf.normals.push_back({float(std::cos(a)), 0.0f, float(std::sin(a))});
            m_gltf.joints.push_back({std::uint16_t(w.bone[0]), std::uint16_t(w.bone[1]), 0, 0});
            m_gltf.weights.push_back({float(w.weight[0]), float(w.weight[1]), 0.0f, 0.0f});
        }
    }
    // Outward-facing quads between neighbouring rings.
    for (int ring = 0; ring + 1 < kRings; ++ring)
        for (int k = 0; k < kSegments; ++k) {
            const std::uint32_t a = ring * kSegments + k, b = ring * kSegments + (k + 1) % kSegments;
            const std::uint32_t c = a + kSegments, d = b + kSegments;
            m_gltf.indices.insert(m_gltf.indices.end(), {a, c, b, b, c, d});
        }
    m_gltf.skeleton = {{"hip", -1, {0, 0, 0}, {0, 0, 0, 1}}, {"knee", 0, {0, 1, 0}, {0, 0, 0, 1}},
                       {"neck", 1, {0, 1, 0}, {0, 0, 0, 1}}};
    for (int j = 0; j < 3; ++j) {
        std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, float(-j), 0, 1};
        m_gltf.inverseBindMatrices.push_back(m);
    }
    const float half30 = float(std::sin(15.0 * kDegree)), cos30 = float(std::cos(15.0 * kDegree));
    const float half60 = float(std::sin(30.0 * kDegree)), cos60 = float(std::cos(30.0 * kDegree));
    m_gltf.tracks = {
        {0, false, {0.0f, 1.0f}, {{0, 0, 0, 0}, {0, 0, 0.5f, 0}}},
        {1, true, {0.0f, 1.0f}, {{0, 0, 0, 1}, {0, 0, half60, cos60}}},
        {2, true, {0.0f, 0.5f, 1.0f}, {{0, 0, 0, 1}, {half30, 0, 0, cos30}, {0, 0, 0, 1}}},
    };
}

std::array<double, 3> BentCylinder::linearBlend(std::size_t v, double t) const
{
    const std::array<Rigid, 3> matrices = skinningMatrices(t);
    const std::array<double, 3> p{m_gltf.positions[v][0], m_gltf.positions[v][1], m_gltf.positions[v][2]};
    std::array<double, 3> sum{0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::array<double, 3> q = matrices[m_gltf.joints[v][i]].apply(p);
        for (int c = 0; c < 3; ++c) sum[c] += m_gltf.weights[v][i] * q[c];
    }
    return sum;
}

std::array<double, 3> BentCylinder::dualQuaternion(std::size_t v, double t) const
{
    const std::array<Rigid, 3> matrices = skinningMatrices(t);
    std::array<double, 4> real{0, 0, 0, 0}, dual{0, 0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        const Rigid& m = matrices[m_gltf.joints[v][i]];
        const std::array<double, 4> r = quaternionOf(m);
        const std::array<double, 4> d = product({0, m.m[0][3], m.m[1][3], m.m[2][3]}, r);
        for (int c = 0; c < 4; ++c) {
            real[c] += m_gltf.weights[v][i] * r[c];
            dual[c] += m_gltf.weights[v][i] * 0.5 * d[c];
        }
    }
    const double n = std::sqrt(real[0] * real[0] + real[1] * real[1] + real[2] * real[2] + real[3] * real[3]);
    for (int c = 0; c < 4; ++c) {
        real[c] /= n;
        dual[c] /= n;
    }
    // Rotation of p by the real part, plus the translation 2 dual conj(real).
    const std::array<double, 4> p{0, m_gltf.positions[v][0], m_gltf.positions[v][1], m_gltf.positions[v][2]};
    const std::array<double, 4> conjugate{real[0], -real[1], -real[2], -real[3]};
    const std::array<double, 4> turned = product(product(real, p), conjugate);
    const std::array<double, 4> moved = product(dual, conjugate);
    return {turned[1] + 2 * moved[1], turned[2] + 2 * moved[2], turned[3] + 2 * moved[3]};
}
