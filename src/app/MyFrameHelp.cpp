// The frame's "Help" commands and what it offers beyond its menus: keyboard shortcuts for the
// common commands and opening files dropped on the window.
#include "app/MyFrame.h"

#include "app/AboutDialog.h"
#include "app/FileCommands.h"
#include "app/GLView.h"
#include "viewer/ViewerCore.h"

#include <wx/accel.h>
#include <wx/dnd.h>
#include <wx/menu.h>

namespace {

// Dropped files replace the scene exactly as the open dialog's selection does.
class SkinFileDropTarget : public wxFileDropTarget {
public:
    explicit SkinFileDropTarget(MyFrame& frame) : m_frame(frame) {}

    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override
    {
        std::vector<std::string> paths;
        for (const wxString& name : names) paths.push_back(std::string(name.fn_str()));
        if (paths.empty()) return false;
        m_frame.files().openSkinFiles(paths);
        return true;
    }

private:
    MyFrame& m_frame;
};

} // namespace

void MyFrame::bindHelpCommands()
{
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_aboutDialog->ShowModal(); }, kAboutId);

    // Through a table rather than "\t" in the labels, so the labels keep their texts.
    wxAcceleratorEntry entries[] = {
        wxAcceleratorEntry(wxACCEL_CTRL, 'O', kOpenSkinId),
        wxAcceleratorEntry(wxACCEL_CTRL, 'E', kExportImageId),
        wxAcceleratorEntry(wxACCEL_CTRL, 'Q', kExitId),
        wxAcceleratorEntry(wxACCEL_NORMAL, WXK_F1, kMouseAndKeysId),
    };
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(entries)), entries));

    // On the view, which covers the whole client area; the frame owns the target through it.
    m_view->SetDropTarget(new SkinFileDropTarget(*this));

    Bind(wxEVT_MENU,
         [this](wxCommandEvent&) {
             m_core->setShowHelp(!m_core->showHelp());
             m_view->Refresh(false);
         },
         kMouseAndKeysId);
    // The view toggles the panel itself on F1 and H; the item follows it.
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Check(m_core->showHelp()); }, kMouseAndKeysId);
}
