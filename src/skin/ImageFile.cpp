#include "skin/ImageFile.h"

#include "foundation/Exception.h"
#include "foundation/PngChunks.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <string_view>

#include <jpeglib.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
// JPEG is libjpeg's below; stb's own JPEG decoder, which also takes files that start with fill
// bytes before their start marker, overruns its Huffman tables on a corrupt one.
#define STBI_NO_JPEG
#define STBI_MAX_DIMENSIONS kMaxDecodedImageSide
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

// The most pixels a file of each kind can hold per byte, so that a header claiming more is
// refused before the decoder allocates for it (or spends seconds making up pixels past the
// end of a cut file). PNG at best packs eight 1-bit pixels into a byte that deflate shrinks
// 1032 times; GIF's twelve-bit codes and JPEG's smallest blocks stay far below 4,096 (a first
// megapixel is allowed these three besides, as a margin). The run lengths of TGA, BMP, PSD,
// HDR and PIC hold at most 128 pixels in a packet of two bytes or more, and PNM writes every
// pixel out, so for them 128 a byte is already generous.
struct PixelDensity {
    long long perByte;
    long long alwaysAllowed;
};

PixelDensity densityOf(const unsigned char* bytes, std::size_t size)
{
    const auto startsWith = [&](std::string_view magic) {
        return size >= magic.size() && std::equal(magic.begin(), magic.end(), bytes, [](char m, unsigned char b) {
                   return static_cast<unsigned char>(m) == b;
               });
    };
    if (startsWith("\x89PNG")) return {8448, 1 << 20};
    if (startsWith("GIF8") || startsWith("\xFF\xD8\xFF")) return {4096, 1 << 20};
    return {128, 0};
}

bool isJpeg(const unsigned char* bytes, std::size_t size)
{
    return size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// libjpeg reports errors by calling error_exit, which must not return; it jumps back to the
// decoder instead of ending the program (its default). No C++ object with a destructor lives
// between the setjmp and the jump.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// Decodes into image, which the caller owns; false on any error. Written with setjmp, so the
// pixel buffer is sized only once the header is known and checked.
bool decodeJpeg(const unsigned char* bytes, std::size_t size, PixelImage& image)
{
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegErrorExit;
    // Corrupt-data warnings would go to standard error for every texture; a broken file is
    // reported once, by the caller.
    error.manager.emit_message = jpegSilence;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxDecodedImageSide ||
        info.image_height > kMaxDecodedImageSide || claimsMoreThanItHolds(info.image_width, info.image_height, bytes, size)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // The decoder's defaults otherwise (accurate integer IDCT, smooth chroma upsampling), as
    // the toolkit reads JPEG files.
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    try {
        image.rgb.resize(image.rowBytes() * static_cast<std::size_t>(image.height));
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.rgb.data() + static_cast<std::size_t>(info.output_scanline) * image.rowBytes();
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool decodeOther(const unsigned char* original, std::size_t originalSize, PixelImage& image)
{
    std::string storage;
    const std::string_view kept =
        safePngChunks({reinterpret_cast<const char*>(original), originalSize}, storage);
    const auto* bytes = reinterpret_cast<const unsigned char*>(kept.data());
    const std::size_t size = kept.size();
    if (size > static_cast<std::size_t>(INT32_MAX)) return false;
    const int length = static_cast<int>(size);
    if (!pnmHeaderReadable(bytes, size)) return false;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) return false;
    if (width <= 0 || height <= 0 || width > kMaxDecodedImageSide || height > kMaxDecodedImageSide ||
        claimsMoreThanItHolds(width, height, bytes, size))
        return false;
    stbi_uc* pixels = stbi_load_from_memory(bytes, length, &width, &height, &channels, 3);
    if (pixels == nullptr) return false;
    image.width = width;
    image.height = height;
    image.rgb.assign(pixels, pixels + image.rowBytes() * static_cast<std::size_t>(height));
    stbi_image_free(pixels);
    return true;
}

} // namespace

bool claimsMoreThanItHolds(long long width, long long height, const unsigned char* bytes, std::size_t size)
{
    const PixelDensity density = densityOf(bytes, size);
    return width * height > density.alwaysAllowed + density.perByte * static_cast<long long>(size);
}

// stb reads a PNM header's numbers into an int without a check, so a width of ten digits
// overflows it, and it reads 16-bit samples (a largest value above 255) in the wrong byte order
// and then converts them to RGB as if they were 8-bit, past the end of its buffer. The header
// (magic, then width, height and largest value, between blanks and comments) is read here
// first; a number beyond an int, or samples wider than a byte, are refused.
bool pnmHeaderReadable(const unsigned char* bytes, std::size_t size)
{
    if (size < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return true;
    std::size_t at = 2;
    long long value = 0;
    for (int number = 0; number < 3; ++number) {
        while (at < size && (std::isspace(bytes[at]) || bytes[at] == '#')) {
            if (bytes[at] == '#')
                while (at < size && bytes[at] != '\n' && bytes[at] != '\r') ++at;
            else
                ++at;
        }
        value = 0;
        for (; at < size && bytes[at] >= '0' && bytes[at] <= '9'; ++at) {
            value = value * 10 + (bytes[at] - '0');
            if (value > INT32_MAX) return false;
        }
    }
    return value <= 255;
}

void PixelImage::flipRows()
{
    const std::size_t bytes = rowBytes();
    std::vector<unsigned char> row(bytes);
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        unsigned char* a = rgb.data() + static_cast<std::size_t>(top) * bytes;
        unsigned char* b = rgb.data() + static_cast<std::size_t>(bottom) * bytes;
        std::copy_n(a, bytes, row.data());
        std::copy_n(b, bytes, a);
        std::copy_n(row.data(), bytes, b);
    }
}

PixelImage decodeImage(const unsigned char* bytes, std::size_t size, const std::string& path)
{
    PixelImage image;
    bool decoded = false;
    try {
        decoded = isJpeg(bytes, size) ? decodeJpeg(bytes, size, image) : decodeOther(bytes, size, image);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    if (!decoded) throw IOException("Unable to load image '" + path + "'.");
    return image;
}

PixelImage readImageFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IOException("Unable to load image '" + path + "'.");
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw IOException("Unable to load image '" + path + "'.");
    return decodeImage(bytes.data(), bytes.size(), path);
}
