#include "app/HeadlessBatch.h"

#include "app/BatchSettings.h"
#include "app/DataFiles.h"
#include "app/FileOpening.h"
#include "app/TerminalProgress.h"
#include "foundation/Exception.h"
#include "render/ExportNaming.h"
#include "render/ImageFileSaving.h"
#include "render/gl/FrameRenderer.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/GLText.h"
#include "render/gl/HeadlessGLContext.h"
#include "render/gl/SkySphere.h"
#include "video/VideoEncoder.h"
#include "viewer/Playback.h"
#include "viewer/ViewerCore.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <new>

#include <unistd.h>

namespace {

class Run {
public:
    explicit Run(const BatchOptions& options) : m_options(options), m_core(m_settings) {}

    int run()
    {
        try {
            m_context = std::make_unique<HeadlessGLContext>();
        } catch (const Exception& e) {
            report("Batch mode", e.message());
            return kExitFailure;
        }
        GLText::setGlyphs(GLText::Glyphs::Own);
        // The working directory's sky first, then the installed one, looked up when first drawn.
        m_renderer = std::make_unique<FrameRenderer>([] { return findDataFile(SkySphere::kImageFile); });
        m_renderer->setErrorHandler([this](const std::string& message) { report("Renderer error", message); });

        if (m_options.seed) m_core.scene().reseed(*m_options.seed);
        m_settings.applyStartupChoices(m_options, m_core, reporter());
        for (const std::string& file : m_options.files)
            if (openFileReporting(m_core, file, [this] { m_renderer->syncRenderers(m_core.scene()); }, reporter()))
                m_settings.resetCountsFor(m_core.scene());
        m_settings.applyLoadedChoices(m_options, m_core, reporter());
        m_core.setFrame(m_options.frame.value_or(0));

        runAction();
        // Renderers hold GL names: gone while the context is current.
        m_renderer.reset();
        m_context.reset();
        return m_failed ? kExitFailure : kExitSuccess;
    }

private:
    void report(const std::string& caption, const std::string& message)
    {
        m_failed = true;
        std::cerr << caption << ": " << message << std::endl;
    }

    BatchSettings::Report reporter()
    {
        return [this](const std::string& caption, const std::string& message) { report(caption, message); };
    }

    FrameContent content(bool overlay)
    {
        FrameContent frame{m_core.scene(), m_core.currentCamera(), m_settings, m_core.frameMeasures(), {}, {}};
        if (overlay && m_core.showStatistics()) frame.statisticsRows = [this] { return m_core.statisticsRows(); };
        return frame;
    }

    PixelImage renderImage(const std::string& path, int width, int height)
    {
        FrameRenderer::checkImageRequest(width, height, 1, 1, path);
        return m_renderer->renderImage(content(false), width, height, std::min(width, kHeadlessTileSide),
                                       std::min(height, kHeadlessTileSide), path);
    }

    void exportImage(const std::string& path, int width, int height)
    {
        saveImageFile(renderImage(path, width, height), path);
    }

    // How far an export is, on standard error when that is a terminal.
    static PlaybackProgress progressOnTerminal(const std::string& title)
    {
        if (!::isatty(STDERR_FILENO)) return {};
        return terminalProgress(std::cerr, title);
    }

    void exportVideo()
    {
        const int frames = m_options.frames.value_or(m_core.keyFrameCount());
        if (frames <= 0) {
            report("Export video", "There is no camera animation to take the number of frames from. "
                                   "Load a camera keys file or give '--frames N'.");
            return;
        }
        const std::string& path = m_options.outputPath;
        try {
            VideoEncoder encoder(path, m_options.width.value_or(kDefaultVideoWidth),
                                 m_options.height.value_or(kDefaultVideoHeight),
                                 m_options.framesPerSecond.value_or(kDefaultVideoRate));
            ::exportVideo(
                m_core, encoder, frames, [&] { return renderImage(path, encoder.width(), encoder.height()); }, [] {},
                progressOnTerminal("Export video"), m_options.firstFrame);
            // Not an error: the video was written, at the size the codec takes.
            if (encoder.sizeAdjusted()) std::cout << encoder.sizeNote() << std::endl;
        } catch (const IOException& e) {
            report("Error writing video", videoFrameFailure(path, e.message()));
        }
    }

    void runAction()
    {
        switch (m_options.action) {
        case BatchOptions::Action::None: break;
        case BatchOptions::Action::ExportImage:
            try {
                exportImage(m_options.outputPath, m_options.width.value_or(1440), m_options.height.value_or(960));
            } catch (const IOException& e) {
                report("Error writing image", e.message());
            }
            break;
        case BatchOptions::Action::ExportSequence: {
            const int frames = m_options.frames.value_or(m_core.keyFrameCount());
            if (frames <= 0) {
                report("Export image sequence", "There is no camera animation to take the number of frames from. "
                                                "Load a camera keys file or give '--frames N'.");
                break;
            }
            const int width = m_options.width.value_or(720), height = m_options.height.value_or(480);
            try {
                exportImageSequence(
                    m_core, m_options.outputPath, frames,
                    [&](const std::string& framePath) { exportImage(framePath, width, height); }, [] {},
                    progressOnTerminal("Export image sequence"), m_options.firstFrame);
            } catch (const IOException& e) {
                report("Error writing image", e.message());
            }
            break;
        }
        case BatchOptions::Action::ExportVideo: exportVideo(); break;
        case BatchOptions::Action::Timedemo: {
            if (m_core.keyFrameCount() <= 0) {
                report("Run timedemo", "There is no camera animation to play. Load a camera keys file first.");
                break;
            }
            // A view of the size given, else the export image's default size.
            const int width = m_options.width.value_or(kHeadlessFrameWidth);
            const int height = m_options.height.value_or(kHeadlessFrameHeight);
            const GLFramebuffer target(width, height);
            if (!target.valid()) {
                report("Batch mode", "No framebuffer of " + std::to_string(width) + " x " + std::to_string(height) +
                                         " pixels could be made to draw in.");
                break;
            }
            const FrameContent frame = content(true);
            const auto paint = [&] {
                m_renderer->drawFrame(frame, width, height);
                // Each frame is finished before the next starts, as a window's buffer swap waits.
                FrameRenderer::finishDrawing();
            };
            // One frame first, so that what the first paint makes (programs, lists, impostor
            // atlases) is not timed as drawing.
            paint();
            const int limit = m_options.frames.value_or(0);
            const TimedemoResult result =
                runTimedemo(m_core, paint, [limit](int done, int) { return limit == 0 || done < limit; });
            std::cout << timedemoReport(result.framesDrawn, result.seconds) << breakdownReport(result.breakdown)
                      << std::flush;
            break;
        }
        }
    }

    const BatchOptions& m_options;
    BatchSettings m_settings;
    ViewerCore m_core;
    std::unique_ptr<HeadlessGLContext> m_context;
    std::unique_ptr<FrameRenderer> m_renderer;
    bool m_failed = false;
};

} // namespace

int runHeadlessBatch(const BatchOptions& options)
{
    try {
        return Run(options).run();
    } catch (const std::bad_alloc&) {
        std::cerr << "Batch mode: not enough memory.\n";
        return kExitFailure;
    }
}
