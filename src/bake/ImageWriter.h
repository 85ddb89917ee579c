#pragma once

#include "bake/RgbImage.h"

#include <filesystem>

// PNG and JPEG files of RGB pictures (through stb_image_write), each encoded in memory and then
// written atomically. Throws IOException when encoding or writing fails.
void writePng(const std::filesystem::path& path, const RgbImage& image);
void writeJpeg(const std::filesystem::path& path, const RgbImage& image, int quality);
