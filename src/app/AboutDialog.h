#pragma once

#include <wx/dialog.h>

class BitmapControl;
class wxTextCtrl;

// "About Flexherd": the banner and the credits (aboutText) of the libraries this build uses.
// Shown modally by the frame's "About..." command.
class AboutDialog : public wxDialog {
public:
    explicit AboutDialog(wxWindow* parent);

    BitmapControl* banner() const { return m_banner; }
    wxTextCtrl* textControl() const { return m_text; }

private:
    BitmapControl* m_banner = nullptr;
    wxTextCtrl* m_text = nullptr;
};
