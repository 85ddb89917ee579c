#pragma once

#include "render/FrameBreakdown.h"

#include <functional>
#include <string>

class ViewerCore;
class VideoEncoder;
struct PixelImage;

// The runs that step the viewer's clock through the camera animation and draw every frame: the
// timedemo and the image sequence export. They drive the core and leave the drawing to the
// callbacks, so the window and a batch run share them.

// Called after each frame with (frames done, frames in all); returning false stops the run
// after that frame.
using PlaybackProgress = std::function<bool(int done, int total)>;

struct TimedemoResult {
    int frames = 0; // keyFrameCount() when it started
    int framesDrawn = 0;
    double seconds = 0.0; // monotonic wall-clock time of the frames drawn
    bool cancelled = false;
    // Where the time of the frames drawn went, per frame on average.
    FrameBreakdown breakdown;
};

// Shows frames 0 .. keyFrameCount() - 1 of the camera animation, each drawn at once by
// paint, and measures the time they took. Leaves the animation at the last frame shown.
TimedemoResult runTimedemo(ViewerCore& core, const std::function<void()>& paint, const PlaybackProgress& progress = {});

struct SequenceOutcome {
    int written = 0;
    bool cancelled = false; // progress said stop
};

// Frames firstFrame .. firstFrame + frames - 1 of the animation: each frame is set and
// exportFrame writes it under path numbered by its frame number before its last dot
// (sequenceFrameName), so runs over separate ranges write separate, correctly numbered files.
// showProgress is called after the run's 1st, 11th, 21st, ... frame and once at the end, so a
// window can show how far the export is. Throws IOException "Invalid filename: PATH" before
// writing anything when the file name has no dot, and what exportFrame throws; the frames
// written before a failure stay.
SequenceOutcome exportImageSequence(ViewerCore& core, const std::string& path, int frames,
                                    const std::function<void(const std::string& framePath)>& exportFrame,
                                    const std::function<void()>& showProgress, const PlaybackProgress& progress = {},
                                    int firstFrame = 0);

// Frames firstFrame .. firstFrame + frames - 1 of the animation as one video: each frame is set,
// drawn by renderFrame (an upright picture of encoder.width() x encoder.height()) and encoded;
// the video is finished after the last. Progress and showProgress as for the sequence. When
// progress says stop, or renderFrame or the encoder throws, the encoder is cancelled, so no
// file is left, and the exception passes on.
SequenceOutcome exportVideo(ViewerCore& core, VideoEncoder& encoder, int frames,
                            const std::function<PixelImage()>& renderFrame, const std::function<void()>& showProgress,
                            const PlaybackProgress& progress = {}, int firstFrame = 0);
