#include "app/MyFrame.h"

#include "app/DataFiles.h"
#include "app/ErrorBox.h"
#include "app/ExportNaming.h"
#include "app/FileDispatch.h"
#include "app/GLView.h"
#include "foundation/Exception.h"
#include "herd/GaussianHerdCreator.h"
#include "herd/HerdScene.h"

#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/textdlg.h>

#include <filesystem>
#include <new>

MyFrame::MyFrame(wxWindow* parent, const wxString& title, const wxPoint& position, const wxSize& size, long style)
    : wxFrame(parent, wxID_ANY, title, position, size, style)
{
    createDialogs();
    buildMenuBar();

    // The only child: a frame stretches its single child over the whole client area.
    m_view = new GLView(this, *this);
    // "Round" in the herd dialog.
    m_view->setHerdCreator(std::make_shared<GaussianHerdCreator>());

    Bind(wxEVT_MENU, &MyFrame::onOpenSkin, this, kOpenSkinId);
    Bind(wxEVT_MENU, &MyFrame::onExit, this, kExitId);
    Bind(wxEVT_MENU, &MyFrame::onCamera, this, kPerspectiveId, kOrthographicId);
    Bind(wxEVT_MENU, &MyFrame::onShowVertexProgram, this, kShowVertexProgramId);
    Bind(wxEVT_MENU, &MyFrame::onMoving, this, kMovingId);
    Bind(wxEVT_MENU, &MyFrame::onHerdProperties, this, kHerdPropertiesId);
    Bind(wxEVT_MENU, &MyFrame::onAbout, this, kAboutId);
    Bind(wxEVT_MENU, [](wxCommandEvent&) {}, kNoCommandId);
    Bind(wxEVT_MENU, &MyFrame::onLoadHerd, this, kLoadHerdId);
    Bind(wxEVT_MENU, &MyFrame::onSaveHerd, this, kSaveHerdId);
    Bind(wxEVT_MENU, &MyFrame::onSaveCameraKeys, this, kSaveCameraKeysId);
    Bind(wxEVT_MENU, &MyFrame::onLoadCameraKeys, this, kLoadCameraKeysId);
    Bind(wxEVT_MENU, &MyFrame::onAnimalCount, this, kAnimalCountId);
    Bind(wxEVT_MENU, &MyFrame::onExportObj, this, kExportObjId);
    Bind(wxEVT_KEY_DOWN, &MyFrame::onKeyDown, this);
    bindExportCommands();
    addShortcutsAndDropTarget();
}

void MyFrame::openFile(const std::string& requested)
{
    // A bare sample name also finds the installed samples.
    const std::string path = findDataFile(requested);
    try {
        switch (fileKindOf(path)) {
        case FileKind::CameraKeys: m_view->loadCameraKeys(path); break;
        case FileKind::Herd: m_view->loadHerd(path); break;
        case FileKind::TextSkin: m_view->loadTextSkin(path); break;
        case FileKind::BinarySkin: m_view->loadBinarySkin(path); break;
        }
        rebuildCountMenus();
    } catch (const std::filesystem::filesystem_error&) {
        showErrorBox("Error reading skin", "Invalid path: '" + path + "'.", this);
    } catch (const Exception& e) {
        // Not only IOException: a malformed OBJ mesh named by a text skin raises
        // ParserException, which must not end the program.
        showErrorBox("Error reading file", e.message(), this);
    } catch (const std::bad_alloc&) {
        // A file too large for this machine is that file's failure, not the program's end.
        showErrorBox("Error reading file", "Not enough memory to read '" + path + "'.", this);
    }
}

void MyFrame::openSkinFiles(const std::vector<std::string>& paths)
{
    try {
        m_view->clear();
        for (const std::string& path : paths)
            openFile(path);
        if (m_view->totalAnimalCount() < 10)
            m_view->setAnimalCount(10);
        rebuildCountMenus();
    } catch (const IOException& e) {
        // A half-built scene would mix the old command's choices with the new files.
        m_view->clear();
        showErrorBox("Error reading file", e.message(), this);
    }
}

void MyFrame::onOpenSkin(wxCommandEvent&)
{
    auto* dialog = new wxFileDialog(this, "Open a skin file", "", "",
        "Binary Skinning Data(*.bin)|*.bin|Text Files(*.txt)|*.txt|All files(*.*)|*.*", wxFD_OPEN | wxFD_MULTIPLE);
    std::vector<std::string> paths;
    if (dialog->ShowModal() == wxID_OK) {
        wxArrayString chosen;
        dialog->GetPaths(chosen);
        for (const wxString& path : chosen)
            paths.push_back(std::string(path.fn_str()));
    }
    // Gone before loading starts, so it neither covers the view during a long load nor leaks
    // when an unexpected exception leaves this handler.
    dialog->Destroy();
    if (!paths.empty())
        openSkinFiles(paths);
}

void MyFrame::onExit(wxCommandEvent&)
{
    Destroy();
}

void MyFrame::onCamera(wxCommandEvent& event)
{
    m_view->useCamera(event.GetId() == kOrthographicId ? GLView::CameraChoice::Orthographic
                                                       : GLView::CameraChoice::Perspective);
}

void MyFrame::onMoving(wxCommandEvent&)
{
    m_view->setFrame(0);
}

void MyFrame::onLoadHerd(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Load herd", "", "", "Herd Files(*.herd)|*.herd|All files(*.*)|*.*", wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    try {
        m_view->loadHerd(std::string(dialog.GetPath().fn_str()));
        rebuildCountMenus();
    } catch (const Exception& e) {
        showErrorBox(HerdScene::kLoadHerdCaption, e.message(), this);
    }
}

void MyFrame::onSaveHerd(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Save herd", "", "", "Herd Files(*.herd)|*.herd|All files(*.*)|*.*",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    saveHerdTo(std::string(dialog.GetPath().fn_str()));
}

void MyFrame::saveHerdTo(const std::string& path)
{
    try {
        m_view->saveHerd(path);
    } catch (const Exception& e) {
        showErrorBox(HerdScene::kSaveHerdCaption, e.message(), this);
    }
}

namespace {

constexpr const char* kKeysFilter = "Keys Files(*.keys)|*.keys|All files(*.*)|*.*";

} // namespace

void MyFrame::onSaveCameraKeys(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Save camera animation file", "", "", kKeysFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    saveCameraKeysTo(std::string(dialog.GetPath().fn_str()));
}

void MyFrame::onLoadCameraKeys(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Load camera animation file", "", "", kKeysFilter, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    loadCameraKeysFrom(std::string(dialog.GetPath().fn_str()));
}

void MyFrame::saveCameraKeysTo(const std::string& path)
{
    try {
        m_view->saveCameraKeys(path);
    } catch (const Exception& e) {
        showErrorBox("Error saving camera keys", e.message(), this);
    }
}

void MyFrame::loadCameraKeysFrom(const std::string& path)
{
    try {
        m_view->loadCameraKeys(path);
    } catch (const Exception& e) {
        showErrorBox("Error loading camera keys", e.message(), this);
    }
}

void MyFrame::onAnimalCount(wxCommandEvent&)
{
    long value = static_cast<long>(m_view->totalAnimalCount());
    do {
        wxTextEntryDialog dialog(this, "Number of animals", "Number of animals", wxString::Format("%ld", value),
                                 wxOK | wxCANCEL | wxCENTRE);
        if (dialog.ShowModal() != wxID_OK) return;
        // Read like the export prompts: the number the text starts with, 0 when it starts with
        // none, and asked again.
        value = parseLeadingInteger(dialog.GetValue().ToStdString());
    } while (value <= 0 || value > 100000);
    m_view->setAnimalCount(static_cast<unsigned>(value));
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
