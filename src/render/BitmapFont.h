#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// One glyph of a bitmap font: the pen moves `advance` pixels right after it; its `width` x
// `height` pixels start `left` pixels right of and `bottom` pixels above the pen (negative:
// below the baseline). rows[0] is the bottom row; bit (width - 1 - x) of a row is pixel x.
struct BitmapGlyph {
    int advance = 0;
    int left = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
    std::array<std::uint16_t, 16> rows{};
};

// A bitmap font of 256 glyphs indexed by byte (Latin-1), drawn pixel for pixel: the same text
// lands on the same pixels in any GL context, with or without a window system.
struct BitmapFont {
    const std::array<BitmapGlyph, 256>& glyphs;
    // Line height in pixels.
    int height = 0;

    // Sum of the advances of the text's bytes.
    int textWidth(std::string_view text) const;
};

// The overlay's font: 10-pixel Helvetica, glyph for glyph as GLUT_BITMAP_HELVETICA_10.
const BitmapFont& helvetica10();
