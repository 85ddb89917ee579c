#include "ChildRun.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace childrun {

namespace {

// The process's resident memory and mapped address space, in bytes.
std::uint64_t statmField(int field)
{
    std::ifstream statm("/proc/self/statm");
    std::uint64_t values[2] = {0, 0};
    statm >> values[0] >> values[1];
    return values[field] * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

void writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

[[noreturn]] void childMain(int out, const std::function<std::string()>& read)
{
    const std::uint64_t residentAtStart = statmField(1);
    if (!kSanitized) {
        const rlimit limit{statmField(0) + kAddressSpaceAllowance, statmField(0) + kAddressSpaceAllowance};
        setrlimit(RLIMIT_AS, &limit);
    }
    std::string result;
    try {
        result = read();
    } catch (const std::bad_alloc&) {
        result = "std::bad_alloc";
    } catch (const std::exception& e) {
        result = e.what();
    } catch (...) {
        result = "an exception of unknown type";
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peak = static_cast<double>(usage.ru_maxrss) * 1024.0;
    std::ostringstream report;
    report << (peak - static_cast<double>(residentAtStart)) / (1 << 20) << "\n" << result;
    writeAll(out, report.str());
    ::close(out);
    // No destructors of the parent's objects, no flushing of its streams twice.
    _exit(0);
}

} // namespace

Outcome run(const std::function<std::string()>& read)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::close(pipeEnds[0]);
        childMain(pipeEnds[1], read);
    }
    ::close(pipeEnds[1]);
    std::string report;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Outcome outcome;
    if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
        outcome.result = std::string("killed by signal ") + strsignal(outcome.signal);
        return outcome;
    }
    const std::size_t newline = report.find('\n');
    if (!WIFEXITED(status) || newline == std::string::npos) {
        outcome.result = "the child ended without a report";
        return outcome;
    }
    outcome.finished = true;
    outcome.peakGrowthMiB = std::stod(report.substr(0, newline));
    outcome.result = report.substr(newline + 1);
    return outcome;
}

GeneratedFile::GeneratedFile(std::string path, std::string header, std::function<std::string(std::uint64_t)> next,
                             std::uint64_t total)
    : m_path(std::move(path))
{
    ::unlink(m_path.c_str());
    if (::mkfifo(m_path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed: " + m_path);
    m_writer = ::fork();
    if (m_writer < 0) throw std::runtime_error("fork failed");
    if (m_writer == 0) {
        // A reader that stops early closes the pipe: the writes then fail and the writer ends.
        std::signal(SIGPIPE, SIG_IGN);
        const int fd = ::open(m_path.c_str(), O_WRONLY);
        if (fd < 0) _exit(1);
        std::string chunk = header;
        std::uint64_t written = 0;
        for (std::uint64_t i = 0; written < total;) {
            while (chunk.size() < (std::size_t(1) << 16)) chunk += next(i++);
            if (chunk.size() > total - written) chunk.resize(static_cast<std::size_t>(total - written));
            std::size_t done = 0;
            while (done < chunk.size()) {
                const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) _exit(0);
                done += static_cast<std::size_t>(n);
            }
            written += chunk.size();
            chunk.clear();
        }
        ::close(fd);
        _exit(0);
    }
}

GeneratedFile::~GeneratedFile()
{
    // A writer still waiting for its reader (the reading failed before opening the pipe), or
    // still writing, is stopped; then the pipe goes.
    ::kill(m_writer, SIGKILL);
    int status = 0;
    while (::waitpid(m_writer, &status, 0) < 0 && errno == EINTR) {
    }
    ::unlink(m_path.c_str());
}

void writeSparseFile(const std::string& path, const std::string& header, std::uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    writeAll(fd, header);
    const bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!sized) throw std::runtime_error("cannot size " + path);
}

} // namespace childrun
