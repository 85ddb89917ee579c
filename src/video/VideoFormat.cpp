#include "video/VideoFormat.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

std::optional<VideoFormat> videoFormatForPath(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".mp4") return VideoFormat{extension, "mp4", "libx264", "H.264", true, 8192};
    if (extension == ".mkv") return VideoFormat{extension, "matroska", "libx264", "H.264", true, 8192};
    if (extension == ".webm") return VideoFormat{extension, "webm", "libvpx-vp9", "VP9", false, 4096};
    return std::nullopt;
}

std::string knownVideoExtensions()
{
    return "'.mp4', '.mkv' or '.webm'";
}

VideoSize adjustVideoSize(const VideoFormat& format, int width, int height)
{
    VideoSize size{width, height, false, {}};
    if (format.needsEvenSides) {
        // Rounding down keeps every pixel of the video one the caller drew; 1 has no even
        // number below it.
        const auto even = [](int side) { return side <= 2 ? 2 : side - side % 2; };
        size.width = even(width);
        size.height = even(height);
    }
    size.adjusted = size.width != width || size.height != height;
    if (size.adjusted)
        size.note = "The video is " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                    " pixels: " + format.codecLabel + " needs an even width and height, so " +
                    std::to_string(width) + " x " + std::to_string(height) + " was rounded.";
    return size;
}
