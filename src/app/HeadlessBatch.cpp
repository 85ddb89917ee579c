#include "app/HeadlessBatch.h"

#include "app/BatchSettings.h"
#include "app/DataFiles.h"
#include "app/FileOpening.h"
#include "foundation/Exception.h"
#include "render/ExportNaming.h"
#include "render/ImageFileSaving.h"
#include "render/gl/FrameRenderer.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/GLText.h"
#include "render/gl/HeadlessGLContext.h"
#include "render/gl/SkySphere.h"
#include "viewer/Playback.h"
#include "viewer/ViewerCore.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <new>

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

    void exportImage(const std::string& path, int width, int height)
    {
        FrameRenderer::checkImageRequest(width, height, 1, 1, path);
        const PixelImage image = m_renderer->renderImage(content(false), width, height, std::min(width, kHeadlessTileSide),
                                                         std::min(height, kHeadlessTileSide), path);
        saveImageFile(image, path);
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
                    [&](const std::string& framePath) { exportImage(framePath, width, height); }, [] {});
            } catch (const IOException& e) {
                report("Error writing image", e.message());
            }
            break;
        }
        case BatchOptions::Action::Timedemo: {
            if (m_core.keyFrameCount() <= 0) {
                report("Run timedemo", "There is no camera animation to play. Load a camera keys file first.");
                break;
            }
            const GLFramebuffer target(kHeadlessFrameWidth, kHeadlessFrameHeight);
            if (!target.valid()) {
                report("Batch mode", "No framebuffer of " + std::to_string(kHeadlessFrameWidth) + " x " +
                                         std::to_string(kHeadlessFrameHeight) + " pixels could be made to draw in.");
                break;
            }
            const FrameContent frame = content(true);
            const TimedemoResult result = runTimedemo(m_core, [&] {
                m_renderer->drawFrame(frame, kHeadlessFrameWidth, kHeadlessFrameHeight);
                // Each frame is finished before the next starts, as a window's buffer swap waits.
                FrameRenderer::finishDrawing();
            });
            std::cout << timedemoReport(result.frames, result.seconds) << std::flush;
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
