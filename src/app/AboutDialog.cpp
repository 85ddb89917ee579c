#include "app/AboutDialog.h"

#include "app/AboutText.h"
#include "app/BitmapControl.h"
#include "app/DialogPictures.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

AboutDialog::AboutDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "About Flexherd", wxDefaultPosition, wxSize(400, 500), wxDEFAULT_DIALOG_STYLE)
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    m_banner = new BitmapControl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
    m_banner->addBitmap(aboutBanner());
    sizer->Add(m_banner, 0);
    m_text = new wxTextCtrl(this, 0, "", wxDefaultPosition, wxSize(-1, 300),
                            wxTE_READONLY | wxTE_MULTILINE | wxTE_RICH | wxTE_AUTO_URL);
    // Reads as part of the dialog rather than as an input field.
    m_text->SetBackgroundColour(GetBackgroundColour());
    sizer->Add(m_text, 1, wxEXPAND | wxALL, 5);
    sizer->Add(CreateStdDialogButtonSizer(wxOK), 0, wxALIGN_CENTER | wxALL, 5);
    m_text->AppendText(wxString::FromUTF8(aboutText()));
    m_text->SetInsertionPoint(0);
    SetSizer(sizer);
    sizer->SetSizeHints(this);
}
