// The frame's dialogs driven the way a user drives them: the herd properties dialog with its
// layouts, fields and checks, the modeless vertex program dialog and the about box.

#include "GuiTestSupport.h"

#include "app/AboutDialog.h"
#include "app/AboutText.h"
#include "app/BitmapControl.h"
#include "app/DialogPictures.h"
#include "app/HerdDialog.h"
#include "app/MenuIds.h"
#include "app/VertexProgDialog.h"
#include "herd/GaussianHerdCreator.h"
#include "herd/GridHerdCreator.h"
#include "herd/LineHerdCreator.h"
#include "herd/SingleHerdCreator.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/image.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/utils.h>

#include <climits>
#include <functional>
#include <memory>
#include <set>

namespace {

// What a click on a dialog button does.
void click(wxDialog* dialog, int id)
{
    wxWindow* button = dialog->FindWindow(id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

// What picking an entry of the layout choice does.
void pickLayout(HerdDialog* dialog, const std::string& label)
{
    wxChoice* choice = dialog->layoutChoice();
    const int index = choice->FindString(label);
    ASSERT_NE(index, wxNOT_FOUND) << label;
    choice->SetSelection(index);
    wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
    event.SetEventObject(choice);
    event.SetInt(index);
    choice->ProcessWindowEvent(event);
}

// The field and its label are shown, and placed in the dialog's layout, or neither.
void expectField(HerdDialog* dialog, wxTextCtrl* field, const std::string& label, bool shown)
{
    EXPECT_EQ(field->IsShown(), shown) << label;
    EXPECT_EQ(dialog->GetSizer()->GetItem(field, true) != nullptr, shown) << label << " in the layout";
    bool labelFound = false;
    for (wxWindow* child : dialog->GetChildren()) {
        auto* text = dynamic_cast<wxStaticText*>(child);
        if (text == nullptr || text->GetLabel() != label) continue;
        labelFound = true;
        EXPECT_EQ(text->IsShown(), shown) << label << " label";
        EXPECT_EQ(dialog->GetSizer()->GetItem(text, true) != nullptr, shown) << label << " label in the layout";
    }
    EXPECT_TRUE(labelFound) << label;
}


// The presets the text entry dialogs showed, in order.
std::vector<std::string> presets(const ScriptedDialogs& dialogs)
{
    std::vector<std::string> values;
    for (const ScriptedDialogs::Shown& shown : dialogs.shown) {
        EXPECT_EQ(shown.kind, "text");
        EXPECT_EQ(shown.title, "Number of animals");
        EXPECT_EQ(shown.text, "Number of animals");
        values.push_back(shown.detail);
    }
    return values;
}

class DialogTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_herdDialog = findChild<HerdDialog>(m_frame);
        ASSERT_NE(m_herdDialog, nullptr);
    }
    void TearDown() override
    {
        // The frame is shared by every test: give it back its start-up creator.
        m_core->setHerdCreator(std::make_shared<GaussianHerdCreator>());
        m_herdDialog->selectLayout(kRoundLayout);
        GuiTest::TearDown();
    }

    // Sends the command and runs during() inside the modal loop of the dialog it shows; the
    // dialog is cancelled afterwards if during() left it open. False when no modal loop ran.
    bool whileModal(wxDialog* dialog, int commandId, std::function<void()> during)
    {
        // Shared, not on this stack: should the command show no modal dialog, the call runs
        // at some later pump, after this function has returned, and must then do nothing.
        auto ranModal = std::make_shared<bool>(false);
        wxTheApp->CallAfter([ranModal, dialog, during = std::move(during)] {
            if (!dialog->IsModal()) return;
            *ranModal = true;
            during();
            if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        });
        choose(commandId);
        return *ranModal;
    }

    // A command with no menu item, as scripts send it.
    void command(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(event);
    }

    HerdDialog* m_herdDialog = nullptr;
};

} // namespace

TEST_F(DialogTest, HerdDialogShowsTheFieldsOfTheChosenLayout)
{
    HerdDialog* dialog = m_herdDialog;
    EXPECT_EQ(dialog->GetTitle(), "Herd properties");
    EXPECT_FALSE(dialog->IsShown());
    ASSERT_EQ(dialog->layoutChoice()->GetCount(), 3u);
    EXPECT_EQ(dialog->layoutChoice()->GetString(0), "Round");
    EXPECT_EQ(dialog->layoutChoice()->GetString(1), "Rectangular");
    EXPECT_EQ(dialog->layoutChoice()->GetString(2), "Grid");
    EXPECT_EQ(dialog->picture()->bitmapCount(), 3u);

    const struct {
        std::string label;
        int key;
        bool count, rows, columns, width;
    } cases[] = {
        {"Grid", kGridLayout, false, true, true, false},
        {"Rectangular", kRectangularLayout, true, false, false, true},
        {"Round", kRoundLayout, true, false, false, false},
        {"Grid", kGridLayout, false, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        pickLayout(dialog, c.label);
        EXPECT_EQ(dialog->selectedLayout(), c.key);
        EXPECT_EQ(dialog->picture()->shownIndex(), c.key);
        EXPECT_EQ(dialog->layoutChoice()->GetSelection(), c.key);
        expectField(dialog, dialog->animalCountField(), "Animal count", c.count);
        expectField(dialog, dialog->rowsField(), "Rows", c.rows);
        expectField(dialog, dialog->columnsField(), "Columns", c.columns);
        expectField(dialog, dialog->widthField(), "Width", c.width);
    }
}

TEST_F(DialogTest, ReadersConvertWholeNumbersOnly)
{
    HerdDialog* dialog = m_herdDialog;
    dialog->setAnimalCount(42);
    EXPECT_EQ(dialog->animalCountField()->GetValue(), "42");
    EXPECT_EQ(dialog->animalCount(), 42);
    dialog->rowsField()->SetValue("7");
    dialog->columnsField()->SetValue("3.5");
    dialog->widthField()->SetValue("50");
    EXPECT_EQ(dialog->rows(), 7);
    EXPECT_EQ(dialog->columns(), std::nullopt);
    EXPECT_EQ(dialog->width(), 50.0);
    dialog->columnsField()->SetValue("10");
}

TEST_F(DialogTest, PropertiesInstallTheChosenLayoutAndShowItAgain)
{
    loadSampleQuadruped(4);
    EXPECT_TRUE(whileModal(m_herdDialog, kHerdPropertiesId, [&] {
        // The count of the moment, and the start-up layout.
        EXPECT_EQ(m_herdDialog->animalCountField()->GetValue(), "4");
        EXPECT_EQ(m_herdDialog->selectedLayout(), kRoundLayout);
        pickLayout(m_herdDialog, "Rectangular");
        m_herdDialog->widthField()->SetValue("50");
        m_herdDialog->animalCountField()->SetValue("12");
        click(m_herdDialog, wxID_OK);
        EXPECT_FALSE(m_herdDialog->IsModal());
    }));
    const auto line = std::dynamic_pointer_cast<LineHerdCreator>(m_core->currentHerdCreator());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->halfWidth(), 25.0);
    EXPECT_EQ(m_core->totalAnimalCount(), 12u);

    // Opened again it shows Rectangular, 50 and the count, whatever the fields held meanwhile.
    m_herdDialog->selectLayout(kRoundLayout);
    m_herdDialog->widthField()->SetValue("8");
    EXPECT_TRUE(whileModal(m_herdDialog, kHerdPropertiesId, [&] {
        EXPECT_EQ(m_herdDialog->selectedLayout(), kRectangularLayout);
        EXPECT_EQ(m_herdDialog->layoutChoice()->GetStringSelection(), "Rectangular");
        EXPECT_EQ(m_herdDialog->widthField()->GetValue(), "50");
        EXPECT_EQ(m_herdDialog->animalCountField()->GetValue(), "12");

        pickLayout(m_herdDialog, "Grid");
        m_herdDialog->rowsField()->SetValue("7");
        m_herdDialog->columnsField()->SetValue("3");
        click(m_herdDialog, wxID_OK);
    }));
    const auto grid = std::dynamic_pointer_cast<GridHerdCreator>(m_core->currentHerdCreator());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rows(), 7);
    EXPECT_EQ(grid->columns(), 3);
    // One herd of 7 x 3: the hidden count does not shrink the grid.
    EXPECT_EQ(m_core->totalAnimalCount(), 21u);

    m_herdDialog->selectLayout(kRoundLayout);
    m_herdDialog->rowsField()->SetValue("1");
    EXPECT_TRUE(whileModal(m_herdDialog, kHerdPropertiesId, [&] {
        EXPECT_EQ(m_herdDialog->layoutChoice()->GetStringSelection(), "Grid");
        EXPECT_EQ(m_herdDialog->rowsField()->GetValue(), "7");
        EXPECT_EQ(m_herdDialog->columnsField()->GetValue(), "3");
        EXPECT_EQ(m_herdDialog->animalCountField()->GetValue(), "21");
        click(m_herdDialog, wxID_CANCEL);
    }));
    EXPECT_EQ(m_core->totalAnimalCount(), 21u) << "Cancel changes nothing";
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(DialogTest, TextThatIsNoWholeNumberIsReportedAndTheDialogStaysOpen)
{
    loadSampleQuadruped(5);
    const std::shared_ptr<HerdCreator> before = m_core->currentHerdCreator();
    EXPECT_TRUE(whileModal(m_herdDialog, kHerdPropertiesId, [&] {
        m_herdDialog->animalCountField()->SetValue("12.5");
        click(m_herdDialog, wxID_OK);
        EXPECT_TRUE(m_herdDialog->IsModal()) << "OK must not close on a bad number";
        ASSERT_EQ(m_reports.size(), 1u);
        EXPECT_EQ(m_reports[0],
                  (ErrorReport{"Herd properties", "Animal count must be a whole number from 0 to 100000."}));

        pickLayout(m_herdDialog, "Grid");
        m_herdDialog->rowsField()->SetValue("seven");
        click(m_herdDialog, wxID_OK);
        EXPECT_TRUE(m_herdDialog->IsModal());
        ASSERT_EQ(m_reports.size(), 2u);
        EXPECT_EQ(m_reports[1].message, "Rows must be a whole number from 1 to 100000.");
        m_herdDialog->rowsField()->SetValue("10");
        click(m_herdDialog, wxID_CANCEL);
    }));
    EXPECT_EQ(m_core->currentHerdCreator(), before);
    EXPECT_EQ(m_core->totalAnimalCount(), 5u);

    // Mended, the same dialog takes the value.
    EXPECT_TRUE(whileModal(m_herdDialog, kHerdPropertiesId, [&] {
        pickLayout(m_herdDialog, "Round");
        m_herdDialog->animalCountField()->SetValue("9");
        click(m_herdDialog, wxID_OK);
    }));
    EXPECT_EQ(m_core->totalAnimalCount(), 9u);
    EXPECT_EQ(m_reports.size(), 2u);
}

TEST_F(DialogTest, SingleAnimalCreatorShowsAsRound)
{
    loadSampleQuadruped(3);
    m_herdDialog->selectLayout(kGridLayout);
    m_core->setHerdCreator(std::make_shared<SingleHerdCreator>());
    EXPECT_TRUE(whileModal(m_herdDialog, kHerdPropertiesId, [&] {
        EXPECT_EQ(m_herdDialog->selectedLayout(), kRoundLayout);
        EXPECT_EQ(m_herdDialog->layoutChoice()->GetStringSelection(), "Round");
        EXPECT_EQ(m_herdDialog->picture()->shownIndex(), 0);
        click(m_herdDialog, wxID_CANCEL);
    }));
    EXPECT_NE(std::dynamic_pointer_cast<SingleHerdCreator>(m_core->currentHerdCreator()), nullptr);
}

TEST_F(DialogTest, VertexProgramDialogIsModelessAndShowsTheProgramOfTheMoment)
{
    VertexProgDialog* dialog = findChild<VertexProgDialog>(m_frame);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetTitle(), "ARB Vertex Program");
    clearScene();
    choose(kShowVertexProgramId);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_FALSE(dialog->IsModal());
    EXPECT_EQ(dialog->textControl()->GetValue(), "No vertex program currently in use (1)");
    EXPECT_EQ(dialog->textControl()->GetInsertionPoint(), 0);
    EXPECT_FALSE(dialog->textControl()->IsEditable());

    loadSampleQuadruped(2);
    renderView();
    choose(kShowVertexProgramId);
    const std::string prt = dialog->textControl()->GetValue().ToStdString();
    EXPECT_EQ(prt, m_view->vertexProgramText());
    EXPECT_NE(prt.find("!!ARBvp1.0"), std::string::npos);
    EXPECT_EQ(dialog->textControl()->GetInsertionPoint(), 0) << "shows the program from its top";

    // A lighting change rebuilds the program; the dialog shows the new one when asked again.
    choose(kOpenGLLightingId);
    renderView();
    choose(kShowVertexProgramId);
    const std::string lit = dialog->textControl()->GetValue().ToStdString();
    EXPECT_EQ(lit, m_view->vertexProgramText());
    EXPECT_NE(lit, prt);

    click(dialog, wxID_OK);
    EXPECT_FALSE(dialog->IsShown());
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(DialogTest, AboutBoxIsModalWithBannerAndCredits)
{
    AboutDialog* dialog = findChild<AboutDialog>(m_frame);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetTitle(), "About Flexherd");
    EXPECT_EQ(dialog->textControl()->GetValue().ToStdString(), aboutText());
    EXPECT_EQ(dialog->textControl()->GetInsertionPoint(), 0);
    EXPECT_EQ(dialog->banner()->bitmapCount(), 1u);
    EXPECT_EQ(dialog->banner()->shownIndex(), 0);
    EXPECT_GE(dialog->banner()->GetMinSize().x, kBannerWidth);
    EXPECT_GE(dialog->banner()->GetMinSize().y, kBannerHeight);
    EXPECT_TRUE(whileModal(dialog, kAboutId, [&] {
        EXPECT_TRUE(dialog->IsShown());
        click(dialog, wxID_OK);
        EXPECT_FALSE(dialog->IsModal());
    }));
    EXPECT_FALSE(dialog->IsShown());
}

TEST_F(DialogTest, BitmapControlGrowsToItsBitmapsAndShowsTheFirstUntilTold)
{
    auto* control = new BitmapControl(m_frame, wxID_ANY, wxDefaultPosition, wxSize(50, 300));
    EXPECT_EQ(control->shownIndex(), -1);
    control->addBitmap(wxBitmap(120, 40, 24));
    EXPECT_EQ(control->GetMinSize(), wxSize(120, 300));
    EXPECT_EQ(control->shownIndex(), 0);
    control->addBitmap(wxBitmap(80, 60, 24));
    EXPECT_EQ(control->shownIndex(), 0);
    control->showBitmap(1);
    EXPECT_EQ(control->shownIndex(), 1);
    EXPECT_EQ(control->bitmapCount(), 2u);
    control->Destroy();
}

TEST_F(DialogTest, PicturesAreDistinctDrawingsOfTheirSize)
{
    std::set<std::string> distinct;
    for (const int key : {kRoundLayout, kRectangularLayout, kGridLayout}) {
        const wxBitmap bitmap = layoutPicture(key);
        ASSERT_TRUE(bitmap.IsOk()) << key;
        EXPECT_EQ(bitmap.GetWidth(), 200) << key;
        EXPECT_EQ(bitmap.GetHeight(), 200) << key;
        const wxImage image = bitmap.ConvertToImage();
        const std::string pixels(reinterpret_cast<const char*>(image.GetData()), 200 * 200 * 3);
        // Drawn, not blank: many colours.
        std::set<int> colours;
        for (std::size_t i = 0; i + 2 < pixels.size(); i += 3)
            colours.insert((static_cast<unsigned char>(pixels[i]) << 16) |
                           (static_cast<unsigned char>(pixels[i + 1]) << 8) |
                           static_cast<unsigned char>(pixels[i + 2]));
        EXPECT_GT(colours.size(), 8u) << key;
        distinct.insert(pixels);
        // Drawn the same way every time.
        const wxImage again = layoutPicture(key).ConvertToImage();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(again.GetData()), 200 * 200 * 3), pixels) << key;
    }
    EXPECT_EQ(distinct.size(), 3u);
    const wxBitmap banner = aboutBanner();
    EXPECT_EQ(banner.GetWidth(), kBannerWidth);
    EXPECT_EQ(banner.GetHeight(), kBannerHeight);
}

TEST_F(DialogTest, NumberOfAnimalsAsksAgainUntilTheNumberIsFromOneToOneHundredThousand)
{
    loadSampleQuadruped(4);
    {
        // Text that is no number reads as 0 and is asked again, preset to what was read.
        ScriptedDialogs answers({"0", "many", "100001", "-3", "7"});
        command(kAnimalCountId);
        EXPECT_EQ(presets(answers), (std::vector<std::string>{"4", "0", "0", "100001", "-3"}));
        EXPECT_EQ(m_core->totalAnimalCount(), 7u);
    }
    {
        // A number too large for a long stays too large rather than wrapping into range.
        ScriptedDialogs answers({"100000000000000000000", "<cancel>"});
        command(kAnimalCountId);
        EXPECT_EQ(presets(answers), (std::vector<std::string>{"7", std::to_string(LONG_MAX)}));
        EXPECT_EQ(m_core->totalAnimalCount(), 7u) << "Cancel changes nothing";
    }
    {
        // The number the text starts with counts, as in the export prompts.
        ScriptedDialogs answers({" 12 cows"});
        command(kAnimalCountId);
        EXPECT_EQ(presets(answers), std::vector<std::string>{"7"});
        EXPECT_EQ(m_core->totalAnimalCount(), 12u);
    }
    {
        ScriptedDialogs answers({"1"});
        command(kAnimalCountId);
        EXPECT_EQ(presets(answers), std::vector<std::string>{"12"});
        EXPECT_EQ(m_core->totalAnimalCount(), 1u);
    }
}
