#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// PNG bytes of an 8-bit RGBA picture (rows top to bottom, 4 bytes a pixel). Throws
// IOException naming `what` when it cannot be encoded.
std::string encodePngRgba(int width, int height, const std::uint8_t* rgba, const std::string& what);

// Any picture stb_image reads (PNG, JPEG, BMP, TGA, GIF, PSD, HDR, PIC) as PNG bytes; PNG
// input is kept as it is. Throws IOException naming `what` with the decoder's reason when the
// bytes are no picture it knows or are damaged.
std::string convertToPng(std::string_view bytes, const std::string& what);
