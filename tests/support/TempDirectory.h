#pragma once

#include <filesystem>
#include <string>

// A fresh, empty directory under the system's temporary directory, named
// "flexherd-TAG-PID-N" (N counts the directories this process has made), so that neither two
// tests of one run nor two runs of a suite at once ever share one. Removed with everything in
// it when the object goes. Every test that writes files takes its directory from here.
class TempDirectory {
public:
    explicit TempDirectory(const std::string& tag = "test");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The path of a file of that name in the directory (nothing is created).
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    // Writes bytes into a file of that name and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};
