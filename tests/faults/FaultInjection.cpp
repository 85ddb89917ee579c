#include "FaultInjection.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace faultinjection {

namespace {

constexpr const char* kDirectoryVariable = "FLEXHERD_FAULT_DIRECTORY";
constexpr const char* kFaultVariable = "FLEXHERD_FAULT";
constexpr const char* kCallVariable = "FLEXHERD_FAULT_CALL";
constexpr const char* kReportVariable = "FLEXHERD_FAULT_REPORT";

struct FaultName {
    Fault fault;
    const char* name;
};

constexpr FaultName kNames[] = {
    {Fault::None, "none"},
    {Fault::NoSpace, "no-space"},
    {Fault::IOError, "io-error"},
    {Fault::ShortWrite, "short-write"},
    {Fault::ShortWriteThenNoSpace, "short-write-then-no-space"},
    {Fault::Interrupted, "interrupted"},
    {Fault::SyncFails, "sync-fails"},
    {Fault::CloseFails, "close-fails"},
    {Fault::RenameFails, "rename-fails"},
    {Fault::CreateFails, "create-fails"},
};

} // namespace

Call callOf(Fault fault)
{
    switch (fault) {
    case Fault::SyncFails: return Call::Sync;
    case Fault::CloseFails: return Call::Close;
    case Fault::RenameFails: return Call::Rename;
    case Fault::CreateFails: return Call::Create;
    default: return Call::Write;
    }
}

bool failsTheWriter(Fault fault)
{
    return fault != Fault::None && fault != Fault::ShortWrite && fault != Fault::Interrupted;
}

const char* nameOf(Fault fault)
{
    for (const FaultName& entry : kNames)
        if (entry.fault == fault) return entry.name;
    return "?";
}

std::optional<Fault> faultNamed(std::string_view name)
{
    for (const FaultName& entry : kNames)
        if (name == entry.name) return entry.fault;
    return std::nullopt;
}

} // namespace faultinjection

namespace {

using namespace faultinjection;

// The C library's own functions, found past this definition.
struct RealCalls {
    int (*open)(const char*, int, ...);
    int (*openat)(int, const char*, int, ...);
    ssize_t (*write)(int, const void*, size_t);
    ssize_t (*writev)(int, const struct iovec*, int);
    ssize_t (*pwrite)(int, const void*, size_t, off_t);
    int (*fsync)(int);
    int (*fdatasync)(int);
    int (*close)(int);
    int (*rename)(const char*, const char*);
    int (*renameat)(int, const char*, int, const char*);
};

template <typename F>
F next(const char* name)
{
    void* symbol = dlsym(RTLD_NEXT, name);
    // Without the real function nothing could be written at all.
    if (symbol == nullptr) std::abort();
    return reinterpret_cast<F>(symbol);
}

const RealCalls& real()
{
    static const RealCalls calls = {
        next<int (*)(const char*, int, ...)>("open"),
        next<int (*)(int, const char*, int, ...)>("openat"),
        next<ssize_t (*)(int, const void*, size_t)>("write"),
        next<ssize_t (*)(int, const struct iovec*, int)>("writev"),
        next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite"),
        next<int (*)(int)>("fsync"),
        next<int (*)(int)>("fdatasync"),
        next<int (*)(int)>("close"),
        next<int (*)(const char*, const char*)>("rename"),
        next<int (*)(int, const char*, int, const char*)>("renameat"),
    };
    return calls;
}

struct State {
    std::atomic<bool> armed{false};
    std::mutex mutex;
    std::string directory; // canonical, no trailing slash
    FaultPlan plan;
    Outcome outcome;
    std::set<int> shortened; // descriptors whose next write finds the disk full
    std::string report;      // where a child writes its outcome at exit
};

// Never destroyed: calls keep arriving from other libraries' exit handlers.
State& state()
{
    static State* const s = new State;
    return *s;
}

bool inDirectory(const std::string& path, const std::string& directory)
{
    return path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
           path[directory.size()] == '/';
}

std::string descriptorPath(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0) return {};
    return std::string(target, static_cast<std::size_t>(length));
}

// A regular file in the watched directory (sockets, pipes and the directory itself are not).
bool watchedDescriptor(const State& s, int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    return inDirectory(descriptorPath(fd), s.directory);
}

// Whether a path names an entry of the watched directory (or below it).
bool watchedPath(const State& s, int directoryFd, const char* path)
{
    if (path == nullptr) return false;
    std::string full(path);
    if (full.empty()) return false;
    if (full[0] != '/') {
        std::string base;
        if (directoryFd == AT_FDCWD) {
            char cwd[PATH_MAX];
            if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
            base = cwd;
        } else {
            base = descriptorPath(directoryFd);
        }
        full = base + "/" + full;
    }
    const std::size_t slash = full.rfind('/');
    const std::string parent = slash == 0 ? "/" : full.substr(0, slash);
    char resolved[PATH_MAX];
    if (::realpath(parent.c_str(), resolved) == nullptr) return false;
    const std::string canonical(resolved);
    return canonical == s.directory || inDirectory(canonical, s.directory);
}

// Counts one call and tells whether it is the one to fail. The lock is held.
bool strikes(State& s, Call call)
{
    const int number = ++s.outcome.counts[call];
    if (s.plan.fault == Fault::None || callOf(s.plan.fault) != call || number != s.plan.call) return false;
    s.outcome.fired = true;
    return true;
}

enum class Action { Pass, NoSpace, IOError, Short, Interrupt };

Action decideWrite(int fd)
{
    State& s = state();
    if (!s.armed.load(std::memory_order_acquire)) return Action::Pass;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.armed.load(std::memory_order_relaxed) || !watchedDescriptor(s, fd)) return Action::Pass;
    const bool struck = strikes(s, Call::Write);
    // The disk filled up just after the short write.
    if (s.shortened.erase(fd) > 0) return Action::NoSpace;
    if (!struck) return Action::Pass;
    switch (s.plan.fault) {
    case Fault::NoSpace: return Action::NoSpace;
    case Fault::IOError: return Action::IOError;
    case Fault::ShortWrite: return Action::Short;
    case Fault::ShortWriteThenNoSpace: s.shortened.insert(fd); return Action::Short;
    case Fault::Interrupted: return Action::Interrupt;
    default: return Action::Pass;
    }
}

// Runs `perform(bytes)` (the real call for the first `bytes` bytes) as the action says.
template <typename Perform>
ssize_t act(Action action, size_t count, Perform perform)
{
    switch (action) {
    case Action::NoSpace: errno = ENOSPC; return -1;
    case Action::IOError: errno = EIO; return -1;
    case Action::Interrupt: errno = EINTR; return -1;
    case Action::Short: return perform(count > 1 ? count / 2 : count);
    case Action::Pass: break;
    }
    return perform(count);
}

// Counts the call when it touches the watched directory; true when it is to fail.
bool strikesDescriptor(int fd, Call call)
{
    State& s = state();
    if (!s.armed.load(std::memory_order_acquire)) return false;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.armed.load(std::memory_order_relaxed) || !watchedDescriptor(s, fd)) return false;
    if (call == Call::Close) s.shortened.erase(fd);
    return strikes(s, call);
}

bool strikesPath(int directoryFd, const char* path, Call call)
{
    State& s = state();
    if (!s.armed.load(std::memory_order_acquire)) return false;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.armed.load(std::memory_order_relaxed) || !watchedPath(s, directoryFd, path)) return false;
    return strikes(s, call);
}

int openMode(int flags, va_list arguments)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, int) : 0;
}

// A child is armed from its environment before its own code runs, and reports at exit.
__attribute__((constructor)) void armFromEnvironment()
{
    const char* directory = std::getenv(kDirectoryVariable);
    const char* fault = std::getenv(kFaultVariable);
    const char* call = std::getenv(kCallVariable);
    const char* report = std::getenv(kReportVariable);
    if (directory == nullptr || fault == nullptr || call == nullptr || report == nullptr) return;
    const std::optional<Fault> parsed = faultNamed(fault);
    if (!parsed) return;
    state().report = report;
    arm(FaultPlan{directory, *parsed, std::atoi(call)});
}

__attribute__((destructor)) void reportAtExit()
{
    State& s = state();
    if (s.report.empty()) return;
    const Outcome outcome = disarm();
    char text[160];
    const int length = std::snprintf(text, sizeof text, "fired %d creates %d writes %d syncs %d closes %d renames %d\n",
                                     outcome.fired ? 1 : 0, outcome.counts[Call::Create], outcome.counts[Call::Write],
                                     outcome.counts[Call::Sync], outcome.counts[Call::Close],
                                     outcome.counts[Call::Rename]);
    const int fd = real().open(s.report.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t written = real().write(fd, text, static_cast<size_t>(length));
    real().close(fd);
}

} // namespace

namespace faultinjection {

void arm(const FaultPlan& plan)
{
    real(); // resolved before the first armed call, outside the lock
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    char resolved[PATH_MAX];
    s.directory = ::realpath(plan.directory.c_str(), resolved) != nullptr ? std::string(resolved) : plan.directory.string();
    s.plan = plan;
    s.outcome = Outcome{};
    s.shortened.clear();
    s.armed.store(true, std::memory_order_release);
}

Outcome disarm()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.armed.store(false, std::memory_order_release);
    s.shortened.clear();
    return s.outcome;
}

std::array<std::string, 4> environmentFor(const FaultPlan& plan, const std::filesystem::path& report)
{
    return {std::string(kDirectoryVariable) + "=" + plan.directory.string(),
            std::string(kFaultVariable) + "=" + nameOf(plan.fault),
            std::string(kCallVariable) + "=" + std::to_string(plan.call),
            std::string(kReportVariable) + "=" + report.string()};
}

std::optional<Outcome> readReport(const std::filesystem::path& report)
{
    std::ifstream in(report);
    std::string word;
    int fired = 0;
    Outcome outcome;
    if (!(in >> word >> fired) || word != "fired") return std::nullopt;
    outcome.fired = fired != 0;
    const Call calls[] = {Call::Create, Call::Write, Call::Sync, Call::Close, Call::Rename};
    const char* const names[] = {"creates", "writes", "syncs", "closes", "renames"};
    for (int i = 0; i < kCallKinds; ++i) {
        if (!(in >> word >> outcome.counts[calls[i]]) || word != names[i]) return std::nullopt;
    }
    return outcome;
}

} // namespace faultinjection

// The C library's names. Each passes straight through unless armed.
extern "C" {

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int mode = openMode(flags, arguments);
    va_end(arguments);
    if ((flags & O_CREAT) != 0 && strikesPath(AT_FDCWD, path, Call::Create)) {
        errno = EACCES;
        return -1;
    }
    return real().open(path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int mode = openMode(flags, arguments);
    va_end(arguments);
    if ((flags & O_CREAT) != 0 && strikesPath(AT_FDCWD, path, Call::Create)) {
        errno = EACCES;
        return -1;
    }
    return real().open(path, flags, mode);
}

int openat(int directoryFd, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int mode = openMode(flags, arguments);
    va_end(arguments);
    if ((flags & O_CREAT) != 0 && strikesPath(directoryFd, path, Call::Create)) {
        errno = EACCES;
        return -1;
    }
    return real().openat(directoryFd, path, flags, mode);
}

int openat64(int directoryFd, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int mode = openMode(flags, arguments);
    va_end(arguments);
    if ((flags & O_CREAT) != 0 && strikesPath(directoryFd, path, Call::Create)) {
        errno = EACCES;
        return -1;
    }
    return real().openat(directoryFd, path, flags, mode);
}

ssize_t write(int fd, const void* buffer, size_t count)
{
    return act(decideWrite(fd), count, [&](size_t bytes) { return real().write(fd, buffer, bytes); });
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset)
{
    return act(decideWrite(fd), count, [&](size_t bytes) { return real().pwrite(fd, buffer, bytes, offset); });
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset)
{
    return pwrite(fd, buffer, count, offset);
}

ssize_t writev(int fd, const struct iovec* pieces, int pieceCount)
{
    size_t total = 0;
    for (int i = 0; i < pieceCount; ++i) total += pieces[i].iov_len;
    return act(decideWrite(fd), total, [&](size_t bytes) -> ssize_t {
        if (bytes == total) return real().writev(fd, pieces, pieceCount);
        // The first `bytes` bytes of the pieces.
        std::vector<struct iovec> shortened;
        for (int i = 0; i < pieceCount && bytes > 0; ++i) {
            struct iovec piece = pieces[i];
            if (piece.iov_len > bytes) piece.iov_len = bytes;
            bytes -= piece.iov_len;
            shortened.push_back(piece);
        }
        return real().writev(fd, shortened.data(), static_cast<int>(shortened.size()));
    });
}

int fsync(int fd)
{
    if (strikesDescriptor(fd, Call::Sync)) {
        errno = EIO;
        return -1;
    }
    return real().fsync(fd);
}

int fdatasync(int fd)
{
    if (strikesDescriptor(fd, Call::Sync)) {
        errno = EIO;
        return -1;
    }
    return real().fdatasync(fd);
}

int close(int fd)
{
    const bool struck = strikesDescriptor(fd, Call::Close);
    const int result = real().close(fd);
    if (struck) {
        errno = EIO;
        return -1;
    }
    return result;
}

int rename(const char* from, const char* to)
{
    if (strikesPath(AT_FDCWD, from, Call::Rename)) {
        errno = EIO;
        return -1;
    }
    return real().rename(from, to);
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to)
{
    if (strikesPath(fromDirectory, from, Call::Rename)) {
        errno = EIO;
        return -1;
    }
    return real().renameat(fromDirectory, from, toDirectory, to);
}

} // extern "C"
