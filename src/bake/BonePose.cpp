#include "bake/BonePose.h"

#include <algorithm>
#include <cmath>

Matrix3d rotationMatrix(const Quaternion& q)
{
    const Vector3d ex = q.rotate({1, 0, 0}), ey = q.rotate({0, 1, 0}), ez = q.rotate({0, 0, 1});
    return {{{ex.x, ey.x, ez.x}, {ex.y, ey.y, ez.y}, {ex.z, ey.z, ez.z}}};
}

Matrix3d polarRotation(const Matrix3d& m)
{
    Matrix3d r = determinant(m) < 0.0 ? Matrix3d{{{-m[0][0], -m[0][1], -m[0][2]},
                                                   {-m[1][0], -m[1][1], -m[1][2]},
                                                   {-m[2][0], -m[2][1], -m[2][2]}}}
                                      : m;
    // Quadratic convergence: a pose with moderate scale settles in well under 20 steps, and
    // going on past convergence changes nothing but the last bits.
    for (int step = 0; step < 20; ++step) {
        const Matrix3d inverseTransposed = transposed(inverse(r));
        Matrix3d next;
        double change = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                next[i][j] = 0.5 * (r[i][j] + inverseTransposed[i][j]);
                change = std::max(change, std::fabs(next[i][j] - r[i][j]));
            }
        r = next;
        if (change < 1e-15) break;
    }
    return r;
}

namespace {

// Shepperd's method in double: the largest diagonal term decides, so no square root of a
// small number is taken.
Quaternion quaternionOf(const Matrix3d& m)
{
    const double trace = m[0][0] + m[1][1] + m[2][2];
    Quaternion q;
    if (trace > 0.0) {
        const double s = 2.0 * std::sqrt(1.0 + trace);
        q = {0.25 * s, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
        q = {(m[2][1] - m[1][2]) / s, 0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
        q = {(m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s};
    } else {
        const double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
        q = {(m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s};
    }
    return q.normalized();
}

} // namespace

BonePose BonePose::fromRigid(const RigidTransform& rigid)
{
    BonePose pose;
    pose.rigid = rigid;
    pose.linear = rotationMatrix(rigid.rotation);
    return pose;
}

BonePose BonePose::fromAffine(const Matrix3d& linear, const Vector3d& translation)
{
    BonePose pose;
    pose.linear = linear;
    const double det = determinant(linear);
    if (!(std::fabs(det) > 1e-30) || !std::isfinite(det)) {
        // A collapsed bone (scaled to nothing) has no rotation; it blends as the identity and
        // its vertices keep the linear blend as their reference.
        pose.rigid = {Quaternion{}, translation};
        pose.stretch = linear;
        pose.stretched = true;
        return pose;
    }
    const Matrix3d r = polarRotation(linear);
    pose.rigid = {quaternionOf(r), translation};
    // S = R^T m, measured against the rotation actually used (the quaternion's).
    pose.stretch = multiply(transposed(rotationMatrix(pose.rigid.rotation)), linear);
    pose.stretched = true;
    return pose;
}
