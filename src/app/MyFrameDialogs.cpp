// The frame's dialog commands: herd properties, the vertex program and the about box.
#include "app/MyFrame.h"

#include "app/AboutDialog.h"
#include "app/GLView.h"
#include "app/HerdDialog.h"
#include "app/VertexProgDialog.h"
#include "herd/HerdCreator.h"

void MyFrame::createDialogs()
{
    m_herdDialog = new HerdDialog(this, "Herd properties", wxDefaultPosition, wxDEFAULT_DIALOG_STYLE);
    m_aboutDialog = new AboutDialog(this);
    m_vertexProgDialog = new VertexProgDialog(this);
}

void MyFrame::onShowVertexProgram(wxCommandEvent&)
{
    m_vertexProgDialog->setProgramText(m_view->vertexProgramText());
    m_vertexProgDialog->Show();
    m_vertexProgDialog->Raise();
}

void MyFrame::onHerdProperties(wxCommandEvent&)
{
    if (const std::shared_ptr<HerdCreator> creator = m_view->currentHerdCreator())
        m_herdDialog->showCreator(*creator);
    m_herdDialog->setAnimalCount(m_view->totalAnimalCount());
    if (m_herdDialog->ShowModal() != wxID_OK) return;
    // OK has checked the fields (HerdDialog::TransferDataFromWindow).
    const HerdChoice& choice = m_herdDialog->choice();
    m_view->setHerdCreator(makeHerdCreator(choice));
    // Grid herds have the size of their grid; the dialog hides the count for them.
    if (choice.animalCount) m_view->setAnimalCount(*choice.animalCount);
    m_view->Refresh(false);
}

void MyFrame::onAbout(wxCommandEvent&)
{
    m_aboutDialog->ShowModal();
}
