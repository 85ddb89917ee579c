#pragma once

#include "app/MenuSettings.h"

#include <wx/frame.h>

#include <memory>

class AboutDialog;
class ExportCommands;
class FileCommands;
class GLContextSource;
class GLView;
class HerdDialog;
class ImportProgressDialog;
class VertexProgDialog;
class ViewerCore;
class ViewerMemory;

// The viewer's main window: the menu bar, which is the settings store (MenuSettings: every
// consumer asks the frame, the frame answers from its check states), and the GLView filling
// the client area. It owns the viewer core and routes the menus' commands to it, to the
// canvas and to the dialogs.
//
// Its commands live beside their menus: MyFrame.cpp the "&File" and "&Camera" ones,
// MyFrameRender.cpp the rendering choices, MyFrameHerd.cpp the herds, MyFrameHelp.cpp help,
// shortcuts and dropped files; FileCommands reads and writes the files and ExportCommands
// draws images, sequences and the timedemo.
class MyFrame : public wxFrame, public MenuSettings {
public:
    // contexts (the application) gives the canvas its GL context and must outlive the frame.
    MyFrame(wxWindow* parent, const wxString& title, const wxPoint& position, const wxSize& size, long style,
            GLContextSource& contexts);
    ~MyFrame() override;

    ViewerCore& core() const { return *m_core; }
    GLView* view() const { return m_view; }
    FileCommands& files() const { return *m_files; }
    ExportCommands& exports() const { return *m_exports; }
    ImportProgressDialog& importProgress() const { return *m_importProgress; }

    // Remakes the count menus from the loaded herds (MenuSettings::rebuildCountMenus); done
    // after every load.
    void rebuildCountMenus();

    // Remembers from now on (the interactive viewer; batch runs and most tests do without):
    // "Open recent" lists memory's recent files and opens them, file dialogs start in their
    // last directory, files opened are added to the history, and the frame takes its kept
    // size and position when a screen shows them. The frame's place is kept when the frame
    // is destroyed.
    void useMemory(std::unique_ptr<ViewerMemory> memory);
    ViewerMemory* memory() const { return m_memory.get(); }

private:
    // MyFrame.cpp
    void bindCommands();
    void onCamera(wxCommandEvent& event);
    void onKeyDown(wxKeyEvent& event);

    // MyFrameRender.cpp
    void bindRenderCommands();
    void onSettingsChanged(wxCommandEvent& event);
    void onRepaint(wxCommandEvent& event);
    void onShowVertexProgram(wxCommandEvent& event);
    void onImpostorPixels(wxCommandEvent& event);

    // MyFrameHerd.cpp
    void bindHerdCommands();
    void onMoving(wxCommandEvent& event);
    void onHerdProperties(wxCommandEvent& event);
    void onAnimalCount(wxCommandEvent& event);

    // MyFrameHelp.cpp: the about box, the mouse-and-keys panel, the accelerator table and the
    // drop target on the view.
    void bindHelpCommands();

    void onOpenRecent(wxCommandEvent& event);

    std::unique_ptr<ViewerMemory> m_memory;
    std::unique_ptr<ViewerCore> m_core;
    GLView* m_view = nullptr;
    HerdDialog* m_herdDialog = nullptr;
    AboutDialog* m_aboutDialog = nullptr;
    VertexProgDialog* m_vertexProgDialog = nullptr;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<ExportCommands> m_exports;
    std::unique_ptr<ImportProgressDialog> m_importProgress;
};
