#pragma once

#include "skin/PixelImage.h"

#include <string>

// Writes a picture to path in the format its extension names, in any case: PNG (".png"), JPEG
// (".jpg", ".jpeg", ".jpe", quality 75), BMP (".bmp"), TGA (".tga") or binary PPM (".ppm",
// ".pnm"), through an AtomicFile, so a failure never leaves half an image in place of a good
// one. Needs no toolkit, so batch runs without a window system write their images with it.
// Throws IOException "Unable to write to image 'PATH'." when the extension names none of these
// formats or encoding or writing fails.
void saveImageFile(const PixelImage& image, const std::string& path);

// Whether saveImageFile writes files of this path's extension.
bool canSaveImageFile(const std::string& path);
