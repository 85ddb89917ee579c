#include "viewer/Playback.h"

#include "render/ExportNaming.h"
#include "render/FrameStamps.h"
#include "skin/PixelImage.h"
#include "video/VideoEncoder.h"
#include "viewer/ViewerCore.h"

TimedemoResult runTimedemo(ViewerCore& core, const std::function<void()>& paint, const PlaybackProgress& progress)
{
    TimedemoResult result;
    result.frames = core.keyFrameCount();
    core.frameMeasures().breakdown.clearTotal();
    const std::int64_t start = FrameStamps::nowMilliseconds();
    for (int i = 0; i < result.frames; ++i) {
        core.setFrame(i);
        paint();
        ++result.framesDrawn;
        if (progress && !progress(result.framesDrawn, result.frames) && result.framesDrawn < result.frames) {
            result.cancelled = true;
            break;
        }
    }
    result.seconds = static_cast<double>(FrameStamps::nowMilliseconds() - start) * 0.001;
    const FrameBreakdowns& breakdown = core.frameMeasures().breakdown;
    result.breakdown = breakdown.total.dividedBy(breakdown.frames);
    return result;
}

SequenceOutcome exportImageSequence(ViewerCore& core, const std::string& path, int frames,
                                    const std::function<void(const std::string& framePath)>& exportFrame,
                                    const std::function<void()>& showProgress, const PlaybackProgress& progress,
                                    int firstFrame)
{
    SequenceOutcome outcome;
    // Checked before the first frame, so a bad name writes nothing.
    sequenceFrameName(path, firstFrame);
    for (int i = 0; i < frames; ++i) {
        core.setFrame(firstFrame + i);
        exportFrame(sequenceFrameName(path, firstFrame + i));
        ++outcome.written;
        if (i % 10 == 0) showProgress();
        if (progress && !progress(outcome.written, frames) && outcome.written < frames) {
            outcome.cancelled = true;
            break;
        }
    }
    showProgress();
    return outcome;
}

SequenceOutcome exportVideo(ViewerCore& core, VideoEncoder& encoder, int frames,
                            const std::function<PixelImage()>& renderFrame, const std::function<void()>& showProgress,
                            const PlaybackProgress& progress, int firstFrame)
{
    SequenceOutcome outcome;
    try {
        for (int i = 0; i < frames; ++i) {
            core.setFrame(firstFrame + i);
            const PixelImage image = renderFrame();
            encoder.addFrame(image.rgb.data(), image.width, image.height, static_cast<std::ptrdiff_t>(image.rowBytes()),
                             VideoEncoder::PixelLayout::Rgb);
            ++outcome.written;
            if (i % 10 == 0) showProgress();
            if (progress && !progress(outcome.written, frames) && outcome.written < frames) {
                outcome.cancelled = true;
                encoder.cancel();
                showProgress();
                return outcome;
            }
        }
        encoder.finish();
    } catch (...) {
        // No half-written video: the temporary file goes with the run.
        encoder.cancel();
        throw;
    }
    showProgress();
    return outcome;
}
