#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The lines of a text file, read through a window of fixed size: a file of any length costs the
// window (about twice the longest line allowed, at least 1 MiB), never its whole size, and a
// line longer than allowed is found after reading at most that much of it. Also serves text
// already in memory, without a copy. Lines are handed out in order as views that stay valid
// until the next call.
class TextLines {
public:
    enum class Status { Line, End, TooLong };

    // Selects the constructor over text in memory; a std::string would otherwise pass for a
    // path as easily as for text.
    struct InMemory {};
    // The lines of text in memory.
    TextLines(InMemory, std::string_view text, std::size_t maxLineLength);
    // The lines of the file at path; opened() is false when it cannot be opened (or is a
    // directory). Read errors later throw IOException "Unable to read file 'PATH'.".
    TextLines(const std::string& path, std::size_t maxLineLength);
    ~TextLines();
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    bool opened() const { return m_opened; }

    // The next line without its line feed (a carriage return before it stays); a last line
    // without a line feed counts when it is not empty. End at once when the file did not open. TooLong, with nothing consumed, when
    // more than maxLineLength characters come before the next line feed.
    Status next(std::string_view& line);

    // Bytes not yet handed out, when the size is known (a regular file or text in memory);
    // 0 otherwise. For estimates only: a file may change while it is read.
    std::uint64_t bytesLeft() const { return m_size > m_consumed ? m_size - m_consumed : 0; }
    // The unread bytes already in the window (the next lines, as far as read), for sampling.
    std::string_view buffered() const { return {m_data + m_begin, m_end - m_begin}; }

private:
    // Moves the unread bytes to the front and reads more; sets m_atEnd at the end of the file.
    void fill();

    std::size_t m_maxLineLength;
    std::string m_path;
    int m_fd = -1;
    bool m_opened = false;
    bool m_atEnd = false;
    std::unique_ptr<char[]> m_window;
    std::size_t m_capacity = 0;
    const char* m_data = nullptr;
    std::size_t m_begin = 0; // the unread bytes are [m_begin, m_end) of m_data
    std::size_t m_end = 0;
    std::uint64_t m_size = 0;
    std::uint64_t m_consumed = 0;
};
