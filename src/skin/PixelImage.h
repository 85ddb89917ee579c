#pragma once

#include <cstddef>
#include <vector>

// An 8-bit RGB picture: width x height pixels of three bytes, tightly packed, rows top to
// bottom as image files store them. What textures are made from and exports are written
// from; a plain value, so it travels between the GL layer and whoever reads or writes files.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 3; }
    // Reverses the row order in place (GL counts rows from the bottom, files from the top).
    // In place, since a flipped copy would double the largest allocation of an export.
    void flipRows();
};
