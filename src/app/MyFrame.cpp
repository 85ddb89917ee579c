#include "app/MyFrame.h"

#include "app/ErrorBox.h"
#include "app/FileDispatch.h"
#include "app/GLView.h"
#include "foundation/Exception.h"

#include <wx/filedlg.h>
#include <wx/menu.h>

#include <filesystem>

MyFrame::MyFrame(wxWindow* parent, const wxString& title, const wxPoint& position, const wxSize& size, long style)
    : wxFrame(parent, wxID_ANY, title, position, size, style)
{
    auto* fileMenu = new wxMenu;
    fileMenu->Append(kOpenSkinId, "Open skinned mesh...");
    fileMenu->AppendSeparator();
    fileMenu->Append(kExitId, "E&xit");

    auto* menuBar = new wxMenuBar;
    menuBar->Append(fileMenu, "&File");
    SetMenuBar(menuBar);

    // The only child: a frame stretches its single child over the whole client area.
    m_view = new GLView(this);

    Bind(wxEVT_MENU, &MyFrame::onOpenSkin, this, kOpenSkinId);
    Bind(wxEVT_MENU, &MyFrame::onExit, this, kExitId);
}

void MyFrame::openFile(const std::string& path)
{
    try {
        switch (fileKindOf(path)) {
        case FileKind::CameraKeys: m_view->loadCameraKeys(path); break;
        case FileKind::Herd: m_view->loadHerd(path); break;
        case FileKind::TextSkin: m_view->loadTextSkin(path); break;
        case FileKind::BinarySkin: m_view->loadBinarySkin(path); break;
        }
        rebuildCountMenus();
    } catch (const IOException& e) {
        showErrorBox("Error reading file", e.message(), this);
    } catch (const std::filesystem::filesystem_error&) {
        showErrorBox("Error reading skin", "Invalid path: '" + path + "'.", this);
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

void MyFrame::rebuildCountMenus()
{
}

void MyFrame::onOpenSkin(wxCommandEvent& event)
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

void MyFrame::onExit(wxCommandEvent& event)
{
    Destroy();
}
