#include "app/HerdDialog.h"

#include "app/BitmapControl.h"
#include "app/DialogPictures.h"
#include "app/ErrorBox.h"

#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cassert>

namespace {

constexpr int kLayoutChoiceId = 0;

std::string textOf(const wxTextCtrl* field)
{
    return field->GetValue().ToStdString();
}

} // namespace

HerdDialog::HerdDialog(wxWindow* parent, const wxString& title, const wxPoint& position, long style)
    : wxDialog(parent, wxID_ANY, title, position, wxSize(300, 500), style)
{
    m_picture = new BitmapControl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSTATIC_BORDER);
    m_choiceControl = new wxChoice(this, kLayoutChoiceId);
    for (const HerdLayout& layout : herdLayouts()) {
        m_choiceControl->Append(layout.label);
        m_layoutKeys.push_back(layout.key);
        m_picture->addBitmap(layoutPicture(layout.key));
    }

    const auto field = [this] { return new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(100, -1), 0); };
    m_animalCount = field();
    m_animalCountLabel = new wxStaticText(this, wxID_ANY, "Animal count");
    m_rows = field();
    m_rowsLabel = new wxStaticText(this, wxID_ANY, "Rows");
    m_rows->SetValue("10");
    m_columns = field();
    m_columnsLabel = new wxStaticText(this, wxID_ANY, "Columns");
    m_columns->SetValue("10");
    m_width = field();
    m_widthLabel = new wxStaticText(this, wxID_ANY, "Width");
    m_width->SetValue("50");

    auto* pictureAndChoice = new wxBoxSizer(wxVERTICAL);
    pictureAndChoice->Add(m_picture, 0, wxALL, 5);
    pictureAndChoice->Add(m_choiceControl, 0, wxEXPAND | wxALL, 5);
    m_controlsRow = new wxBoxSizer(wxHORIZONTAL);
    m_controlsRow->Add(pictureAndChoice, 0);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(m_controlsRow, 0);
    top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxALIGN_CENTER | wxALL, 5);
    SetSizer(top);

    Bind(wxEVT_CHOICE, &HerdDialog::onChoice, this, kLayoutChoiceId);

    selectLayout(kRoundLayout);
    top->SetSizeHints(this);
}

void HerdDialog::selectLayout(int key)
{
    const auto found = std::find(m_layoutKeys.begin(), m_layoutKeys.end(), key);
    assert(found != m_layoutKeys.end());
    if (found == m_layoutKeys.end()) return;
    m_selectedLayout = key;
    const auto position = static_cast<std::size_t>(found - m_layoutKeys.begin());
    m_picture->showBitmap(position);
    m_choiceControl->SetSelection(static_cast<int>(position));

    // A new grid each time: the old one is destroyed with its items, the windows it held stay.
    if (m_fieldGrid != nullptr) m_controlsRow->Remove(m_fieldGrid);
    m_fieldGrid = new wxFlexGridSizer(2, 2, 5, 5);
    const auto place = [this](wxStaticText* label, wxTextCtrl* field, bool shown) {
        label->Show(shown);
        field->Show(shown);
        if (!shown) return;
        m_fieldGrid->Add(label, 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
        m_fieldGrid->Add(field, 1, wxALL, 5);
    };
    const HerdLayoutFields shown = fieldsShownBy(key);
    place(m_rowsLabel, m_rows, shown.rows);
    place(m_columnsLabel, m_columns, shown.columns);
    place(m_animalCountLabel, m_animalCount, shown.animalCount);
    place(m_widthLabel, m_width, shown.width);
    m_controlsRow->Add(m_fieldGrid, 1, wxALL, 10);
    Layout();
}

void HerdDialog::showCreator(const HerdCreator& creator)
{
    const CreatorFields fields = creatorFields(creator);
    selectLayout(fields.layout);
    if (fields.rows) m_rows->SetValue(*fields.rows);
    if (fields.columns) m_columns->SetValue(*fields.columns);
    if (fields.width) m_width->SetValue(*fields.width);
}

void HerdDialog::setAnimalCount(unsigned n)
{
    m_animalCount->SetValue(wxString::Format("%u", n));
}

std::optional<long> HerdDialog::animalCount() const
{
    return parseWholeNumber(textOf(m_animalCount));
}

std::optional<long> HerdDialog::rows() const
{
    return parseWholeNumber(textOf(m_rows));
}

std::optional<long> HerdDialog::columns() const
{
    return parseWholeNumber(textOf(m_columns));
}

std::optional<double> HerdDialog::width() const
{
    const std::optional<long> value = parseWholeNumber(textOf(m_width));
    if (!value) return std::nullopt;
    return static_cast<double>(*value);
}

HerdFieldTexts HerdDialog::fieldTexts() const
{
    return {textOf(m_animalCount), textOf(m_rows), textOf(m_columns), textOf(m_width)};
}

bool HerdDialog::TransferDataFromWindow()
{
    const auto read = readHerdChoice(m_selectedLayout, fieldTexts());
    if (const auto* message = std::get_if<std::string>(&read)) {
        showErrorBox("Herd properties", *message, this);
        return false;
    }
    m_choice = std::get<HerdChoice>(read);
    return wxDialog::TransferDataFromWindow();
}

void HerdDialog::onChoice(wxCommandEvent& event)
{
    const int selection = event.GetSelection();
    if (selection >= 0 && selection < static_cast<int>(m_layoutKeys.size()))
        selectLayout(m_layoutKeys[static_cast<std::size_t>(selection)]);
}
