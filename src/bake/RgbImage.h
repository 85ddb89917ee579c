#pragma once

#include "foundation/Vector3f.h"

#include <cstdint>
#include <vector>

// An 8-bit RGB picture, rows top to bottom as image files store them.
class RgbImage {
public:
    RgbImage(int width, int height) : m_width(width), m_height(height), m_pixels(std::size_t(width) * height * 3, 0) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<std::uint8_t>& pixels() const { return m_pixels; }

    // Stores a colour with components in [0, 1] (clamped), rounded to the nearest step.
    void set(int x, int y, const Vector3f& colour)
    {
        std::uint8_t* p = &m_pixels[(std::size_t(y) * m_width + x) * 3];
        for (int c = 0; c < 3; ++c) {
            const float v = colour[c] < 0.0f ? 0.0f : (colour[c] > 1.0f ? 1.0f : colour[c]);
            p[c] = static_cast<std::uint8_t>(v * 255.0f + 0.5f);
        }
    }
    Vector3f get(int x, int y) const
    {
        const std::uint8_t* p = &m_pixels[(std::size_t(y) * m_width + x) * 3];
        return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
    }

private:
    int m_width;
    int m_height;
    std::vector<std::uint8_t> m_pixels;
};
