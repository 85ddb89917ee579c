// The "Export obj file" command: every animal of the view as one OBJ mesh.
#include "app/MyFrame.h"

#include "app/ErrorBox.h"
#include "app/GLView.h"
#include "foundation/Exception.h"
#include "skin/ObjExport.h"

#include <wx/filedlg.h>

void MyFrame::onExportObj(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Export obj file", "", "", "OBJ Files(*.obj)|*.obj|All files(*.*)|*.*",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
    exportObjTo(std::string(dialog.GetPath().fn_str()));
}

void MyFrame::exportObjTo(const std::string& path)
{
    try {
        ObjFile model(ObjFile::Empty{}, path, path);
        for (const auto& herd : m_view->scene().herds()) {
            std::vector<PlacedFrame> animals(herd->instanceCount());
            for (unsigned i = 0; i < animals.size(); ++i) {
                const HerdInstance instance = herd->instance(i);
                animals[i] = PlacedFrame{instance.frame, instance.transform};
            }
            appendPlacedSkin(model, *herd->skin(), animals);
        }
        model.write(path);
    } catch (const Exception& e) {
        showErrorBox("Error exporting obj file", e.message(), this);
    }
}
