#pragma once

#include "app/HerdLayout.h"

#include <wx/dialog.h>

#include <optional>
#include <vector>

class BitmapControl;
class HerdCreator;
class wxBoxSizer;
class wxChoice;
class wxFlexGridSizer;
class wxStaticText;
class wxTextCtrl;

// "Herd properties": how the animals of every herd are laid out ("Round", "Rectangular",
// "Grid", each with its picture) and how many there are. Only the fields of the chosen layout
// are shown. The frame fills it with showCreator and setAnimalCount, shows it modally and on OK
// reads choice(). OK with a field that is not a whole number in range shows the reason and
// keeps the dialog open. Keeps its fields between showings.
class HerdDialog : public wxDialog {
public:
    HerdDialog(wxWindow* parent, const wxString& title, const wxPoint& position = wxDefaultPosition,
               long style = wxDEFAULT_DIALOG_STYLE);

    // Shows the layout's picture, choice entry and fields; key is one of HerdLayout.h's.
    void selectLayout(int key);
    int selectedLayout() const { return m_selectedLayout; }
    // Selects the creator's layout and writes its parameters into the fields; a creator the
    // choice does not offer (a single-animal one) shows as "Round".
    void showCreator(const HerdCreator& creator);
    void setAnimalCount(unsigned n);

    // The fields as whole numbers (width as a double); nullopt when the text is not one.
    std::optional<long> animalCount() const;
    std::optional<long> rows() const;
    std::optional<long> columns() const;
    std::optional<double> width() const;

    // The choice checked by the last successful OK (see readHerdChoice).
    const HerdChoice& choice() const { return m_choice; }
    HerdFieldTexts fieldTexts() const;

    // OK's check: reads the shown fields; on failure shows the reason (caption "Herd
    // properties") and returns false, which keeps the dialog open.
    bool TransferDataFromWindow() override;

    // For tests and the frame: the controls.
    wxChoice* layoutChoice() const { return m_choiceControl; }
    BitmapControl* picture() const { return m_picture; }
    wxTextCtrl* animalCountField() const { return m_animalCount; }
    wxTextCtrl* rowsField() const { return m_rows; }
    wxTextCtrl* columnsField() const { return m_columns; }
    wxTextCtrl* widthField() const { return m_width; }

private:
    void onChoice(wxCommandEvent& event);

    int m_selectedLayout = kRoundLayout;
    std::vector<int> m_layoutKeys;
    wxChoice* m_choiceControl = nullptr;
    BitmapControl* m_picture = nullptr;
    wxTextCtrl* m_rows = nullptr;
    wxStaticText* m_rowsLabel = nullptr;
    wxTextCtrl* m_columns = nullptr;
    wxStaticText* m_columnsLabel = nullptr;
    wxTextCtrl* m_width = nullptr;
    wxStaticText* m_widthLabel = nullptr;
    wxTextCtrl* m_animalCount = nullptr;
    wxStaticText* m_animalCountLabel = nullptr;
    wxBoxSizer* m_controlsRow = nullptr;
    wxFlexGridSizer* m_fieldGrid = nullptr;
    HerdChoice m_choice;
};
