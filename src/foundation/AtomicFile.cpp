#include "foundation/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Pieces are gathered up to this size before a write call: few calls for big files, and a
// bounded buffer whatever the file's size.
constexpr std::size_t kBufferCapacity = std::size_t(1) << 16;

// The target's name is kept in the temporary name so that a file left by a crash says whose
// it was; cut so that the whole stays within the file system's name length.
constexpr std::size_t kMaxNameInTemporary = 128;

std::string composeMessage(FileWriteException::Stage stage, const std::string& path, int error)
{
    const std::string reason = std::system_category().message(error);
    if (stage == FileWriteException::Stage::Creating)
        return "Unable to open file '" + path + "' for writing: " + reason + ".";
    return "Unable to write to file '" + path + "': " + reason + ".";
}

// Where the bytes of `path` really live: a symbolic link is followed so that the link stays
// and the file it names is replaced (a dangling link is replaced itself).
std::string resolveTarget(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

std::string temporaryName(const std::string& target, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path targetPath(target);
    std::string name = targetPath.filename().string();
    if (name.size() > kMaxNameInTemporary) name.resize(kMaxNameInTemporary);
    const std::string file = "." + name + "." + std::to_string(::getpid()) + "." +
                             std::to_string(counter.fetch_add(1) + attempt) + ".tmp";
    return (targetPath.parent_path() / file).string();
}

// An output stream's buffer that hands full buffers to an AtomicFile and keeps the first
// failure, since streams turn exceptions from their buffer into a bad state.
class AtomicFileStreamBuffer : public std::streambuf {
public:
    explicit AtomicFileStreamBuffer(AtomicFile& file) : m_file(file) { setp(m_area, m_area + sizeof m_area); }

    std::exception_ptr failure() const { return m_failure; }

protected:
    int_type overflow(int_type c) override
    {
        if (!drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain()
    {
        if (m_failure) return false;
        try {
            m_file.write(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
        } catch (...) {
            m_failure = std::current_exception();
            return false;
        }
        setp(m_area, m_area + sizeof m_area);
        return true;
    }

    AtomicFile& m_file;
    std::exception_ptr m_failure;
    char m_area[4096];
};

} // namespace

FileWriteException::FileWriteException(Stage stage, std::string path, int error)
    : IOException(composeMessage(stage, path, error)), m_stage(stage), m_path(std::move(path)), m_error(error)
{
}

std::string FileWriteException::reason() const
{
    return std::system_category().message(m_error);
}

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path)), m_target(resolveTarget(m_path))
{
    using Stage = FileWriteException::Stage;
    if (m_target.empty()) fail(Stage::Creating, ENOENT);
    struct stat status {};
    const bool exists = ::stat(m_target.c_str(), &status) == 0;
    // Refused before anything is written: a directory can never be replaced by a file.
    if (exists && S_ISDIR(status.st_mode)) fail(Stage::Replacing, EISDIR);
    // A replaced file keeps its permissions: made private first, so that it is never more
    // open than the file it replaces, then given the old bits.
    const bool keepMode = exists && S_ISREG(status.st_mode);
    for (unsigned attempt = 0;; ++attempt) {
        std::string temporary = temporaryName(m_target, attempt);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepMode ? 0600 : 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = std::move(temporary);
            break;
        }
        // A name left by an earlier process of the same id is passed over.
        if (errno == EINTR || (errno == EEXIST && attempt < 100)) continue;
        fail(Stage::Creating, errno);
    }
    if (keepMode) ::fchmod(m_fd, status.st_mode & 07777);
    m_buffer.reserve(kBufferCapacity);
}

AtomicFile::~AtomicFile()
{
    if (!m_committed) discard();
}

void AtomicFile::checkUsable() const
{
    if (m_failedError != 0) throw FileWriteException(m_failedStage, m_path, m_failedError);
    assert(!m_committed && "an AtomicFile is written no more once committed");
}

void AtomicFile::write(std::string_view bytes)
{
    checkUsable();
    if (m_buffer.size() + bytes.size() <= kBufferCapacity) {
        m_buffer.append(bytes);
        return;
    }
    flushBuffer();
    if (bytes.size() < kBufferCapacity) {
        m_buffer.append(bytes);
        return;
    }
    writeOut(bytes.data(), bytes.size());
    m_bufferStart += bytes.size();
    m_size = std::max(m_size, m_bufferStart);
}

void AtomicFile::seek(std::uint64_t offset)
{
    checkUsable();
    flushBuffer();
    if (offset > static_cast<std::uint64_t>(LLONG_MAX) || ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        fail(FileWriteException::Stage::Writing, offset > static_cast<std::uint64_t>(LLONG_MAX) ? EINVAL : errno);
    m_bufferStart = offset;
}

std::uint64_t AtomicFile::size() const
{
    return std::max(m_size, position());
}

void AtomicFile::commit()
{
    using Stage = FileWriteException::Stage;
    checkUsable();
    flushBuffer();
    // On the disk before the rename: otherwise a crash soon after could leave an empty or
    // partly written file under the target's name.
    while (::fsync(m_fd) != 0) {
        if (errno != EINTR) fail(Stage::Writing, errno);
    }
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close fails; only EINTR (after a successful
    // fsync) loses nothing.
    if (::close(fd) != 0 && errno != EINTR) fail(Stage::Writing, errno);
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) fail(Stage::Replacing, errno);
    m_temporary.clear();
    m_committed = true;
}

void AtomicFile::writeOut(const char* data, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(m_fd, data, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(FileWriteException::Stage::Writing, errno);
        }
        // No progress on a regular file: the disk is full.
        if (written == 0) fail(FileWriteException::Stage::Writing, ENOSPC);
        data += written;
        count -= static_cast<std::size_t>(written);
    }
}

void AtomicFile::flushBuffer()
{
    if (m_buffer.empty()) return;
    writeOut(m_buffer.data(), m_buffer.size());
    m_bufferStart += m_buffer.size();
    m_size = std::max(m_size, m_bufferStart);
    m_buffer.clear();
}

void AtomicFile::fail(FileWriteException::Stage stage, int error)
{
    m_failedStage = stage;
    m_failedError = error != 0 ? error : EIO;
    discard();
    throw FileWriteException(stage, m_path, m_failedError);
}

void AtomicFile::discard() noexcept
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    m_buffer.clear();
}

std::string createTemporaryFileBeside(const std::string& path)
{
    using Stage = FileWriteException::Stage;
    const std::string target = resolveTarget(path);
    if (target.empty()) throw FileWriteException(Stage::Creating, path, ENOENT);
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        throw FileWriteException(Stage::Replacing, path, EISDIR);
    for (unsigned attempt = 0;; ++attempt) {
        std::string temporary = temporaryName(target, attempt);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return temporary;
        }
        if (errno == EINTR || (errno == EEXIST && attempt < 100)) continue;
        throw FileWriteException(Stage::Creating, path, errno);
    }
}

void writeFileAtomically(const std::string& path, std::string_view bytes)
{
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

void writeFileAtomically(const std::string& path, const std::function<void(std::ostream& out)>& produce)
{
    AtomicFile file(path);
    AtomicFileStreamBuffer buffer(file);
    std::ostream out(&buffer);
    try {
        produce(out);
    } catch (...) {
        // A writer that checks its stream throws its own words for the failure it met.
        if (buffer.failure()) std::rethrow_exception(buffer.failure());
        throw;
    }
    out.flush();
    if (buffer.failure()) std::rethrow_exception(buffer.failure());
    if (!out) throw FileWriteException(FileWriteException::Stage::Writing, path, EIO);
    file.commit();
}
