#pragma once

#include "skin/PixelImage.h"

#include <string>

// Writes a picture to path in the format of its extension, as the toolkit's image handlers
// write them (PNG, JPEG, BMP, TIFF, ...; the extension in any case), through an AtomicFile, so
// a failure never leaves half an image in place of a good one. Throws IOException "Unable to
// write to image 'PATH'." when the extension names no format or writing fails. Needs the
// image handlers registered.
void writeImageFile(const PixelImage& image, const std::string& path);
