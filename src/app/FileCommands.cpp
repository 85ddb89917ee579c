#include "app/FileCommands.h"

#include "app/DataFiles.h"
#include "app/ErrorBox.h"
#include "app/FileOpening.h"
#include "app/GLView.h"
#include "app/LoadFailureReport.h"
#include "app/ViewerMemory.h"
#include "bake/ModelFiles.h"
#include "foundation/Exception.h"
#include "skin/FileDispatch.h"
#include "viewer/ViewerCore.h"

#include <wx/filedlg.h>

#include <filesystem>
#include <new>

namespace {

constexpr const char* kHerdFilter = "Herd Files(*.herd)|*.herd|All files(*.*)|*.*";
constexpr const char* kKeysFilter = "Keys Files(*.keys)|*.keys|All files(*.*)|*.*";

} // namespace

FileCommands::FileCommands(wxWindow& parent, ViewerCore& core, GLView& view, std::function<void()> loaded)
    : m_parent(parent), m_core(core), m_view(view), m_loaded(std::move(loaded))
{
}

std::string FileCommands::choosePath(const char* title, const char* filter, long style)
{
    wxFileDialog dialog(&m_parent, title, m_memory ? m_memory->lastDirectory(title) : "", "", filter, style);
    if (dialog.ShowModal() != wxID_OK) return {};
    const std::string path(dialog.GetPath().fn_str());
    if (m_memory) m_memory->rememberDirectory(title, path);
    return path;
}

void FileCommands::openFile(const std::string& requested)
{
    bool failed = false;
    const bool loaded = openFileReporting(
        m_core, requested, [this] { m_view.prepareRenderers(); },
        [this, &failed](const std::string& caption, const std::string& message) {
            failed = true;
            showErrorBox(caption, message, &m_parent);
        });
    // Only a file that opened without a complaint is worth opening again.
    if (loaded && !failed && m_memory) m_memory->addRecentFile(findDataFile(requested));
    if (loaded)
        m_loaded();
    else
        // Keys read before a failure may have moved the camera.
        m_view.Refresh(false);
}

void FileCommands::openSkinFiles(const std::vector<std::string>& paths)
{
    try {
        m_core.clear();
        m_view.prepareRenderers();
        for (const std::string& path : paths)
            openFile(path);
        if (m_core.totalAnimalCount() < 10)
            m_core.setAnimalCount(10);
        frameImportedAnimals();
        m_loaded();
    } catch (const IOException& e) {
        // A half-built scene would mix the old command's choices with the new files.
        m_core.clear();
        m_view.prepareRenderers();
        showErrorBox("Error reading file", e.message(), &m_parent);
    }
}

void FileCommands::frameImportedAnimals()
{
    // The window's shape decides what is in view; the renderer sets it only when it paints.
    const wxSize size = m_view.clientSize();
    if (size.x > 0 && size.y > 0) m_core.currentCamera().setViewportAspect(double(size.x) / double(size.y));
    if (m_core.frameAnimalsAfterImport()) m_view.Refresh(false);
}

void FileCommands::onOpenSkin()
{
    // The model formats come after the viewer's own, before "All files".
    const std::string models = modelFilePattern();
    auto* dialog = new wxFileDialog(&m_parent, "Open a skin file", m_memory ? m_memory->lastDirectory("Open a skin file") : "", "",
        "Binary Skinning Data(*.bin)|*.bin|Text Files(*.txt)|*.txt|Model Files|" + models + "|All files(*.*)|*.*",
        wxFD_OPEN | wxFD_MULTIPLE);
    std::vector<std::string> paths;
    if (dialog->ShowModal() == wxID_OK) {
        wxArrayString chosen;
        dialog->GetPaths(chosen);
        for (const wxString& path : chosen)
            paths.push_back(std::string(path.fn_str()));
        if (m_memory && !paths.empty()) m_memory->rememberDirectory("Open a skin file", paths.front());
    }
    // Gone before loading starts, so it neither covers the view during a long load nor leaks
    // when an unexpected exception leaves this handler.
    dialog->Destroy();
    if (!paths.empty())
        openSkinFiles(paths);
}

void FileCommands::loadHerdFrom(const std::string& path)
{
    try {
        try {
            m_core.loadHerd(path);
        } catch (const ModelImportCancelled&) {
            m_view.prepareRenderers();
            m_loaded();
            return;
        } catch (const Exception& e) {
            const LoadFailureReport report = loadFailureReport(FileKind::Herd, e, "Error reading herd");
            if (!report.loadCompleted) throw;
            // A skin file named in the herd failed: the herds before it stay and count as loaded.
            m_view.prepareRenderers();
            showErrorBox(report.caption, e.message(), &m_parent);
            m_loaded();
            return;
        }
        m_view.prepareRenderers();
        frameImportedAnimals();
        m_loaded();
    } catch (const Exception& e) {
        m_view.Refresh(false);
        showErrorBox("Error reading herd", e.message(), &m_parent);
    }
}

void FileCommands::saveHerdTo(const std::string& path)
{
    try {
        m_core.saveHerd(path);
    } catch (const Exception& e) {
        showErrorBox("Error writing herd", e.message(), &m_parent);
    }
}

void FileCommands::onLoadHerd()
{
    const std::string path = choosePath("Load herd", kHerdFilter, wxFD_OPEN);
    if (!path.empty()) loadHerdFrom(path);
}

void FileCommands::onSaveHerd()
{
    const std::string path = choosePath("Save herd", kHerdFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (!path.empty()) saveHerdTo(path);
}

void FileCommands::saveCameraKeysTo(const std::string& path)
{
    try {
        m_core.saveCameraKeys(path);
    } catch (const Exception& e) {
        showErrorBox("Error saving camera keys", e.message(), &m_parent);
    }
}

void FileCommands::loadCameraKeysFrom(const std::string& path)
{
    try {
        m_core.loadCameraKeys(path);
    } catch (const Exception& e) {
        // The records read before a failure are in force: the camera follows them.
        m_view.Refresh(false);
        showErrorBox(loadFailureReport(FileKind::CameraKeys, e, "Error loading camera keys").caption, e.message(),
                     &m_parent);
        return;
    }
    m_view.Refresh(false);
}

void FileCommands::onSaveCameraKeys()
{
    const std::string path = choosePath("Save camera animation file", kKeysFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (!path.empty()) saveCameraKeysTo(path);
}

void FileCommands::onLoadCameraKeys()
{
    const std::string path = choosePath("Load camera animation file", kKeysFilter, wxFD_OPEN);
    if (!path.empty()) loadCameraKeysFrom(path);
}

void FileCommands::exportObjTo(const std::string& path)
{
    try {
        m_core.exportObj(path);
    } catch (const Exception& e) {
        showErrorBox("Error exporting obj file", e.message(), &m_parent);
    }
}

void FileCommands::onExportObj()
{
    const std::string path =
        choosePath("Export obj file", "OBJ Files(*.obj)|*.obj|All files(*.*)|*.*", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (!path.empty()) exportObjTo(path);
}
