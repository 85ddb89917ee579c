#pragma once

#include "foundation/Vector3f.h"
#include "foundation/Vector4f.h"

#include <array>

// 4x4 float matrix stored row by row (m[r][c] at 4r + c). It transforms column vectors,
// p' = M * p with the translation in the last column, so OpenGL takes it transposed.
struct Matrix4f {
    std::array<float, 16> m{};

    static Matrix4f identity();
    static Matrix4f translation(const Vector3f& t);
    static Matrix4f scaling(const Vector3f& s);
    // Rotation about the unit axis by angleRadians, right-handed.
    static Matrix4f rotation(const Vector3f& axis, float angleRadians);
    // From the column-major array OpenGL returns for glGetFloatv.
    static Matrix4f fromColumnMajor(const float* values);

    float operator()(int r, int c) const { return m[4 * r + c]; }
    float& operator()(int r, int c) { return m[4 * r + c]; }

    Matrix4f operator*(const Matrix4f& o) const;
    Vector4f operator*(const Vector4f& v) const;
    // M * (p, 1) without the divide.
    Vector3f transformPoint(const Vector3f& p) const;
    // The linear part times v (no translation).
    Vector3f transformVector(const Vector3f& v) const;
    Matrix4f transposed() const;
    // The inverse by cofactors; returns false and leaves out untouched when singular.
    bool inverse(Matrix4f& out) const;

    const float* data() const { return m.data(); }
    bool operator==(const Matrix4f&) const = default;
};
