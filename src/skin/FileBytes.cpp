#include "skin/FileBytes.h"

#include "foundation/Exception.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

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
    if (std::filesystem::is_regular_file(path, error)) {
        const auto size = std::filesystem::file_size(path, error);
        if (!error) bytes.reserve(static_cast<std::size_t>(size));
    }
    // Read a chunk at a time until the end: a file that shrinks or grows while it is read
    // still yields what was there.
    char buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, n);
        if (n < sizeof buffer) break;
    }
    return !std::ferror(file.get());
}

void replaceFileContents(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".partial";
    const auto fail = [&] {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw IOException("Unable to open file '" + path + "' for writing.");
    };
    {
        File file(std::fopen(temporary.c_str(), "wb"));
        if (!file) throw IOException("Unable to open file '" + path + "' for writing.");
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
        const bool closed = std::fclose(file.release()) == 0;
        if (!written || !closed) fail();
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) fail();
}
