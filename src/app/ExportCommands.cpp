#include "app/ExportCommands.h"

#include "app/BatchOptions.h"
#include "app/ErrorBox.h"
#include "app/GLView.h"
#include "app/ViewerMemory.h"
#include "foundation/Exception.h"
#include "render/ExportNaming.h"
#include "render/FrameStamps.h"
#include "video/VideoEncoder.h"
#include "viewer/ViewerCore.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>
#include <wx/textdlg.h>

#include <optional>

namespace {

constexpr const char* kWriteErrorCaption = "Error writing image";
constexpr const char* kImageFilter = "PNG Files(*.png)|*.png|All files(*.*)|*.*";
constexpr const char* kVideoErrorCaption = "Error writing video";
constexpr const char* kVideoFilter = "Video Files (*.mp4;*.mkv;*.webm)|*.mp4;*.mkv;*.webm";

// Shows a number prompt until accept(value) holds, pre-filled with the rejected value each
// time; nothing on Cancel.
std::optional<long> askNumber(wxWindow* parent, const wxString& caption, const wxString& prompt, long initial,
                              const std::function<bool(long)>& accept)
{
    long value = initial;
    do {
        wxTextEntryDialog dialog(parent, prompt, caption, wxString::Format("%ld", value), wxOK | wxCANCEL | wxCENTRE);
        if (dialog.ShowModal() != wxID_OK) return std::nullopt;
        value = parseLeadingInteger(std::string(dialog.GetValue().utf8_str()));
    } while (!accept(value));
    return value;
}

// The frame rate prompt: a decimal number above 0 and at most 1000, asked again pre-filled
// with what was typed; nothing on Cancel.
std::optional<double> askFrameRate(wxWindow* parent)
{
    wxString typed = "30";
    for (;;) {
        wxTextEntryDialog dialog(parent, "Frames per second", "Frame rate of the video", typed, wxOK | wxCANCEL | wxCENTRE);
        if (dialog.ShowModal() != wxID_OK) return std::nullopt;
        typed = dialog.GetValue();
        if (const auto rate = parseFrameRate(std::string(typed.Strip(wxString::both).utf8_str()))) return rate;
    }
}


// A progress dialog that the run updates at most every tenth of a second, so that drawing the
// dialog does not weigh on what is measured; its Cancel button stops the run after a frame.
class ThrottledProgress {
public:
    ThrottledProgress(wxWindow* parent, const wxString& title, int total)
        : m_dialog(title, wxString::Format("Frame 0 of %d", total), total, parent,
                   wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME)
    {
    }

    bool operator()(int done, int total)
    {
        const std::int64_t now = FrameStamps::nowMilliseconds();
        if (done < total && now - m_lastUpdate < 100) return true;
        m_lastUpdate = now;
        return m_dialog.Update(done, wxString::Format("Frame %d of %d", done, total));
    }

private:
    wxProgressDialog m_dialog;
    std::int64_t m_lastUpdate = 0;
};

} // namespace

ExportCommands::ExportCommands(wxWindow& parent, GLView& view) : m_parent(parent), m_view(view) {}

std::optional<std::string> ExportCommands::askSavePath(const char* title, const char* filter)
{
    wxFileDialog dialog(&m_parent, title, m_memory ? m_memory->lastDirectory(title) : "", "", filter, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return std::nullopt;
    const std::string path(dialog.GetPath().fn_str());
    if (m_memory) m_memory->rememberDirectory(title, path);
    return path;
}

bool ExportCommands::exportImageTo(const std::string& path, int width, int height)
{
    try {
        m_view.exportImage(width, height, path);
        return true;
    } catch (const IOException& e) {
        showErrorBox(kWriteErrorCaption, e.message(), &m_parent);
        return false;
    }
}

ExportCommands::SequenceExport ExportCommands::exportImageSequenceTo(const std::string& path, int width, int height,
                                                                    int frames, const PlaybackProgress& progress,
                                                                    int firstFrame)
{
    SequenceExport result;
    try {
        const SequenceOutcome outcome = exportImageSequence(
            m_view.core(), path, frames,
            [&](const std::string& framePath) {
                m_view.exportImage(width, height, framePath);
                ++result.written;
            },
            // The window shows how far the export is.
            [&] { m_view.paintNow(); }, progress, firstFrame);
        result.cancelled = outcome.cancelled;
    } catch (const IOException& e) {
        result.failed = true;
        showErrorBox(kWriteErrorCaption, e.message(), &m_parent);
    }
    return result;
}

ExportCommands::VideoExport ExportCommands::exportVideoTo(const std::string& path, int width, int height, int frames,
                                                          double framesPerSecond, const PlaybackProgress& progress,
                                                          int firstFrame)
{
    VideoExport result;
    try {
        VideoEncoder encoder(path, width, height, framesPerSecond);
        result.sizeNote = encoder.sizeNote();
        const SequenceOutcome outcome = exportVideo(
            m_view.core(), encoder, frames,
            [&] { return m_view.renderImage(encoder.width(), encoder.height(), path); },
            // The window shows how far the export is.
            [&] { m_view.paintNow(); }, progress, firstFrame);
        result.written = outcome.written;
        result.cancelled = outcome.cancelled;
    } catch (const IOException& e) {
        result.failed = true;
        // The picture's own failures name it as an image; this export writes a video.
        showErrorBox(kVideoErrorCaption, videoFrameFailure(path, e.message()), &m_parent);
    }
    return result;
}

bool ExportCommands::askImageSize(long defaultWidth, long defaultHeight, int& width, int& height)
{
    const auto w = askNumber(&m_parent, "Width of image to export", "Width of image", defaultWidth, isAcceptedImageSide);
    if (!w) return false;
    const auto h = askNumber(&m_parent, "Height of image to export", "Height of image", defaultHeight, isAcceptedImageSide);
    if (!h) return false;
    width = static_cast<int>(*w);
    height = static_cast<int>(*h);
    return true;
}

void ExportCommands::onExportImage()
{
    const auto path = askSavePath("Export image", kImageFilter);
    if (!path) return;
    int width = 0, height = 0;
    if (!askImageSize(1440, 960, width, height)) return;
    exportImageTo(*path, width, height);
}

void ExportCommands::onExportImageSequence()
{
    const auto path = askSavePath("Export image sequence", kImageFilter);
    if (!path) return;
    int width = 0, height = 0;
    if (!askImageSize(720, 480, width, height)) return;
    const auto frames = askNumber(&m_parent, "Number of frames to export", "Number of frames", m_view.core().keyFrameCount(),
                                  isAcceptedFrameCount);
    if (!frames) return;

    const int total = static_cast<int>(*frames);
    SequenceExport outcome;
    {
        ThrottledProgress progress(&m_parent, "Export image sequence", total);
        outcome = exportImageSequenceTo(*path, width, height, total, std::ref(progress));
    }
    if (outcome.cancelled)
        wxMessageBox(wxString::Format("Image export stopped after %d of %d frames; the %d images written are kept.",
                                      outcome.written, total, outcome.written),
                     "Image export cancelled.", wxOK, &m_parent);
    else if (!outcome.failed)
        wxMessageBox("Image export", "Image export complete.", wxOK, &m_parent);
}

void ExportCommands::onExportVideo()
{
    const auto path = askSavePath("Export video", kVideoFilter);
    if (!path) return;
    int width = 0, height = 0;
    if (!askImageSize(kDefaultVideoWidth, kDefaultVideoHeight, width, height)) return;
    const auto frames = askNumber(&m_parent, "Number of frames to export", "Number of frames", m_view.core().keyFrameCount(),
                                  isAcceptedFrameCount);
    if (!frames) return;
    const auto rate = askFrameRate(&m_parent);
    if (!rate) return;

    const int total = static_cast<int>(*frames);
    VideoExport outcome;
    {
        ThrottledProgress progress(&m_parent, "Export video", total);
        outcome = exportVideoTo(*path, width, height, total, *rate, std::ref(progress));
    }
    if (outcome.cancelled)
        wxMessageBox(wxString::Format("Video export stopped after %d of %d frames; no video was written.", outcome.written,
                                      total),
                     "Video export cancelled.", wxOK, &m_parent);
    else if (!outcome.failed)
        wxMessageBox(outcome.sizeNote.empty() ? wxString("Video export") : wxString::FromUTF8(outcome.sizeNote),
                     "Video export complete.", wxOK, &m_parent);
}

void ExportCommands::onTimedemo()
{
    ViewerCore& core = m_view.core();
    if (core.keyFrameCount() <= 0) {
        // Without keys there is nothing to time; a report of zero frames would divide by zero.
        showErrorBox("Run timedemo", "There is no camera animation to play. Load a camera keys file first.", &m_parent);
        return;
    }
    if (wxMessageBox("Press OK when ready", "Run timedemo", wxOK | wxCANCEL, &m_parent) != wxOK) return;

    TimedemoResult result;
    {
        ThrottledProgress progress(&m_parent, "Run timedemo", core.keyFrameCount());
        result = runTimedemo(core, [this] { m_view.paintNow(); }, std::ref(progress));
    }
    if (result.cancelled)
        wxMessageBox(wxString::Format("The timedemo was cancelled after %d of %d frames.", result.framesDrawn,
                                      result.frames),
                     "Timedemo cancelled", wxOK, &m_parent);
    else
        wxMessageBox(wxString::FromUTF8(timedemoReport(result.frames, result.seconds) + breakdownReport(result.breakdown)), "Timedemo results", wxOK,
                     &m_parent);
}
