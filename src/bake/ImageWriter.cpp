#include "bake/ImageWriter.h"

#include "foundation/AtomicFile.h"

#include "foundation/Exception.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <string>
#include <string_view>

namespace {

void append(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

void check(int ok, const std::filesystem::path& path)
{
    if (!ok) throw IOException("Unable to encode image '" + path.string() + "'.");
}

} // namespace

void writePng(const std::filesystem::path& path, const RgbImage& image)
{
    std::string bytes;
    check(stbi_write_png_to_func(append, &bytes, image.width(), image.height(), 3, image.pixels().data(), image.width() * 3),
          path);
    writeFileAtomically(path, bytes);
}

void writeJpeg(const std::filesystem::path& path, const RgbImage& image, int quality)
{
    std::string bytes;
    check(stbi_write_jpg_to_func(append, &bytes, image.width(), image.height(), 3, image.pixels().data(), quality), path);
    writeFileAtomically(path, bytes);
}
