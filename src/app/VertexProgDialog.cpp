#include "app/VertexProgDialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

namespace {

constexpr long kReadOnlyTextStyle = wxTE_READONLY | wxTE_MULTILINE | wxTE_RICH | wxTE_AUTO_URL;

} // namespace

VertexProgDialog::VertexProgDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "ARB Vertex Program", wxDefaultPosition, wxSize(400, 500), wxDEFAULT_DIALOG_STYLE)
{
    m_text = new wxTextCtrl(this, 0, "", wxDefaultPosition, wxSize(500, 300), kReadOnlyTextStyle);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_text, 1, wxEXPAND | wxALL, 5);
    sizer->Add(CreateStdDialogButtonSizer(wxOK), 0, wxALIGN_CENTER | wxALL, 5);
    SetSizer(sizer);
    sizer->SetSizeHints(this);
    // A modeless dialog's OK would otherwise try to end a modal loop that is not running.
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Hide(); }, wxID_OK);
}

void VertexProgDialog::setProgramText(const std::string& text)
{
    m_text->Clear();
    m_text->SetValue(wxString::FromUTF8(text));
    m_text->SetInsertionPoint(0);
}
