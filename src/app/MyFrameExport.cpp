// The main frame's export commands: one image (id 6), an image sequence (id 7) and the
// timedemo (id 9), each a dialog front end over the view's exportImage and runTimedemo.
#include "app/MyFrame.h"

#include "app/ErrorBox.h"
#include "render/ExportNaming.h"
#include "render/FrameStamps.h"
#include "app/GLView.h"
#include "foundation/Exception.h"

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

void MyFrame::bindExportCommands()
{
    Bind(wxEVT_MENU, &MyFrame::onExportImage, this, kExportImageId);
    Bind(wxEVT_MENU, &MyFrame::onExportImageSequence, this, kExportImageSequenceId);
    Bind(wxEVT_MENU, &MyFrame::onTimedemo, this, kTimedemoId);
}

bool MyFrame::exportImageTo(const std::string& path, int width, int height)
{
    try {
        m_view->exportImage(width, height, path);
        return true;
    } catch (const IOException& e) {
        showErrorBox(kWriteErrorCaption, e.message(), this);
        return false;
    }
}

MyFrame::SequenceOutcome MyFrame::exportImageSequenceTo(const std::string& path, int width, int height, int frames,
                                                        const ExportProgress& progress)
{
    SequenceOutcome outcome;
    try {
        // Checked before the first frame, so a bad name writes nothing.
        sequenceFrameName(path, 0);
        for (int i = 0; i < frames; ++i) {
            m_view->setFrame(i);
            m_view->exportImage(width, height, sequenceFrameName(path, i));
            ++outcome.written;
            // The window shows how far the export is.
            if (i % 10 == 0) m_view->paintNow();
            if (progress && !progress(outcome.written, frames) && outcome.written < frames) {
                outcome.cancelled = true;
                break;
            }
        }
        m_view->paintNow();
    } catch (const IOException& e) {
        outcome.failed = true;
        showErrorBox(kWriteErrorCaption, e.message(), this);
    }
    return outcome;
}

bool MyFrame::askImageSize(long defaultWidth, long defaultHeight, int& width, int& height)
{
    const auto w = askNumber(this, "Width of image to export", "Width of image", defaultWidth, isAcceptedImageSide);
    if (!w) return false;
    const auto h = askNumber(this, "Height of image to export", "Height of image", defaultHeight, isAcceptedImageSide);
    if (!h) return false;
    width = static_cast<int>(*w);
    height = static_cast<int>(*h);
    return true;
}

void MyFrame::onExportImage(wxCommandEvent&)
{
    const auto path = askSavePath(this, "Export image");
    if (!path) return;
    int width = 0, height = 0;
    if (!askImageSize(1440, 960, width, height)) return;
    exportImageTo(*path, width, height);
}

void MyFrame::onExportImageSequence(wxCommandEvent&)
{
    const auto path = askSavePath(this, "Export image sequence");
    if (!path) return;
    int width = 0, height = 0;
    if (!askImageSize(720, 480, width, height)) return;
    const auto frames = askNumber(this, "Number of frames to export", "Number of frames", m_view->keyFrameCount(),
                                  isAcceptedFrameCount);
    if (!frames) return;

    const int total = static_cast<int>(*frames);
    SequenceOutcome outcome;
    {
        ThrottledProgress progress(this, "Export image sequence", total);
        outcome = exportImageSequenceTo(*path, width, height, total, std::ref(progress));
    }
    if (outcome.cancelled)
        wxMessageBox(wxString::Format("Image export stopped after %d of %d frames; the %d images written are kept.",
                                      outcome.written, total, outcome.written),
                     "Image export cancelled.", wxOK, this);
    else if (!outcome.failed)
        wxMessageBox("Image export", "Image export complete.", wxOK, this);
}

void MyFrame::onTimedemo(wxCommandEvent&)
{
    if (m_view->keyFrameCount() <= 0) {
        // Without keys there is nothing to time; a report of zero frames would divide by zero.
        showErrorBox("Run timedemo", "There is no camera animation to play. Load a camera keys file first.", this);
        return;
    }
    if (wxMessageBox("Press OK when ready", "Run timedemo", wxOK | wxCANCEL, this) != wxOK) return;

    GLView::TimedemoResult result;
    {
        ThrottledProgress progress(this, "Run timedemo", m_view->keyFrameCount());
        result = m_view->runTimedemo(std::ref(progress));
    }
    if (result.cancelled)
        wxMessageBox(wxString::Format("The timedemo was cancelled after %d of %d frames.", result.framesDrawn,
                                      result.frames),
                     "Timedemo cancelled", wxOK, this);
    else
        wxMessageBox(wxString::FromUTF8(timedemoReport(result.frames, result.seconds)), "Timedemo results", wxOK, this);
}
