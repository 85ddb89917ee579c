#pragma once

#include <memory>
#include <optional>
#include <string>

#include <wx/gdicmn.h>

class wxFileConfig;
class wxFileHistory;
class wxMenu;

// What the viewer remembers from one start to the next: the last nine files opened (through
// wxFileHistory, shown in "Open recent"), the last directory of each file dialog and the main
// frame's size and position. Kept with wxFileConfig in one file (settingsFilePath). Menus'
// check states are not kept: every start shows the same choices.
//
// Remembering is a convenience, never a condition: a settings file that is missing,
// unreadable, larger than kMaxFileBytes or malformed reads as empty, and one that cannot be
// written is left as it was, all without a message. The file is replaced whole (AtomicFile),
// so an interrupted write never leaves a damaged one.
class ViewerMemory {
public:
    static constexpr std::size_t kMaxFileBytes = 1 << 20;
    static constexpr int kRecentFiles = 9;

    // Reads path (an empty path remembers for this run only). The history's menu items are
    // wxID_FILE1 ... wxID_FILE9.
    explicit ViewerMemory(std::string path);
    ~ViewerMemory();
    ViewerMemory(const ViewerMemory&) = delete;
    ViewerMemory& operator=(const ViewerMemory&) = delete;

    const std::string& path() const { return m_path; }

    // The recent files, newest first; it shows them in the menus given to UseMenu.
    wxFileHistory& recentFiles() { return *m_history; }
    // Puts path (made absolute) first among the recent files and saves.
    void addRecentFile(const std::string& path);
    // The i-th recent file (0 is the newest); empty when there is none.
    std::string recentFile(std::size_t index) const;
    void removeRecentFile(std::size_t index);

    // The directory the dialog titled `dialog` showed last, or empty.
    std::string lastDirectory(const std::string& dialog) const;
    // Keeps the directory of chosenPath for that dialog and saves.
    void rememberDirectory(const std::string& dialog, const std::string& chosenPath);

    // The main frame's last size and position, when one was kept.
    std::optional<wxRect> frameRect() const;
    void setFrameRect(const wxRect& rect);

    // Writes the file; false when it could not be written (nothing is reported).
    bool save();

private:
    std::string m_path;
    std::unique_ptr<wxFileConfig> m_config;
    std::unique_ptr<wxFileHistory> m_history;
};
