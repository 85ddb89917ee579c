#pragma once

#include "foundation/Vector3f.h"

// 3x3 float matrix stored as three rows; M * v dots row r with v for component r.
struct Matrix3f {
    Vector3f row[3];

    constexpr Matrix3f() = default;
    constexpr Matrix3f(float m00, float m01, float m02, float m10, float m11, float m12, float m20,
                       float m21, float m22)
        : row{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}}
    {
    }
    // The diagonal matrix with d on the diagonal: zero(0) and identity(1).
    static constexpr Matrix3f diagonal(float d) { return {d, 0, 0, 0, d, 0, 0, 0, d}; }

    constexpr Vector3f& operator[](int r) { return row[r]; }
    constexpr const Vector3f& operator[](int r) const { return row[r]; }
    constexpr float operator()(int r, int c) const { return row[r][c]; }
    constexpr float& operator()(int r, int c) { return row[r][c]; }

    constexpr Matrix3f& operator+=(const Matrix3f& o)
    {
        for (int r = 0; r < 3; ++r) row[r] += o.row[r];
        return *this;
    }
    constexpr Matrix3f operator*(float s) const
    {
        Matrix3f m = *this;
        for (auto& r : m.row) r *= s;
        return m;
    }
    constexpr Vector3f operator*(const Vector3f& v) const
    {
        return {row[0].dot(v), row[1].dot(v), row[2].dot(v)};
    }
    constexpr Matrix3f operator*(const Matrix3f& o) const
    {
        Matrix3f m;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                m.row[r][c] = row[r][0] * o.row[0][c] + row[r][1] * o.row[1][c] + row[r][2] * o.row[2][c];
        return m;
    }
    constexpr Matrix3f transposed() const
    {
        return {row[0].x, row[1].x, row[2].x, row[0].y, row[1].y, row[2].y, row[0].z, row[1].z, row[2].z};
    }
    constexpr bool operator==(const Matrix3f&) const = default;
};
