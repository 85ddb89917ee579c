#include "skin/TextLines.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Large enough that a read costs little next to parsing what it brings.
constexpr std::size_t kMinWindow = std::size_t(1) << 20;
} // namespace

TextLines::TextLines(InMemory, std::string_view text, std::size_t maxLineLength)
    : m_maxLineLength(maxLineLength), m_opened(true), m_atEnd(true), m_data(text.data()), m_end(text.size()),
      m_size(text.size())
{
}

TextLines::TextLines(const std::string& path, std::size_t maxLineLength) : m_maxLineLength(maxLineLength), m_path(path)
{
    // Until it opens, the source holds no lines: next() says End rather than reading nothing
    // forever.
    m_atEnd = true;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return;
    struct stat status {};
    if (::fstat(m_fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    if (S_ISREG(status.st_mode)) m_size = static_cast<std::uint64_t>(status.st_size);
    m_opened = true;
    m_atEnd = false;
    // Room for a whole line of the longest kind and its line feed after any unread rest.
    m_capacity = std::max(kMinWindow, 2 * (maxLineLength + 1));
    m_window.reset(new char[m_capacity]);
    m_data = m_window.get();
}

TextLines::~TextLines()
{
    if (m_fd >= 0) ::close(m_fd);
}

TextLines::Status TextLines::next(std::string_view& line)
{
    for (;;) {
        const char* start = m_data + m_begin;
        const std::size_t available = m_end - m_begin;
        const std::size_t scan = std::min(available, m_maxLineLength + 1);
        // An unopened source has no window at all, and memchr wants a pointer even for 0 bytes.
        if (const void* newline = scan > 0 ? std::memchr(start, '\n', scan) : nullptr) {
            const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
            line = std::string_view(start, length);
            m_begin += length + 1;
            m_consumed += length + 1;
            return Status::Line;
        }
        if (available > m_maxLineLength) return Status::TooLong;
        if (m_atEnd) {
            if (available == 0) return Status::End;
            line = std::string_view(start, available);
            m_begin = m_end;
            m_consumed += available;
            return Status::Line;
        }
        fill();
    }
}

void TextLines::fill()
{
    const std::size_t rest = m_end - m_begin;
    std::memmove(m_window.get(), m_window.get() + m_begin, rest);
    m_begin = 0;
    m_end = rest;
    // Reads until the window is full or the file ends, so the line scan sees as much as it can.
    while (m_end < m_capacity) {
        const ssize_t n = ::read(m_fd, m_window.get() + m_end, m_capacity - m_end);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IOException("Unable to read file '" + m_path + "'.");
        }
        if (n == 0) {
            m_atEnd = true;
            return;
        }
        m_end += static_cast<std::size_t>(n);
    }
}
