#pragma once

#include "foundation/PortableMath.h"

#include "foundation/Matrix3f.h"
#include "foundation/Vector3d.h"

#include <cmath>

// Unit quaternion (w, x, y, z) in double precision: bone rotations of the generated animals.
// Poses are composed and blended in double so that the float files carry only one rounding.
struct Quaternion {
    double w = 1.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Quaternion() = default;
    constexpr Quaternion(double w_, double x_, double y_, double z_) : w(w_), x(x_), y(y_), z(z_) {}

    // Right-handed rotation by `angle` radians about the unit `axis`.
    static Quaternion fromAxisAngle(const Vector3d& axis, double angle)
    {
        const double s = portable::sin(0.5 * angle);
        return {portable::cos(0.5 * angle), axis.x * s, axis.y * s, axis.z * s};
    }

    // The rotation of a 3x3 matrix that is a rotation up to rounding (Shepperd's method picks
    // the largest diagonal term so that no square root of a small number is taken).
    static Quaternion fromMatrix(const Matrix3f& m)
    {
        const double m00 = m(0, 0), m11 = m(1, 1), m22 = m(2, 2);
        const double trace = m00 + m11 + m22;
        Quaternion q;
        if (trace > 0.0) {
            const double s = 2.0 * std::sqrt(1.0 + trace);
            q = {0.25 * s, (m(2, 1) - m(1, 2)) / s, (m(0, 2) - m(2, 0)) / s, (m(1, 0) - m(0, 1)) / s};
        } else if (m00 > m11 && m00 > m22) {
            const double s = 2.0 * std::sqrt(1.0 + m00 - m11 - m22);
            q = {(m(2, 1) - m(1, 2)) / s, 0.25 * s, (m(0, 1) + m(1, 0)) / s, (m(0, 2) + m(2, 0)) / s};
        } else if (m11 > m22) {
            const double s = 2.0 * std::sqrt(1.0 + m11 - m00 - m22);
            q = {(m(0, 2) - m(2, 0)) / s, (m(0, 1) + m(1, 0)) / s, 0.25 * s, (m(1, 2) + m(2, 1)) / s};
        } else {
            const double s = 2.0 * std::sqrt(1.0 + m22 - m00 - m11);
            q = {(m(1, 0) - m(0, 1)) / s, (m(0, 2) + m(2, 0)) / s, (m(1, 2) + m(2, 1)) / s, 0.25 * s};
        }
        return q.normalized();
    }

    constexpr Quaternion operator*(const Quaternion& o) const
    {
        return {w * o.w - x * o.x - y * o.y - z * o.z, w * o.x + x * o.w + y * o.z - z * o.y,
                w * o.y - x * o.z + y * o.w + z * o.x, w * o.z + x * o.y - y * o.x + z * o.w};
    }
    constexpr Quaternion operator+(const Quaternion& o) const { return {w + o.w, x + o.x, y + o.y, z + o.z}; }
    constexpr Quaternion operator*(double s) const { return {w * s, x * s, y * s, z * s}; }
    constexpr Quaternion conjugate() const { return {w, -x, -y, -z}; }
    constexpr double dot(const Quaternion& o) const { return w * o.w + x * o.x + y * o.y + z * o.z; }
    double norm() const { return std::sqrt(dot(*this)); }
    Quaternion normalized() const { return *this * (1.0 / norm()); }

    // q v q* for a unit quaternion, expanded to avoid two full products.
    constexpr Vector3d rotate(const Vector3d& v) const
    {
        const Vector3d u{x, y, z};
        const Vector3d t = u.cross(v) * 2.0;
        return v + t * w + u.cross(t);
    }

    // The rotation matrix, row by row as Matrix3f stores it.
    Matrix3f toMatrix() const
    {
        const double xx = x * x, yy = y * y, zz = z * z, xy = x * y, xz = x * z, yz = y * z;
        const double wx = w * x, wy = w * y, wz = w * z;
        return {float(1 - 2 * (yy + zz)), float(2 * (xy - wz)),     float(2 * (xz + wy)),
                float(2 * (xy + wz)),     float(1 - 2 * (xx + zz)), float(2 * (yz - wx)),
                float(2 * (xz - wy)),     float(2 * (yz + wx)),     float(1 - 2 * (xx + yy))};
    }
};
