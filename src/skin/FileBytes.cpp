#include "skin/FileBytes.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

bool readFileBytes(const std::string& path, std::string& bytes)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    bytes.clear();
    std::error_code error;
    std::size_t expected = 0;
    if (std::filesystem::is_regular_file(path, error)) {
        const auto size = std::filesystem::file_size(path, error);
        if (!error) expected = static_cast<std::size_t>(size);
    }
    // Read straight into the string when the size is known, then on in chunks until the end:
    // a file that grows while it is read still yields all of it.
    bytes.resize(expected);
    std::size_t filled = expected == 0 ? 0 : std::fread(bytes.data(), 1, expected, file.get());
    bytes.resize(filled);
    if (filled == expected) {
        char buffer[1 << 16];
        for (;;) {
            const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
            bytes.append(buffer, n);
            if (n < sizeof buffer) break;
        }
    }
    return !std::ferror(file.get());
}

FileView::FileView(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        void* mapped = ::mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                              fd, 0);
        if (mapped != MAP_FAILED) {
            ::close(fd);
            m_mapped = static_cast<const char*>(mapped);
            m_size = static_cast<std::size_t>(status.st_size);
            m_ok = true;
            return;
        }
    }
    ::close(fd);
    // Empty files, pipes and whatever cannot be mapped.
    m_ok = readFileBytes(path, m_buffer);
}

FileView::~FileView()
{
    if (m_mapped) ::munmap(const_cast<char*>(m_mapped), m_size);
}
