#pragma once

#include "foundation/Exception.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

// A failed atomic write: the stage it failed in, the file it was to replace (as the caller
// named it) and the operating system's reason (an errno value). The message reads
// "Unable to open file 'PATH' for writing: REASON." when the temporary file could not be made
// (missing or read-only directory) and "Unable to write to file 'PATH': REASON." afterwards.
// Writers whose messages are fixed catch it and word their own from stage() and reason().
class FileWriteException : public IOException {
public:
    enum class Stage {
        Creating,  // the temporary file could not be made
        Writing,   // writing, flushing to the disk or closing it failed
        Replacing, // it could not take the target's place (a directory there, a failed rename)
    };

    FileWriteException(Stage stage, std::string path, int error);

    Stage stage() const { return m_stage; }
    const std::string& path() const { return m_path; }
    int error() const { return m_error; }
    // The operating system's text for error() ("No space left on device").
    std::string reason() const;

private:
    Stage m_stage;
    std::string m_path;
    int m_error;
};

// Replaces one file as a whole or not at all. The bytes go to a new temporary file in the
// target's directory (named after the target, the process id and a counter); commit() writes
// out what is buffered, flushes the file to the disk, closes it and renames it over the
// target. Until the rename the target is untouched, and after a crash the path holds the old
// file or the new one, whole (the directory is not synced after the rename: a crash just
// after it may bring back the old file, never a damaged one). An object destroyed without a
// successful commit() removes its temporary file, so neither a failure nor an exception of
// the caller's own leaves one behind. A symbolic link at the path is kept and the file it
// names replaced; a replaced file keeps its permission bits.
//
// Every failure throws FileWriteException naming the path and removes the temporary file; the
// object is spent afterwards and every further call throws the same failure again.
class AtomicFile {
public:
    // Makes the temporary file. Throws FileWriteException (Creating; Replacing when the path
    // names a directory).
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends at the current position; buffered, so small pieces cost no system call each.
    void write(std::string_view bytes);
    // Moves the position to offset (formats that go back to fill in sizes); bytes skipped past
    // the end read as zeros.
    void seek(std::uint64_t offset);
    std::uint64_t position() const { return m_bufferStart + m_buffer.size(); }
    // The bytes written so far, up to the furthest position reached.
    std::uint64_t size() const;

    // Writes out, flushes to the disk, closes and renames over the target.
    void commit();

    const std::string& path() const { return m_path; }

private:
    void writeOut(const char* data, std::size_t count);
    void flushBuffer();
    void checkUsable() const;
    [[noreturn]] void fail(FileWriteException::Stage stage, int error);
    void discard() noexcept;

    std::string m_path;      // as the caller named it, for messages
    std::string m_target;    // the file replaced: the path, or where its symbolic link points
    std::string m_temporary; // empty once renamed or removed
    int m_fd = -1;
    std::string m_buffer;           // bytes not yet written, which belong at m_bufferStart
    std::uint64_t m_bufferStart = 0;
    std::uint64_t m_size = 0;       // furthest byte written out
    bool m_committed = false;
    int m_failedError = 0;          // non-zero once spent by a failure
    FileWriteException::Stage m_failedStage = FileWriteException::Stage::Writing;
};

// Makes a new, empty file in the directory of the file at path (a symbolic link followed, as
// AtomicFile does), named after it, the process id and a counter, and returns its name: for
// writers whose library opens the file by name and who rename it over path themselves. Two
// writers to one path, in one process or several, never get the same name. Throws
// FileWriteException (Creating; Replacing when path names a directory).
std::string createTemporaryFileBeside(const std::string& path);

// Replaces the file at path by bytes (AtomicFile). Throws FileWriteException.
void writeFileAtomically(const std::string& path, std::string_view bytes);

// The same with the contents written by `produce` into a stream. A write failure ends the
// writing at once (the stream goes bad) and is thrown as FileWriteException, also when produce
// reacts to the bad stream by throwing its own exception; produce's other exceptions pass
// unchanged. Either way the target is untouched.
void writeFileAtomically(const std::string& path, const std::function<void(std::ostream& out)>& produce);
