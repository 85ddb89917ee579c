#pragma once

#include "foundation/Vector3f.h"

// Four floats: homogeneous points and planes.
struct Vector4f {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr Vector4f() = default;
    constexpr Vector4f(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Vector4f(const Vector3f& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}

    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }

    constexpr Vector4f operator+(const Vector4f& o) const { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
    constexpr Vector4f operator-(const Vector4f& o) const { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
    constexpr Vector4f operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
    constexpr float dot(const Vector4f& o) const { return x * o.x + y * o.y + z * o.z + w * o.w; }
    constexpr bool operator==(const Vector4f&) const = default;

    // The projected point (x/w, y/w, z/w).
    constexpr Vector3f toVector3f() const { return {x / w, y / w, z / w}; }
};

// The vector orthogonal to a, b and c (cofactor expansion of the 4x4 determinant);
// the plane through three homogeneous points.
Vector4f cross(const Vector4f& a, const Vector4f& b, const Vector4f& c);
