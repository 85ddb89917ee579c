#include "app/ViewerMemory.h"

#include "foundation/AtomicFile.h"

#include <wx/filehistory.h>
#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/sstream.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kRecentGroup = "/RecentFiles";
constexpr const char* kDirectoryGroup = "/Directories/";
constexpr const char* kFrameGroup = "/Frame/";

// The file's text when it can be read and is of a sane size, else empty.
wxString readSettingsText(const std::string& path)
{
    if (path.empty()) return {};
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > ViewerMemory::kMaxFileBytes) return {};
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return {};
    // Text that is not UTF-8 converts to nothing, which reads as an empty file.
    return wxString::FromUTF8(bytes.data(), bytes.size());
}

// A config entry name for a dialog title: letters and digits, the rest as '_'.
wxString keyFor(const std::string& dialog)
{
    std::string key;
    for (char c : dialog) key += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return wxString::FromUTF8(key);
}

} // namespace

ViewerMemory::ViewerMemory(std::string path) : m_path(std::move(path))
{
    // wxFileConfig logs what it cannot parse; a damaged file is just forgotten.
    wxLogNull quiet;
    wxStringInputStream text(readSettingsText(m_path));
    m_config = std::make_unique<wxFileConfig>(text);
    m_history = std::make_unique<wxFileHistory>(kRecentFiles);
    m_config->SetPath(kRecentGroup);
    m_history->Load(*m_config);
    m_config->SetPath("/");
}

ViewerMemory::~ViewerMemory() = default;

void ViewerMemory::addRecentFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    m_history->AddFileToHistory(wxString(error ? path : absolute.lexically_normal().string()));
    save();
}

std::string ViewerMemory::recentFile(std::size_t index) const
{
    if (index >= m_history->GetCount()) return {};
    return std::string(m_history->GetHistoryFile(index).fn_str());
}

void ViewerMemory::removeRecentFile(std::size_t index)
{
    if (index >= m_history->GetCount()) return;
    m_history->RemoveFileFromHistory(index);
    save();
}

std::string ViewerMemory::lastDirectory(const std::string& dialog) const
{
    wxString directory;
    if (!m_config->Read(kDirectoryGroup + keyFor(dialog), &directory)) return {};
    std::string result(directory.fn_str());
    // A directory since removed would make the dialog open somewhere arbitrary.
    std::error_code error;
    return std::filesystem::is_directory(result, error) ? result : std::string();
}

void ViewerMemory::rememberDirectory(const std::string& dialog, const std::string& chosenPath)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(chosenPath, error);
    if (error) return;
    m_config->Write(kDirectoryGroup + keyFor(dialog), wxString(absolute.parent_path().string()));
    save();
}

std::optional<wxRect> ViewerMemory::frameRect() const
{
    long x = 0, y = 0, width = 0, height = 0;
    if (!m_config->Read(wxString(kFrameGroup) + "x", &x) || !m_config->Read(wxString(kFrameGroup) + "y", &y) ||
        !m_config->Read(wxString(kFrameGroup) + "width", &width) ||
        !m_config->Read(wxString(kFrameGroup) + "height", &height))
        return std::nullopt;
    // Anything no screen could show is a damaged entry.
    constexpr long kLimit = 100000;
    if (width < 100 || height < 100 || width > kLimit || height > kLimit || x < -kLimit || x > kLimit ||
        y < -kLimit || y > kLimit)
        return std::nullopt;
    return wxRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width), static_cast<int>(height));
}

void ViewerMemory::setFrameRect(const wxRect& rect)
{
    m_config->Write(wxString(kFrameGroup) + "x", static_cast<long>(rect.x));
    m_config->Write(wxString(kFrameGroup) + "y", static_cast<long>(rect.y));
    m_config->Write(wxString(kFrameGroup) + "width", static_cast<long>(rect.width));
    m_config->Write(wxString(kFrameGroup) + "height", static_cast<long>(rect.height));
}

bool ViewerMemory::save()
{
    if (m_path.empty()) return false;
    wxLogNull quiet;
    m_config->SetPath(kRecentGroup);
    // The group is written anew, so files dropped from the history do not linger.
    m_config->DeleteGroup(kRecentGroup);
    m_config->SetPath(kRecentGroup);
    m_history->Save(*m_config);
    m_config->SetPath("/");
    wxStringOutputStream text;
    if (!m_config->Save(text)) return false;
    const wxScopedCharBuffer bytes = text.GetString().utf8_str();
    try {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ignored);
        writeFileAtomically(m_path, std::string_view(bytes.data(), bytes.length()));
        return true;
    } catch (const std::exception&) {
        // An unwritable settings file only means the next start remembers less.
        return false;
    }
}
