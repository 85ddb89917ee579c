#pragma once

// Two floats: texture coordinates (u, v).
struct Vector2f {
    float x = 0.0f;
    float y = 0.0f;

    constexpr Vector2f() = default;
    constexpr Vector2f(float x_, float y_) : x(x_), y(y_) {}

    constexpr float& operator[](int i) { return i == 0 ? x : y; }
    constexpr float operator[](int i) const { return i == 0 ? x : y; }

    constexpr Vector2f operator+(const Vector2f& o) const { return {x + o.x, y + o.y}; }
    constexpr Vector2f operator-(const Vector2f& o) const { return {x - o.x, y - o.y}; }
    constexpr Vector2f operator*(float s) const { return {x * s, y * s}; }
    constexpr float dot(const Vector2f& o) const { return x * o.x + y * o.y; }
    constexpr bool operator==(const Vector2f&) const = default;
};
