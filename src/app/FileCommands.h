#pragma once

#include <functional>
#include <string>
#include <vector>

class GLView;
class ViewerCore;
class ViewerMemory;
class wxWindow;

// The main frame's commands that read and write files: opening skin, herd and keys files
// (from the open dialog, the command line and dropped files), the herd and camera animation
// files, and the OBJ export. Each follows one path: choose a file, call the viewer core,
// catch the failure and show it with showErrorBox under the command's caption, so a bad file
// never ends the program or the loading of the files after it. The parent (the frame), the
// core and the canvas must outlive it.
class FileCommands {
public:
    // loaded is called after every load that counts as done (the frame remakes its count
    // menus from the loaded skins).
    FileCommands(wxWindow& parent, ViewerCore& core, GLView& view, std::function<void()> loaded);

    // Loads one file, choosing the loader by extension (fileKindOf). A failure is shown under
    // "Error reading file", or under the file's own caption when it is the file's own (see
    // loadFailureReport), and a path the file system rejects under "Error reading skin" /
    // "Invalid path: 'PATH'.". A relative name that is not found from the working directory is
    // looked up in the installed data directory (findDataFile), so "quadruped.bin" opens the
    // installed sample.
    void openFile(const std::string& path);
    // What the open command does with the chosen files: replaces the scene with them, loaded in
    // order, and fills the herds up to ten animals. Model files are imported (see
    // ViewerCore::openFile) with the progress dialog; a failed import is shown under "Error
    // importing model", a cancelled one leaves nothing of its model.
    void openSkinFiles(const std::vector<std::string>& paths);
    // Once the files of a command are loaded and the animal count settled: frames the animals
    // when an imported model left some out of view (ViewerCore::frameAnimalsAfterImport).
    void frameImportedAnimals();
    // The herd file commands after their dialogs: "Error reading herd" and "Error writing herd"
    // for the herd file's own failures.
    void loadHerdFrom(const std::string& path);
    void saveHerdTo(const std::string& path);
    // The camera animation commands after their dialogs: an Exception is shown with the
    // caption "Error saving camera keys" or "Error loading camera keys"; a keys file that ends
    // early with "Error reading camera keys".
    void saveCameraKeysTo(const std::string& path);
    void loadCameraKeysFrom(const std::string& path);
    // The "Export obj file" command after its dialog: every animal of every herd as one OBJ
    // mesh (see ObjExport.h); an Exception is shown under "Error exporting obj file".
    void exportObjTo(const std::string& path);

    // With a memory, files opened join its recent files and file dialogs start in the
    // directory they showed last. It must outlive its use; null forgets it.
    void setMemory(ViewerMemory* memory) { m_memory = memory; }

    // The commands with their file dialogs.
    void onOpenSkin();
    void onLoadHerd();
    void onSaveHerd();
    void onSaveCameraKeys();
    void onLoadCameraKeys();
    void onExportObj();

private:
    // The path chosen in a file dialog, or empty on Cancel.
    std::string choosePath(const char* title, const char* filter, long style);

    wxWindow& m_parent;
    ViewerCore& m_core;
    GLView& m_view;
    std::function<void()> m_loaded;
    ViewerMemory* m_memory = nullptr;
};
