#pragma once

#include <wx/dialog.h>

#include <string>

class wxTextCtrl;

// "ARB Vertex Program": the text of the vertex program the view draws with, read-only. The
// frame shows it without making it modal, so it can stay open beside the view; OK hides it.
class VertexProgDialog : public wxDialog {
public:
    explicit VertexProgDialog(wxWindow* parent);

    // Replaces the text and scrolls back to its top.
    void setProgramText(const std::string& text);

    wxTextCtrl* textControl() const { return m_text; }

private:
    wxTextCtrl* m_text = nullptr;
};
