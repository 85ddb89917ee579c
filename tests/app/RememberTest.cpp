// What the viewer remembers between starts: two frames in turn, each with the settings file
// read anew as a new start reads it, and settings files that are damaged or cannot be
// written, which must change nothing a user sees.

#include "GuiTestSupport.h"

#include "app/MenuIds.h"
#include "app/SettingsPath.h"
#include "app/ViewerMemory.h"

#include <wx/filehistory.h>
#include <wx/log.h>

#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

// Counts what the toolkit logs while it is the active log target.
class CountingLog : public wxLog {
public:
    CountingLog() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~CountingLog() override { wxLog::SetActiveTarget(m_previous); }
    int messages = 0;

protected:
    void DoLogRecord(wxLogLevel, const wxString& text, const wxLogRecordInfo&) override
    {
        ++messages;
        std::cerr << "logged: " << text << "\n";
    }

private:
    wxLog* m_previous;
};

std::vector<std::string> menuLabels(wxMenu* menu)
{
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < menu->GetMenuItemCount(); ++i)
        labels.push_back(std::string(menu->FindItemByPosition(i)->GetItemLabelText().utf8_str()));
    return labels;
}

} // namespace

class RememberTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_home = startup().dataDirectory /
                 ("config-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_home);
        m_settings = settingsFilePath(m_home.c_str(), nullptr);
    }

    // A frame as the application makes one, remembering through the settings file.
    MyFrame* startFrame(const std::string& settings)
    {
        auto* frame = new MyFrame(nullptr, "Remember test", wxPoint(0, 0), wxSize(400, 300), wxDEFAULT_FRAME_STYLE,
                                  *dynamic_cast<FlexherdApp*>(wxTheApp));
        frame->useMemory(std::make_unique<ViewerMemory>(settings));
        frame->Show();
        pumpUntil([&] { return frame->IsShownOnScreen(); });
        return frame;
    }

    void closeFrame(MyFrame* frame)
    {
        frame->Destroy();
        pumpUntil([&] { return wxTopLevelWindows.Find(frame) == nullptr; });
    }

    fs::path m_home;
    std::string m_settings;
};

// Recent files (newest first, at most nine, each opening again), the last directory of a
// file dialog and the frame's place come back at the next start; the menus' choices do not.
TEST_F(RememberTest, RecentFilesDirectoriesAndThePlaceSurviveARestart)
{
    const fs::path exports = m_home / "exports";
    fs::create_directories(exports);
    {
        MyFrame* frame = startFrame(m_settings);
        frame->files().openFile(startup().validSkin.string());
        frame->files().openFile(startup().secondValidSkin.string());
        EXPECT_EQ(menuLabels(frame->openRecentMenu()).size(), 2u) << "the menu follows at once";
        // The video export's dialog, cancelled at its size prompt, still learned its directory.
        {
            ScriptedDialogs dialogs({(exports / "herd.mp4").string(), ScriptedDialogs::kCancel});
            wxCommandEvent event(wxEVT_MENU, kExportVideoId);
            frame->ProcessWindowEvent(event);
            EXPECT_EQ(dialogs.shown.size(), 2u);
        }
        choose(frame, kUseVertexProgramId);
        EXPECT_FALSE(frame->isChecked(kUseVertexProgramId));
        frame->SetSize(wxRect(40, 30, 520, 410));
        pumpUntil([&] { return frame->GetRect() == wxRect(40, 30, 520, 410); });
        closeFrame(frame);
    }
    ASSERT_TRUE(fs::exists(m_settings));

    MyFrame* frame = startFrame(m_settings);
    const std::vector<std::string> labels = menuLabels(frame->openRecentMenu());
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_NE(labels[0].find("second.bin"), std::string::npos) << labels[0];
    EXPECT_NE(labels[1].find("herd.bin"), std::string::npos) << labels[1];
    EXPECT_EQ(frame->memory()->lastDirectory("Export video"), exports.string());
    EXPECT_EQ(frame->memory()->lastDirectory("Export image"), "") << "each dialog has its own";
    EXPECT_EQ(frame->GetRect(), wxRect(40, 30, 520, 410));
    EXPECT_TRUE(frame->isChecked(kUseVertexProgramId)) << "menus start in their start-up states";

    // The older file, chosen from the menu, replaces the scene and becomes the newest.
    wxCommandEvent open(wxEVT_MENU, wxID_FILE2);
    frame->ProcessWindowEvent(open);
    ASSERT_EQ(frame->core().herds().size(), 1u);
    EXPECT_EQ(frame->core().herds().front()->skin()->name(), "herd-fine");
    EXPECT_NE(menuLabels(frame->openRecentMenu())[0].find("herd.bin"), std::string::npos);

    // Nine at most, the newest first; a file since gone is dropped when chosen.
    for (int i = 0; i < 10; ++i) {
        const fs::path copy = m_home / ("copy" + std::to_string(i) + ".bin");
        fs::copy_file(startup().secondValidSkin, copy);
        frame->files().openFile(copy.string());
    }
    std::vector<std::string> nine = menuLabels(frame->openRecentMenu());
    ASSERT_EQ(nine.size(), 9u);
    EXPECT_NE(nine[0].find("copy9.bin"), std::string::npos) << nine[0];
    EXPECT_NE(nine[8].find("copy1.bin"), std::string::npos) << nine[8];
    fs::remove(m_home / "copy9.bin");
    wxCommandEvent gone(wxEVT_MENU, wxID_FILE1);
    frame->ProcessWindowEvent(gone);
    const std::vector<std::string> eight = menuLabels(frame->openRecentMenu());
    EXPECT_EQ(eight.size(), 8u) << ::testing::PrintToString(eight);
    EXPECT_EQ(m_reports.size(), 1u) << "opening it still says what happened";
    closeFrame(frame);
    EXPECT_EQ(ViewerMemory(m_settings).recentFiles().GetCount(), 8u);
}

// A settings file of random bytes, half an entry, text that is not UTF-8, one too large to be
// a settings file, a directory in its place, a place no screen shows, or one that cannot be
// written: the viewer starts as if there were none and says nothing.
TEST_F(RememberTest, DamagedOrUnwritableSettingsAreIgnoredSilently)
{
    std::mt19937 random(static_cast<std::uint32_t>(m_seed));
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::vector<std::pair<std::string, std::string>> contents = {
        {"noise", noise},
        {"half", "[RecentFiles]\nfile1=/a.bin\n[Frame\nx=12\nwidth="},
        {"latin1", "[RecentFiles]\nfile1=/caf\xe9.bin\n"},
        {"huge", std::string(ViewerMemory::kMaxFileBytes + 1, 'a')},
        {"offscreen", "[Frame]\nx=60000\ny=60000\nwidth=500\nheight=400\n"},
        {"tiny", "[Frame]\nx=0\ny=0\nwidth=-5\nheight=99999999999\n"},
    };
    CountingLog log;
    for (const auto& [name, bytes] : contents) {
        SCOPED_TRACE(name);
        const std::string settings = (m_home / name / "flexherd.conf").string();
        fs::create_directories(m_home / name);
        std::ofstream(settings, std::ios::binary) << bytes;
        MyFrame* frame = startFrame(settings);
        EXPECT_LE(frame->memory()->recentFiles().GetCount(), 1u);
        EXPECT_EQ(frame->GetPosition(), wxPoint(0, 0)) << "the place given at construction stays";
        frame->files().openFile(startup().validSkin.string());
        closeFrame(frame);
        // Damaged files are replaced by good ones on the next save.
        if (name != "huge") {
            EXPECT_NE(ViewerMemory(settings).recentFile(0).find("herd.bin"), std::string::npos);
        }
    }

    // A directory where the file belongs, and a file where its directory belongs: nothing can
    // be read or written, and nothing is said.
    fs::create_directories(m_home / "directory" / "flexherd.conf");
    std::ofstream(m_home / "blocked") << "a file, not a directory";
    for (const fs::path& settings : {m_home / "directory" / "flexherd.conf", m_home / "blocked" / "flexherd.conf"}) {
        SCOPED_TRACE(settings.string());
        MyFrame* frame = startFrame(settings.string());
        frame->files().openFile(startup().validSkin.string());
        EXPECT_EQ(menuLabels(frame->openRecentMenu()).size(), 1u) << "this run still remembers";
        EXPECT_FALSE(frame->memory()->save());
        closeFrame(frame);
    }
    EXPECT_TRUE(fs::is_directory(m_home / "directory" / "flexherd.conf"));
    EXPECT_EQ(log.messages, 0);
    EXPECT_TRUE(m_reports.empty());
}
