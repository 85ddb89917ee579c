#include "render/ImageFileSaving.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <jpeglib.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace {

enum class Format { None, Png, Jpeg, Bmp, Tga, Ppm };

Format formatOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".png") return Format::Png;
    if (extension == ".jpg" || extension == ".jpeg" || extension == ".jpe") return Format::Jpeg;
    if (extension == ".bmp") return Format::Bmp;
    if (extension == ".tga") return Format::Tga;
    if (extension == ".ppm" || extension == ".pnm") return Format::Ppm;
    return Format::None;
}

void appendBytes(void* context, void* data, int size)
{
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegFailed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// libjpeg reports errors by calling back; the jump leaves it without unwinding C++ frames, so
// nothing here owns anything but plain memory that jpeg_destroy_compress frees.
bool encodeJpeg(const PixelImage& image, std::string& out)
{
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFailed;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 75, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(image.rgb.data()) + info.next_scanline * image.rowBytes();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    out.assign(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return true;
}

bool encode(const PixelImage& image, Format format, std::string& out)
{
    const int w = image.width, h = image.height;
    const void* pixels = image.rgb.data();
    switch (format) {
    case Format::Png:
        return stbi_write_png_to_func(appendBytes, &out, w, h, 3, pixels, static_cast<int>(image.rowBytes())) != 0;
    case Format::Jpeg: return encodeJpeg(image, out);
    case Format::Bmp: return stbi_write_bmp_to_func(appendBytes, &out, w, h, 3, pixels) != 0;
    case Format::Tga: return stbi_write_tga_to_func(appendBytes, &out, w, h, 3, pixels) != 0;
    case Format::Ppm:
        out = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        out.append(reinterpret_cast<const char*>(image.rgb.data()), image.rgb.size());
        return true;
    case Format::None: break;
    }
    return false;
}

} // namespace

bool canSaveImageFile(const std::string& path)
{
    return formatOf(path) != Format::None;
}

void saveImageFile(const PixelImage& image, const std::string& path)
{
    const IOException failure("Unable to write to image '" + path + "'.");
    const Format format = formatOf(path);
    if (format == Format::None || image.width < 1 || image.height < 1 ||
        image.rgb.size() != image.rowBytes() * static_cast<std::size_t>(image.height))
        throw failure;
    std::string bytes;
    if (!encode(image, format, bytes)) throw failure;
    try {
        writeFileAtomically(path, bytes);
    } catch (const IOException&) {
        // The message stays the command's own whatever failed underneath.
        throw failure;
    }
}
