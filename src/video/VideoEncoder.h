#pragma once

#include "video/VideoFormat.h"

#include <cstddef>
#include <memory>
#include <string>

// Writes frames handed in as RGB or RGBA pixels to a video file, through FFmpeg's libraries.
// The extension picks the format (videoFormatForPath): H.264 in MP4 (yuv420p, constant
// quality, index at the front for streaming) or in Matroska, VP9 in WebM.
//
// The video is written to a temporary file of its own beside the target (named as AtomicFile
// names them, so two exports to one path never share it) and renamed over path only by
// finish(); cancel(), destruction without finish() and every error remove that file, so a
// previous file at path stays as it was and no half-written video is ever left in its place.
//
// Encoding is deterministic: the same frames give the same bytes (a fixed thread count, no
// time or random identifiers in the file, bit-exact colour conversion).
//
// Every failure is an IOException "Unable to write video '<path>': <reason>." with the
// encoder's reason; the viewer shows it under the caption "Error writing video".
class VideoEncoder {
public:
    enum class PixelLayout {
        Rgb,  // 3 bytes a pixel: red, green, blue
        Rgba, // 4 bytes a pixel: red, green, blue, alpha (alpha is ignored)
    };

    // Opens the encoder for frames of width x height (each 1 … format().maxSide) at
    // framesPerSecond (more than 0, at most 1000). The video's own size may differ (see
    // width(), height(), sizeNote()). Throws IOException for an unknown extension, a size or
    // rate out of range, a path that is a directory or a temporary file that cannot be made.
    VideoEncoder(const std::string& path, int width, int height, double framesPerSecond);
    // Without finish(), the same as cancel().
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // The size every frame must have: the size asked for, rounded to what the codec needs.
    int width() const;
    int height() const;
    // True when width() x height() is not the size asked for; sizeNote() then says so in a
    // sentence for the user ("The video is 320 x 240 pixels: H.264 needs …"), else it is empty.
    bool sizeAdjusted() const;
    const std::string& sizeNote() const;
    const VideoFormat& format() const;
    const std::string& path() const;
    // Frames handed to addFrame so far.
    int frameCount() const;

    // Encodes the next frame: width() x height() pixels, rows from the top, topRow pointing at
    // the first pixel of the top row and rowBytes from one row's start to the next (negative
    // for rows stored bottom-up, as OpenGL reads them back: topRow is then the last row in
    // memory). Throws IOException when encoding or writing fails, or when the encoder was
    // finished, cancelled or failed before; after an error nothing more is written.
    void addFrame(const unsigned char* topRow, int width, int height, std::ptrdiff_t rowBytes, PixelLayout layout);

    // Flushes the encoder, completes the file and renames it over path. Throws IOException
    // when that fails (the temporary file is removed, a previous file at path stays) or when
    // no frame was given.
    void finish();

    // Abandons the video: stops the encoder and removes the temporary file. A previous file
    // at path stays. Does nothing once finished or cancelled.
    void cancel();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
