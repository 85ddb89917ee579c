#include "app/ExportCommands.h"

#include "app/ErrorBox.h"
#include "app/GLView.h"
#include "foundation/Exception.h"
#include "render/ExportNaming.h"
#include "render/FrameStamps.h"
#include "viewer/ViewerCore.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>
#include <wx/textdlg.h>

#include <optional>

namespace {

constexpr const char* kWriteErrorCaption = "Error writing image";
constexpr const char* kImageFilter = "PNG Files(*.png)|*.png|All files(*.*)|*.*";

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

std::optional<std::string> askSavePath(wxWindow* parent, const wxString& title)
{
    wxFileDialog dialog(parent, title, "", "", kImageFilter, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return std::nullopt;
    return std::string(dialog.GetPath().fn_str());
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
                                                                    int frames, const PlaybackProgress& progress)
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
            [&] { m_view.paintNow(); }, progress);
        result.cancelled = outcome.cancelled;
    } catch (const IOException& e) {
        result.failed = true;
        showErrorBox(kWriteErrorCaption, e.message(), &m_parent);
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
    const auto path = askSavePath(&m_parent, "Export image");
    if (!path) return;
    int width = 0, height = 0;
    if (!askImageSize(1440, 960, width, height)) return;
    exportImageTo(*path, width, height);
}

void ExportCommands::onExportImageSequence()
{
    const auto path = askSavePath(&m_parent, "Export image sequence");
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
