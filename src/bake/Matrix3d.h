#pragma once

#include "foundation/Matrix3f.h"
#include "foundation/Vector3d.h"

#include <array>

// 3x3 double matrix, row by row: blended linear parts and bone poses while baking, kept in
// double so that the float files carry only one rounding.
using Matrix3d = std::array<std::array<double, 3>, 3>;

constexpr Matrix3d identityMatrix3d() { return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

inline Vector3d multiply(const Matrix3d& m, const Vector3d& v)
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

inline Matrix3d multiply(const Matrix3d& a, const Matrix3d& b)
{
    Matrix3d m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
    return m;
}

inline Matrix3d transposed(const Matrix3d& m)
{
    return {{{m[0][0], m[1][0], m[2][0]}, {m[0][1], m[1][1], m[2][1]}, {m[0][2], m[1][2], m[2][2]}}};
}

inline double determinant(const Matrix3d& m)
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) + m[0][1] * (m[1][2] * m[2][0] - m[1][0] * m[2][2]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Inverse by the adjugate. The caller guards against a singular matrix (the result is then
// infinite or not a number).
inline Matrix3d inverse(const Matrix3d& m)
{
    Matrix3d a;
    a[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    a[0][1] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    a[0][2] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    a[1][0] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    a[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    a[1][2] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    a[2][0] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    a[2][1] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    a[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const double det = m[0][0] * a[0][0] + m[0][1] * a[1][0] + m[0][2] * a[2][0];
    for (auto& row : a)
        for (double& x : row) x /= det;
    return a;
}

inline Matrix3f toMatrix3f(const Matrix3d& m)
{
    return {float(m[0][0]), float(m[0][1]), float(m[0][2]), float(m[1][0]), float(m[1][1]),
            float(m[1][2]), float(m[2][0]), float(m[2][1]), float(m[2][2])};
}

inline Matrix3d toMatrix3d(const Matrix3f& m)
{
    return {{{m(0, 0), m(0, 1), m(0, 2)}, {m(1, 0), m(1, 1), m(1, 2)}, {m(2, 0), m(2, 1), m(2, 2)}}};
}

// An affine map p' = linear p + translation in double: node and bone transforms while a
// model is read and placed.
struct Affine3d {
    Matrix3d linear = identityMatrix3d();
    Vector3d translation;

    Vector3d apply(const Vector3d& p) const { return multiply(linear, p) + translation; }
    // (a * b)(p) = a(b(p)).
    Affine3d operator*(const Affine3d& b) const { return {multiply(linear, b.linear), apply(b.translation)}; }
    // The caller guards against a singular linear part.
    Affine3d inverse() const
    {
        const Matrix3d undo = ::inverse(linear);
        return {undo, -multiply(undo, translation)};
    }
};
