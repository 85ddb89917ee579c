#pragma once

#include <wx/frame.h>

#include <string>
#include <vector>

class GLView;

// The viewer's main window: the menu bar and the GLView filling the client area. Turns file
// names into loads on the view and every load failure into an error box, so a bad file never
// ends the program or the loading of the files after it.
//
// Menus of this milestone: "&File" with "Open skinned mesh..." and "E&xit". Ctrl+R toggles the
// "&Running" item once the animation menu exists; until then the frame handles no keys.
class MyFrame : public wxFrame {
public:
    // Menu command ids; fixed numbers rather than wxID_ANY so scripts and tests can send them.
    static constexpr int kOpenSkinId = 0;
    static constexpr int kExitId = 11;

    MyFrame(wxWindow* parent, const wxString& title, const wxPoint& position, const wxSize& size, long style);

    // Loads one file, choosing the loader by extension (fileKindOf). Failures reading the file
    // show "Error reading file" with the loader's message; a path the file system rejects shows
    // "Error reading skin" / "Invalid path: 'PATH'.". Other exceptions pass through.
    void openFile(const std::string& path);
    // What the open command does with the chosen files: replaces the scene with them, loaded in
    // order, and fills the herds up to ten animals.
    void openSkinFiles(const std::vector<std::string>& paths);
    // Rebuilds the correction and level-of-detail menus from the loaded skins in a later
    // milestone; those menus do not exist yet, so nothing to do.
    void rebuildCountMenus();

    GLView* view() const { return m_view; }

private:
    void onOpenSkin(wxCommandEvent& event);
    void onExit(wxCommandEvent& event);

    GLView* m_view = nullptr;
};
