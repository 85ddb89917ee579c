#include "bake/ImportProcess.h"

#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"

#include <atomic>
#include <charconv>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::string kErrorPrefix = "Error importing model: ";
const std::string kWarningPrefix = "Warning: ";
const std::string kProgressPrefix = "progress ";
constexpr int kPollMilliseconds = 100;

// Closes a file descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Lines arriving on one pipe.
struct LineBuffer {
    std::string pending;
    bool open = true;

    // Reads what is there; returns the complete lines.
    std::vector<std::string> read(int fd)
    {
        std::vector<std::string> lines;
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) return lines;
        if (got <= 0) {
            open = false;
            if (!pending.empty()) lines.push_back(std::move(pending));
            pending.clear();
            return lines;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(pending.substr(start, end - start));
        pending.erase(0, start);
        // A line without an end that grows without bound is cut, not hoarded.
        if (pending.size() > 65536) {
            lines.push_back(std::move(pending));
            pending.clear();
        }
        return lines;
    }
};

void removeOutputs(const std::filesystem::path& skinFile)
{
    std::error_code ignored;
    std::filesystem::path texture = skinFile;
    texture.replace_extension(".png");
    for (std::filesystem::path file : {skinFile, texture}) {
        std::filesystem::remove(file, ignored);
        file += ".partial";
        std::filesystem::remove(file, ignored);
    }
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

} // namespace

std::filesystem::path findImportProgram()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path beside = self.parent_path() / "flexherd-import";
        if (::access(beside.c_str(), X_OK) == 0) return beside;
    }
#ifdef FLEXHERD_IMPORT_PROGRAM
    if (::access(FLEXHERD_IMPORT_PROGRAM, X_OK) == 0) return FLEXHERD_IMPORT_PROGRAM;
#endif
    return "flexherd-import";
}

std::size_t defaultImportMemoryLimit()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    const std::size_t mebibytes =
        pages > 0 && pageSize > 0 ? static_cast<std::size_t>(pages) / 1024 * static_cast<std::size_t>(pageSize) / 1024 : 0;
    return std::max<std::size_t>(1024, mebibytes / 4 * 3);
}

std::filesystem::path createImportDirectory()
{
    static std::atomic<unsigned> counter{0};
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path directory =
            temporary / ("flexherd-import-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        if (::mkdir(directory.c_str(), 0700) == 0) return directory;
        if (errno != EEXIST) break;
    }
    throw IOException("Unable to create a directory for imported models in '" + temporary.string() + "': " +
                      std::strerror(errno));
}

void removeImportDirectory(const std::filesystem::path& directory)
{
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

ImportRun runImportProcess(const std::string& modelPath, const ImportOptions& options,
                           const std::filesystem::path& outputDirectory, const ImportRunProgress& progress)
{
    return runImportProcess(modelPath, options, outputDirectory, progress, findImportProgram(), defaultImportMemoryLimit());
}

ImportRun runImportProcess(const std::string& modelPath, const ImportOptions& options,
                           const std::filesystem::path& outputDirectory, const ImportRunProgress& progress,
                           const std::filesystem::path& program, std::size_t memoryLimitMiB)
{
    ImportRun run;
    run.directory = outputDirectory;
    std::string stem = std::filesystem::path(modelPath).stem().string();
    if (stem.empty()) stem = "model";
    // Never over an earlier import's file: its textures may still be in use.
    run.skinFile = outputDirectory / (stem + ".bin");
    std::error_code error;
    for (int n = 2; std::filesystem::exists(run.skinFile, error) ||
                    std::filesystem::exists(std::filesystem::path(run.skinFile).replace_extension(".png"), error);
         ++n)
        run.skinFile = outputDirectory / (stem + "-" + std::to_string(n) + ".bin");

    std::vector<std::string> args{program.string(), modelPath, run.skinFile.string()};
    for (std::string& argument : options.arguments()) args.push_back(std::move(argument));
    args.insert(args.end(), {"--progress-lines", "--memory-limit", std::to_string(memoryLimitMiB)});
    std::vector<char*> argv;
    for (std::string& argument : args) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw IOException(std::string("Unable to create a pipe: ") + std::strerror(errno));
    Descriptor outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) throw IOException(std::string("Unable to create a pipe: ") + std::strerror(errno));
    Descriptor errRead(errPipe[0]), errWrite(errPipe[1]);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    ::posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw IOException("Unable to run the model importer '" + program.string() + "' for '" + modelPath +
                          "': " + std::strerror(spawned));
    outWrite.reset();
    errWrite.reset();

    LineBuffer out, err;
    std::vector<std::string> errors, otherErrorLines;
    double fraction = 0.0;
    std::string step = "Starting the import";
    bool keepGoing = true;
    // Whatever leaves this function, the child does not outlive it.
    struct Reaper {
        pid_t pid;
        const std::filesystem::path& skinFile;
        ~Reaper()
        {
            if (pid <= 0) return;
            ::kill(pid, SIGKILL);
            waitFor(pid);
            removeOutputs(skinFile);
        }
    } reaper{pid, run.skinFile};
    while ((out.open || err.open) && keepGoing) {
        pollfd fds[2];
        nfds_t count = 0;
        if (out.open) fds[count++] = {outRead.get(), POLLIN, 0};
        if (err.open) fds[count++] = {errRead.get(), POLLIN, 0};
        const int ready = ::poll(fds, count, kPollMilliseconds);
        if (ready < 0 && errno != EINTR) break;
        bool reported = false;
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const bool isOut = fds[i].fd == outRead.get();
            for (std::string& line : (isOut ? out : err).read(fds[i].fd)) {
                if (isOut && line.rfind(kProgressPrefix, 0) == 0) {
                    // "progress 0.250 Computing the corrections of level 0"
                    const std::string rest = line.substr(kProgressPrefix.size());
                    const std::size_t space = rest.find(' ');
                    // from_chars: the caller's locale may spell decimals differently.
                    double value = 0.0;
                    const char* end = rest.data() + (space == std::string::npos ? rest.size() : space);
                    if (std::from_chars(rest.data(), end, value).ec == std::errc() && value >= 0.0 && value <= 1.0)
                        fraction = value;
                    step = space == std::string::npos ? std::string() : rest.substr(space + 1);
                    if (progress && !progress(fraction, step)) keepGoing = false;
                    reported = true;
                } else if (isOut) {
                    run.summary += line + "\n";
                } else if (line.rfind(kErrorPrefix, 0) == 0) {
                    errors.push_back(line.substr(kErrorPrefix.size()));
                } else if (line.rfind(kWarningPrefix, 0) == 0) {
                    run.warnings.push_back(line.substr(kWarningPrefix.size()));
                } else if (!line.empty()) {
                    otherErrorLines.push_back(line);
                }
            }
        }
        if (keepGoing && !reported && progress && !progress(fraction, step)) keepGoing = false;
    }
    if (!keepGoing) {
        ::kill(pid, SIGKILL);
        waitFor(pid);
        reaper.pid = 0;
        removeOutputs(run.skinFile);
        run.cancelled = true;
        run.warnings.clear();
        return run;
    }
    const int status = waitFor(pid);
    reaper.pid = 0;

    if (WIFSIGNALED(status)) {
        removeOutputs(run.skinFile);
        const int signal = WTERMSIG(status);
        throw IOException("Importing model '" + modelPath + "' failed: the importer stopped on signal " +
                          std::to_string(signal) + " (" + ::strsignal(signal) + ").");
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code != 0) {
        removeOutputs(run.skinFile);
        if (code == 1 && !errors.empty()) throw IOException(errors.front());
        std::string said = errors.empty() ? (otherErrorLines.empty() ? std::string() : otherErrorLines.back()) : errors.front();
        throw IOException("Importing model '" + modelPath + "' failed: the importer '" + program.string() +
                          "' ended with status " + std::to_string(code) + (said.empty() ? "." : ": " + said));
    }

    SkinFile file;
    try {
        file = loadBinarySkinFile(run.skinFile.string());
    } catch (const Exception& e) {
        removeOutputs(run.skinFile);
        throw IOException("Importing model '" + modelPath + "' failed: " + e.message());
    }
    for (const auto& skin : file.skins) skin->setFileName(modelPath);
    run.skins = std::move(file.skins);
    return run;
}

SkinFile importModelFile(const std::string& modelPath, const std::filesystem::path& outputDirectory,
                         const ImportRunProgress& progress)
{
    SkinFile file;
    try {
        ImportRun run = runImportProcess(modelPath, ImportOptions{}, outputDirectory, progress);
        file.skins = std::move(run.skins);
        file.directory = run.directory;
    } catch (const Exception& e) {
        throw ModelImportException(e.message());
    }
    return file;
}
