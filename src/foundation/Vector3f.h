#pragma once

#include <cmath>

// Three floats: positions, normals and colours (r, g, b).
struct Vector3f {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3f() = default;
    constexpr Vector3f(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Vector3f operator+(const Vector3f& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vector3f operator-(const Vector3f& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vector3f operator-() const { return {-x, -y, -z}; }
    constexpr Vector3f operator*(float s) const { return {x * s, y * s, z * s}; }
    constexpr Vector3f& operator+=(const Vector3f& o) { x += o.x; y += o.y; z += o.z; return *this; }
    constexpr Vector3f& operator-=(const Vector3f& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    constexpr Vector3f& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    constexpr bool operator==(const Vector3f&) const = default;

    constexpr float dot(const Vector3f& o) const { return x * o.x + y * o.y + z * o.z; }
    constexpr Vector3f cross(const Vector3f& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    float length() const { return std::sqrt(dot(*this)); }
    // Multiplies by 1 / length; the zero vector is the caller's to guard against.
    Vector3f normalized() const { return *this * (1.0f / length()); }
    void normalize() { *this *= 1.0f / length(); }
};

constexpr Vector3f operator*(float s, const Vector3f& v) { return v * s; }
