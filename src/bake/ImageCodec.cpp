#include "bake/ImageCodec.h"

#include "foundation/Exception.h"
#include "foundation/PngChunks.h"

#include "skin/ImageFile.h"

// The decoder reads bytes from model files of unknown origin; it only ever runs inside the
// import, which the viewer keeps in a child process. JPEG goes through the viewer's libjpeg
// reader instead: stb's JPEG decoder overruns its Huffman tables on a corrupt file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_JPEG
#include <stb/stb_image.h>

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void append(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// Pictures larger than this are refused rather than decoded (64 M pixels, 256 MB as RGBA).
constexpr long long kMaxPixels = 64ll * 1024 * 1024;

std::string jpegToPng(std::string_view bytes, const std::string& what);

} // namespace

std::string encodePngRgba(int width, int height, const std::uint8_t* rgba, const std::string& what)
{
    std::string bytes;
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels ||
        !stbi_write_png_to_func(append, &bytes, width, height, 4, rgba, width * 4))
        throw IOException("Unable to encode image '" + what + "' as PNG.");
    return bytes;
}

std::string convertToPng(std::string_view bytes, const std::string& what)
{
    static constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() > static_cast<std::size_t>(1) << 30)
        throw IOException("Image '" + what + "' is too large (" + std::to_string(bytes.size()) + " bytes).");
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8)
        return jpegToPng(bytes, what);
    int width = 0, height = 0, channels = 0;
    std::string storage;
    const std::string_view decoded = safePngChunks(bytes, storage);
    const auto* data = reinterpret_cast<const stbi_uc*>(decoded.data());
    const int length = static_cast<int>(decoded.size());
    if (!pnmHeaderReadable(data, decoded.size()))
        throw IOException("Image '" + what + "' cannot be read: unsupported PNM header.");
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        throw IOException("Image '" + what + "' cannot be read: " + stbi_failure_reason() + ".");
    if (static_cast<long long>(width) * height > kMaxPixels)
        throw IOException("Image '" + what + "' is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels).");
    if (claimsMoreThanItHolds(width, height, data, decoded.size()))
        throw IOException("Image '" + what + "' cannot be read: it claims more pixels than its " +
                          std::to_string(bytes.size()) + " bytes can hold.");
    const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, length, &width, &height, &channels, 4),
                                                          stbi_image_free);
    if (!pixels) throw IOException("Image '" + what + "' cannot be read: " + stbi_failure_reason() + ".");
    // A PNG that decodes whole is kept byte for byte (16-bit channels and all).
    if (bytes.size() >= sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0)
        return std::string(bytes);
    return encodePngRgba(width, height, pixels.get(), what);
}

namespace {

// A JPEG has no alpha: its pixels go opaque into the PNG.
std::string jpegToPng(std::string_view bytes, const std::string& what)
{
    PixelImage image;
    try {
        image = decodeImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), what);
    } catch (const IOException&) {
        throw IOException("Image '" + what + "' cannot be read: corrupt JPEG.");
    }
    if (static_cast<long long>(image.width) * image.height > kMaxPixels)
        throw IOException("Image '" + what + "' is too large (" + std::to_string(image.width) + " x " +
                          std::to_string(image.height) + " pixels).");
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(image.width) * image.height * 4, 0xFF);
    for (std::size_t pixel = 0; pixel * 3 < image.rgb.size(); ++pixel)
        std::copy_n(image.rgb.begin() + static_cast<std::ptrdiff_t>(pixel * 3), 3,
                    rgba.begin() + static_cast<std::ptrdiff_t>(pixel * 4));
    return encodePngRgba(image.width, image.height, rgba.data(), what);
}

} // namespace
