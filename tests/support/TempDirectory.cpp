#include "TempDirectory.h"

#include <atomic>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

TempDirectory::TempDirectory(const std::string& tag)
{
    static std::atomic<unsigned> made{0};
    m_path = std::filesystem::temp_directory_path() /
             ("flexherd-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(made++));
    // A directory of this name can only be left over from an earlier process of the same id.
    std::filesystem::remove_all(m_path);
    if (!std::filesystem::create_directories(m_path))
        throw std::runtime_error("cannot create the test directory '" + m_path.string() + "'");
}

TempDirectory::~TempDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDirectory::write(const std::string& name, const std::string& bytes) const
{
    const std::string path = file(name);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write the test file '" + path + "'");
    return path;
}
