// The frame's "Herd" commands: moving animals, the herd properties and the number of animals.
#include "app/MyFrame.h"

#include "app/GLView.h"
#include "app/HerdDialog.h"
#include "herd/HerdCreator.h"
#include "render/ExportNaming.h"
#include "viewer/ViewerCore.h"

#include <wx/textdlg.h>

void MyFrame::bindHerdCommands()
{
    Bind(wxEVT_MENU, &MyFrame::onMoving, this, kMovingId);
    Bind(wxEVT_MENU, &MyFrame::onHerdProperties, this, kHerdPropertiesId);
    Bind(wxEVT_MENU, &MyFrame::onAnimalCount, this, kAnimalCountId);
}

void MyFrame::onMoving(wxCommandEvent&)
{
    m_core->setFrame(0);
}

void MyFrame::onHerdProperties(wxCommandEvent&)
{
    if (const std::shared_ptr<HerdCreator> creator = m_core->currentHerdCreator())
        m_herdDialog->showCreator(*creator);
    m_herdDialog->setAnimalCount(m_core->totalAnimalCount());
    if (m_herdDialog->ShowModal() != wxID_OK) return;
    // OK has checked the fields (HerdDialog::TransferDataFromWindow).
    const HerdChoice& choice = m_herdDialog->choice();
    m_core->setHerdCreator(makeHerdCreator(choice));
    // Grid herds have the size of their grid; the dialog hides the count for them.
    if (choice.animalCount) m_core->setAnimalCount(*choice.animalCount);
    m_view->Refresh(false);
}

void MyFrame::onAnimalCount(wxCommandEvent&)
{
    long value = static_cast<long>(m_core->totalAnimalCount());
    do {
        wxTextEntryDialog dialog(this, "Number of animals", "Number of animals", wxString::Format("%ld", value),
                                 wxOK | wxCANCEL | wxCENTRE);
        if (dialog.ShowModal() != wxID_OK) return;
        // Read like the export prompts: the number the text starts with, 0 when it starts with
        // none, and asked again.
        value = parseLeadingInteger(dialog.GetValue().ToStdString());
    } while (value <= 0 || value > 100000);
    m_core->setAnimalCount(static_cast<unsigned>(value));
    m_view->Refresh(false);
}
