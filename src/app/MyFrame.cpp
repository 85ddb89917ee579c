#include "app/MyFrame.h"

#include "app/AboutDialog.h"
#include "app/ExportCommands.h"
#include "app/FileCommands.h"
#include "app/GLView.h"
#include "app/HerdDialog.h"
#include "app/VertexProgDialog.h"
#include "herd/GaussianHerdCreator.h"
#include "viewer/ViewerCore.h"

#include <wx/menu.h>

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

    bindCommands();
    bindRenderCommands();
    bindHerdCommands();
    bindHelpCommands();
}

MyFrame::~MyFrame()
{
    // The canvas and the dialogs use the core; they go first.
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
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_files->onExportObj(); }, kExportObjId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_exports->onTimedemo(); }, kTimedemoId);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { Destroy(); }, kExitId);
    Bind(wxEVT_MENU, [](wxCommandEvent&) {}, kNoCommandId);
    Bind(wxEVT_MENU, &MyFrame::onCamera, this, kPerspectiveId, kOrthographicId);
    Bind(wxEVT_KEY_DOWN, &MyFrame::onKeyDown, this);
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
