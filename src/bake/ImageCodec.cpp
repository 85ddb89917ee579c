#include "bake/ImageCodec.h"

#include "foundation/Exception.h"
#include "foundation/PngChunks.h"

// The decoder reads bytes from model files of unknown origin; it only ever runs inside the
// import, which the viewer keeps in a child process.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <stb/stb_image_write.h>

#include <cstring>
#include <memory>

namespace {

void append(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// Pictures larger than this are refused rather than decoded (64 M pixels, 256 MB as RGBA).
constexpr long long kMaxPixels = 64ll * 1024 * 1024;

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
    int width = 0, height = 0, channels = 0;
    std::string storage;
    const std::string_view decoded = safePngChunks(bytes, storage);
    const auto* data = reinterpret_cast<const stbi_uc*>(decoded.data());
    const int length = static_cast<int>(decoded.size());
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        throw IOException("Image '" + what + "' cannot be read: " + stbi_failure_reason() + ".");
    if (static_cast<long long>(width) * height > kMaxPixels)
        throw IOException("Image '" + what + "' is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels).");
    const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, length, &width, &height, &channels, 4),
                                                          stbi_image_free);
    if (!pixels) throw IOException("Image '" + what + "' cannot be read: " + stbi_failure_reason() + ".");
    // A PNG that decodes whole is kept byte for byte (16-bit channels and all).
    if (bytes.size() >= sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0)
        return std::string(bytes);
    return encodePngRgba(width, height, pixels.get(), what);
}
