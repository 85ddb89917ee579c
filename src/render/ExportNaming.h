#pragma once

#include <string>

// The limits of the image export commands and the texts they read, free of the toolkit so that
// they are tested without a display.

// Widths and heights an export accepts: 1 to kMaxImageSide pixels.
constexpr long kMaxImageSide = 19999;
inline bool isAcceptedImageSide(long pixels) { return pixels >= 1 && pixels <= kMaxImageSide; }

// Sequence lengths an export accepts: 1 to kMaxSequenceFrames frames (0, which the prompt
// proposes when there are no camera keys, is asked again).
constexpr long kMaxSequenceFrames = 999999;
inline bool isAcceptedFrameCount(long frames) { return frames >= 1 && frames <= kMaxSequenceFrames; }

// What a number prompt reads from the text typed into it: leading white space, an optional
// sign, then decimal digits up to the first other character. Text without leading digits
// reads as 0; values beyond the range of long are clamped to it (they are out of every
// accepted range anyway).
long parseLeadingInteger(const std::string& text);

// The file of frame frameIndex of an image sequence saved under path: "." and the frame
// number, at least four digits with leading zeros, inserted before the last dot of the file
// name (shots/run.final.png, frame 3 -> shots/run.final.0003.png). Dots in directory names do
// not count. Throws IOException "Invalid filename: PATH" when the file name has no dot.
std::string sequenceFrameName(const std::string& path, int frameIndex);

// The report of a timedemo of frames frames that took seconds seconds, in the stream's default
// formatting (six significant digits):
// "timedemo complete.\n\tframes:\tN\n\ttotal time:\tSs\n\ttime per frame:\tTs/frame\n\taverage fps:\tFfps\n".
std::string timedemoReport(int frames, double seconds);

// A failure of drawing a video's frame, which the picture code words as an image's ("Unable to
// write to image 'PATH'…"), reworded as the video's ("Unable to write video 'PATH'…"); any other
// message unchanged.
std::string videoFrameFailure(const std::string& path, const std::string& message);
