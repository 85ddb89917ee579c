#pragma once

#include <optional>
#include <string>

// What a video file's extension asks for: the container, the codec and the frame sizes the
// codec takes. Pure rules, no FFmpeg: the viewer can check a chosen name before rendering.
struct VideoFormat {
    std::string extension;     // lower case, with the dot: ".mp4"
    std::string muxerName;     // FFmpeg's short name of the container: "mp4"
    std::string encoderName;   // FFmpeg's name of the encoder: "libx264"
    std::string codecLabel;    // for messages: "H.264"
    bool needsEvenSides = false; // 4:2:0 chroma with whole chroma samples (H.264)
    // Largest width and height: a frame and the encoder's look-ahead stay within about two
    // gigabytes (libvpx holds some 25 frames ahead, so VP9 gets half the side of H.264).
    int maxSide = 0;
};

// The format for path's extension, compared without regard to case: ".mp4" (H.264 in MP4),
// ".mkv" (H.264 in Matroska), ".webm" (VP9 in WebM); nothing for any other extension.
std::optional<VideoFormat> videoFormatForPath(const std::string& path);

// "'.mp4', '.mkv' or '.webm'": the extensions videoFormatForPath knows, for messages.
std::string knownVideoExtensions();

// A frame size after rounding to what a format's codec needs, with a sentence for the user
// when it differs from the size asked for.
struct VideoSize {
    int width = 0;
    int height = 0;
    bool adjusted = false;
    std::string note; // empty unless adjusted
};

// Rounds width and height (each 1 … format.maxSide) to what format takes: odd sides down to
// the even number below (1 up to 2) for H.264; VP9 takes any size.
VideoSize adjustVideoSize(const VideoFormat& format, int width, int height);
