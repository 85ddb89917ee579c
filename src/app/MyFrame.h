#pragma once

#include "app/MenuIds.h"
#include "app/ViewSettings.h"

#include <wx/frame.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

class AboutDialog;
class GLView;
class HerdDialog;
class VertexProgDialog;
class wxMenu;
class wxMenuItem;

// The viewer's main window: the menu bar and the GLView filling the client area. The menus'
// check and radio items are the settings store: the frame answers the renderers' and the
// view's settings queries from their check states at the moment of asking, so nothing is
// copied. Turns file names into loads on the view and every load failure into an error box,
// so a bad file never ends the program or the loading of the files after it.
//
// Menus: "&File", "&Camera", "Render" (with "Lighting", "Method", "LOD", "Geometry" and
// "Background"), "Eigenskin" ("Vertex corrections", "Normal corrections"), "PRT"
// ("Corrections"), "Herd" and "Help". The correction-count and fixed-level items are remade
// from the loaded skins after every load (rebuildCountMenus).
class MyFrame : public wxFrame, public ViewSettings {
public:
    static constexpr int kOpenSkinId = ::kOpenSkinId;
    static constexpr int kExitId = ::kExitId;

    MyFrame(wxWindow* parent, const wxString& title, const wxPoint& position, const wxSize& size, long style);

    // Loads one file, choosing the loader by extension (fileKindOf), then rebuilds the count
    // menus. Failures reading the file show "Error reading file" with the loader's message; a
    // path the file system rejects shows "Error reading skin" / "Invalid path: 'PATH'.". A
    // relative name that is not found from the working directory is looked up in the installed
    // data directory (findDataFile), so "quadruped.bin" opens the installed sample.
    void openFile(const std::string& path);
    // What the open command does with the chosen files: replaces the scene with them, loaded in
    // order, and fills the herds up to ten animals.
    void openSkinFiles(const std::vector<std::string>& paths);
    // Remakes "Vertex corrections", "Normal corrections" and PRT "Corrections" with one item per
    // basis vector of the largest skin in use (selecting 2, 2 and 7 where there are that many),
    // and the fixed "LOD" levels with one item per level of the deepest herd.
    void rebuildCountMenus();
    // The camera animation commands after their file dialogs: an Exception is shown with the
    // caption "Error saving camera keys" or "Error loading camera keys". Stream errors are
    // shown by the view itself.
    void saveCameraKeysTo(const std::string& path);
    void loadCameraKeysFrom(const std::string& path);
    // The "Save herd" command after its dialog: an Exception is shown under "Error writing
    // herd".
    void saveHerdTo(const std::string& path);
    // The "Export obj file" command after its dialog: every animal of every herd as one OBJ
    // mesh (see ObjExport.h); an Exception is shown under "Error exporting obj file".
    void exportObjTo(const std::string& path);

    // MyFrameExport.cpp: the export commands after their dialogs. Failures are shown with
    // showErrorBox under "Error writing image".
    // One image; true when it was written.
    bool exportImageTo(const std::string& path, int width, int height);
    // Called after each frame with (frames done, frames in all); false stops after that frame.
    using ExportProgress = std::function<bool(int done, int total)>;
    struct SequenceOutcome {
        int written = 0;
        bool failed = false;    // an error was shown; the frames written before it stay
        bool cancelled = false; // progress said stop
    };
    // Frames 0 .. frames - 1 of the animation, each as path numbered before its last dot
    // (sequenceFrameName). The view is repainted on screen every ten frames and at the end.
    SequenceOutcome exportImageSequenceTo(const std::string& path, int width, int height, int frames,
                                          const ExportProgress& progress = {});

    GLView* view() const { return m_view; }
    // The frame's dialogs, made once and reused (hidden until their commands show them).
    HerdDialog* herdDialog() const { return m_herdDialog; }
    AboutDialog* aboutDialog() const { return m_aboutDialog; }
    VertexProgDialog* vertexProgDialog() const { return m_vertexProgDialog; }

    // RenderSettings, from the menus.
    GeometryMode geometryMode() const override;
    LightingMode lightingMode() const override;
    RenderMethod renderMethod() const override;
    bool wireframeOnShaded() const override;
    bool useTriangleStrips() const override;
    unsigned vertexCorrectionCount() const override;
    unsigned normalCorrectionCount() const override;
    unsigned prtCorrectionCount() const override;

    // ViewSettings, from the menus.
    bool useVertexProgram() const override;
    BackgroundMode backgroundMode() const override;
    bool groundPlane() const override;
    bool shadows() const override;
    DetailMode detailMode() const override;
    unsigned fixedDetailLevel() const override;
    bool running() const override;
    void setRunning(bool running) override;
    bool moving() const override;

    // The item with a fixed id (below kFirstVertexCorrectionId), or null.
    wxMenuItem* menuItem(int id) const;
    bool isChecked(int id) const;

    wxMenu* vertexCorrectionsMenu() const { return m_vertexCorrections; }
    wxMenu* normalCorrectionsMenu() const { return m_normalCorrections; }
    wxMenu* prtCorrectionsMenu() const { return m_prtCorrections; }
    wxMenu* lodMenu() const { return m_lod; }

private:
    // MyFrameMenus.cpp
    void buildMenuBar();
    void remember(wxMenuItem* item);
    void onSettingsChanged(wxCommandEvent& event);
    void onRepaint(wxCommandEvent& event);

    // MyFrameExport.cpp
    void bindExportCommands();
    void onExportImage(wxCommandEvent& event);
    void onExportImageSequence(wxCommandEvent& event);
    void onTimedemo(wxCommandEvent& event);
    // Asks for a width and a height (1..19999) until both are valid; false on Cancel.
    bool askImageSize(long defaultWidth, long defaultHeight, int& width, int& height);
    // MyFrameConveniences.cpp: the accelerator table, the drop target on the view and the
    // help panel item.
    void addShortcutsAndDropTarget();
    // MyFrameDialogs.cpp
    void createDialogs();
    void onShowVertexProgram(wxCommandEvent& event);
    void onHerdProperties(wxCommandEvent& event);
    void onAbout(wxCommandEvent& event);

    // MyFrame.cpp
    void onOpenSkin(wxCommandEvent& event);
    void onExit(wxCommandEvent& event);
    void onCamera(wxCommandEvent& event);
    void onMoving(wxCommandEvent& event);
    void onLoadHerd(wxCommandEvent& event);
    void onSaveHerd(wxCommandEvent& event);
    void onSaveCameraKeys(wxCommandEvent& event);
    void onLoadCameraKeys(wxCommandEvent& event);
    void onAnimalCount(wxCommandEvent& event);
    void onExportObj(wxCommandEvent& event);
    void onKeyDown(wxKeyEvent& event);

    GLView* m_view = nullptr;
    HerdDialog* m_herdDialog = nullptr;
    AboutDialog* m_aboutDialog = nullptr;
    VertexProgDialog* m_vertexProgDialog = nullptr;
    // Items with fixed ids, indexed by id, so that settings queries during drawing cost an
    // array look-up rather than a search through the menu bar.
    std::array<wxMenuItem*, kFirstVertexCorrectionId> m_items{};
    wxMenu* m_vertexCorrections = nullptr;
    wxMenu* m_normalCorrections = nullptr;
    wxMenu* m_prtCorrections = nullptr;
    wxMenu* m_lod = nullptr;
};
