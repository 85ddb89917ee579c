#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Synthetic frames with known content, and a decoder that reads videos back through FFmpeg's
// demuxers and decoders and turns them into RGB with its own BT.709 arithmetic (not the
// library's converter the encoder uses), so the encoder's colour conversion is checked.

// Frame index of a little scene as a renderer would draw it: a sky gradient, a ground with
// a soft pattern moving with index, and a shaded disc that crosses the picture over 48 frames.
// RGB, rows top-down, width * 3 bytes a row.
std::vector<unsigned char> syntheticFrame(int index, int width, int height);

struct DecodedVideo {
    std::string containerName; // the demuxer's name list, e.g. "mov,mp4,m4a,3gp,3g2,mj2"
    std::string codecName;     // "h264", "vp9"
    int width = 0;
    int height = 0;
    double averageFrameRate = 0;
    bool taggedBt709 = false;   // matrix, primaries and transfer all BT.709
    bool limitedRange = false;
    std::vector<double> frameSeconds; // presentation time of every frame, in decoding order out
    double timestampTolerance = 0;    // half a tick of the stream's time base
    std::vector<std::vector<unsigned char>> frames; // RGB, rows top-down
};

// Decodes every frame of the video at path; throws std::runtime_error naming what failed.
DecodedVideo decodeVideo(const std::string& path);

// Peak signal-to-noise ratio in dB of two RGB pictures of the same size (infinite when equal).
double psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

// The names of the top-level boxes of an MP4 file, in file order ("ftyp", "moov", "mdat", …).
std::vector<std::string> mp4TopLevelBoxes(const std::string& path);

std::string fileBytes(const std::string& path);
