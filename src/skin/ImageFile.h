#pragma once

#include "skin/PixelImage.h"

#include <string>

// Reads the picture of an image file as 8-bit RGB, whatever the file's format: JPEG through
// libjpeg (the decoder the toolkit uses, so a picture's pixels do not depend on who reads
// it), and PNG, BMP, TGA, GIF (first frame), PNM and the other formats stb_image knows. The
// format is told by the content, not the name. Grey images are widened to RGB and an alpha
// channel is dropped (not multiplied in).
//
// Throws IOException "Unable to load image 'PATH'." when the file cannot be opened or decoded,
// or is larger than kMaxDecodedImageSide pixels on a side (which no GL texture could hold anyway)
// or claims more pixels than a file of its size can encode in its format (a PNG 8,448 a byte
// beyond a first megapixel, the run-length formats 128 a byte); nothing is allocated for a size
// the header merely claims.
constexpr int kMaxDecodedImageSide = 16384;
PixelImage readImageFile(const std::string& path);

// The same from the bytes of a file; path only names it in the message. For the fuzzer.
PixelImage decodeImage(const unsigned char* bytes, std::size_t size, const std::string& path);

// The checks the reader makes before stb sees a file, for the model importer's texture
// conversion, which decodes with alpha through its own stb: false when a PNM header holds a
// number beyond an int or 16-bit samples (which stb overflows or misreads past its buffer),
// and true when a picture claims more pixels than a file of its size and format can hold.
bool pnmHeaderReadable(const unsigned char* bytes, std::size_t size);
bool claimsMoreThanItHolds(long long width, long long height, const unsigned char* bytes, std::size_t size);
