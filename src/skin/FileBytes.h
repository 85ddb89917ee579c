#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reads a whole file into `bytes`. False when it cannot be opened or read (a directory, a
// vanished file); the caller words the message.
bool readFileBytes(const std::string& path, std::string& bytes);

// A whole file mapped read-only into memory (or, where mapping is not possible, read into a
// buffer): what the text readers parse, without copying large files first.
class FileView {
public:
    // False from ok() when the file cannot be opened or read.
    explicit FileView(const std::string& path);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    bool ok() const { return m_ok; }
    std::string_view text() const { return m_mapped ? std::string_view(m_mapped, m_size) : std::string_view(m_buffer); }

private:
    bool m_ok = false;
    const char* m_mapped = nullptr;
    std::size_t m_size = 0;
    std::string m_buffer;
};
