#pragma once

#include <filesystem>
#include <string>

// A fresh, empty directory for one test, named after the test and the process so that
// parallel test runs never share one; removed with everything in it when the test ends.
class TempDirectory {
public:
    explicit TempDirectory(const std::string& tag);
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The path of a file of that name in the directory.
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
