#include "app/MyFrame.h"

#include "app/AboutDialog.h"
#include "app/ExportCommands.h"
#include "app/FileCommands.h"
#include "app/GLView.h"
#include "app/HerdDialog.h"
#include "app/ImportProgressDialog.h"
#include "app/VertexProgDialog.h"
#include "app/ViewerMemory.h"
#include "herd/GaussianHerdCreator.h"
#include "viewer/ViewerCore.h"

#include <wx/display.h>
#include <wx/filehistory.h>
#include <wx/menu.h>

#include <filesystem>

MyFrame::MyFrame(wxWindow* parent, const wxString& title, const wxPoint& position, const wxSize& size, long style,
                 GLContextSource& contexts)
    : wxFrame(parent, wxID_ANY, title, position, size, style)
{
    m_herdDialog = new HerdDialog(this, "Herd properties", wxDefaultPosition, wxDEFAULT_DIALOG_STYLE);
    m_aboutDialog = new AboutDialog(this);
    m_vertexProgDialog = new VertexProgDialog(this);
    SetMenuBar(buildMenuBar());

    m_core = std::make_unique<ViewerCore>(*this);
    // The only child: a frame stretches its single child over the whole client area.
    m_view = new GLView(this, *m_core, contexts);
    // "Round" in the herd dialog.
    m_core->setHerdCreator(std::make_shared<GaussianHerdCreator>());
    m_files = std::make_unique<FileCommands>(*this, *m_core, *m_view, [this] { rebuildCountMenus(); });
    m_exports = std::make_unique<ExportCommands>(*this, *m_view);
    m_importProgress = std::make_unique<ImportProgressDialog>(*this);
    m_core->setImportProgressDisplay(m_importProgress.get());

    bindCommands();
    bindRenderCommands();
    bindHerdCommands();
    bindHelpCommands();
}

MyFrame::~MyFrame()
{
    if (m_memory) {
        // A maximized or minimized frame's rectangle is not the one to come back to.
        if (!IsMaximized() && !IsIconized() && !IsFullScreen()) m_memory->setFrameRect(GetRect());
        m_memory->recentFiles().RemoveMenu(openRecentMenu());
        m_memory->save();
        m_files->setMemory(nullptr);
        m_exports->setMemory(nullptr);
    }
    // The canvas and the dialogs use the core; they go first.
    m_core->setImportProgressDisplay(nullptr);
    DestroyChildren();
}

void MyFrame::bindCommands()
{
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onOpenSkin(); }, kOpenSkinId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onSaveCameraKeys(); }, kSaveCameraKeysId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onLoadCameraKeys(); }, kLoadCameraKeysId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onLoadHerd(); }, kLoadHerdId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onSaveHerd(); }, kSaveHerdId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_exports->onExportImage(); }, kExportImageId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_exports->onExportImageSequence(); }, kExportImageSequenceId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_exports->onExportVideo(); }, kExportVideoId);
    Bind(wxEVT_MENU, &MyFrame::onOpenRecent, this, wxID_FILE1, wxID_FILE9);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onExportObj(); }, kExportObjId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_exports->onTimedemo(); }, kTimedemoId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { Destroy(); }, kExitId);
    Bind(wxEVT_MENU, [](wxCommandEvent&) {}, kNoCommandId);
    Bind(wxEVT_MENU, &MyFrame::onCamera, this, kPerspectiveId, kOrthographicId);
    Bind(wxEVT_KEY_DOWN, &MyFrame::onKeyDown, this);
}

void MyFrame::useMemory(std::unique_ptr<ViewerMemory> memory)
{
    m_memory = std::move(memory);
    m_files->setMemory(m_memory.get());
    m_exports->setMemory(m_memory.get());
    m_memory->recentFiles().UseMenu(openRecentMenu());
    m_memory->recentFiles().AddFilesToMenu(openRecentMenu());
    // Only a place some screen shows: a monitor since unplugged must not hide the window.
    if (const auto rect = m_memory->frameRect(); rect && wxDisplay::GetFromPoint(rect->GetPosition() + rect->GetSize() / 2) != wxNOT_FOUND)
        SetSize(*rect);
}

void MyFrame::onOpenRecent(wxCommandEvent& event)
{
    if (!m_memory) return;
    const std::size_t index = static_cast<std::size_t>(event.GetId() - wxID_FILE1);
    const std::string path = m_memory->recentFile(index);
    if (path.empty()) return;
    std::error_code error;
    // A file that is gone leaves the list; opening it still says what happened.
    if (!std::filesystem::exists(path, error)) m_memory->removeRecentFile(index);
    m_files->openSkinFiles({path});
}

void MyFrame::rebuildCountMenus()
{
    MenuSettings::rebuildCountMenus(m_core->scene());
}

void MyFrame::onCamera(wxCommandEvent& event)
{
    m_core->useCamera(event.GetId() == kOrthographicId ? ViewerCore::CameraChoice::Orthographic
                                                       : ViewerCore::CameraChoice::Perspective);
    m_view->Refresh(false);
}

void MyFrame::onKeyDown(wxKeyEvent& event)
{
    const int code = event.GetKeyCode();
    // The frame only ever starts the animation; the view's own handler toggles it.
    if (event.ControlDown() && (code == 'R' || code == 'r'))
        setRunning(true);
    else
        event.Skip();
}
