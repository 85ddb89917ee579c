// flexherd-import MODEL OUT.bin [OPTION...]: bakes a rigged, animated model (any format Assimp
// reads, or OBJ) into a binary skin file with levels of detail, corrections, PRT lighting and
// a shadow skin. Exit status 0 on success, 1 when the import fails ("Error importing model: "
// and the reason on standard error), 2 on bad usage.
#include "bake/ImportOptions.h"
#include "bake/ModelImport.h"

#include "foundation/Exception.h"
#include "foundation/Sanitizers.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage = "usage: flexherd-import MODEL OUT.bin [OPTION...]\n";

void printHelp()
{
    std::cout << kUsage
              << "Bakes a rigged, animated model (glTF, FBX, COLLADA, X, SMD, MD5, MDL and every other format Assimp\n"
                 "reads; OBJ through Flexherd's own reader) into a binary skin file the viewer opens: levels of\n"
                 "detail, eigenskin corrections, PRT lighting and a shadow skin. An embedded texture is written\n"
                 "beside OUT.bin as a PNG.\n\nOptions:\n"
              << importOptionsHelp()
              << "  --progress-lines    report progress as 'progress FRACTION STEP' lines on standard output\n"
                 "  --memory-limit MIB  let allocations beyond MIB mebibytes fail (against hostile files)\n"
                 "  --help              show this text\n";
}

int usageError(const std::string& message)
{
    std::cerr << "flexherd-import: " << message << '\n' << kUsage << "Try 'flexherd-import --help'.\n";
    return 2;
}

// Progress on a terminal: one line rewritten in place.
class TerminalProgress {
public:
    explicit TerminalProgress(bool lines) : m_lines(lines), m_terminal(::isatty(STDERR_FILENO) != 0) {}
    ~TerminalProgress() { finish(); }

    void operator()(double fraction, const std::string& step)
    {
        if (m_lines) {
            std::printf("progress %.3f %s\n", fraction, step.c_str());
            std::fflush(stdout);
        }
        if (m_terminal) {
            std::fprintf(stderr, "\r\033[K%3d%% %s", static_cast<int>(fraction * 100.0 + 0.5), step.c_str());
            std::fflush(stderr);
            m_shown = true;
        }
    }
    void finish()
    {
        if (m_shown) std::fprintf(stderr, "\r\033[K");
        m_shown = false;
    }

private:
    bool m_lines;
    bool m_terminal;
    bool m_shown = false;
};

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    ImportOptions options;
    std::vector<std::string> files;
    bool progressLines = false;
    long memoryLimit = 0;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                printHelp();
                return 0;
            }
            if (args[i] == "--progress-lines") {
                progressLines = true;
            } else if (args[i] == "--memory-limit") {
                if (i + 1 >= args.size()) return usageError("--memory-limit needs a size in mebibytes");
                memoryLimit = std::atol(args[++i].c_str());
                if (memoryLimit <= 0) return usageError("--memory-limit needs a size in mebibytes");
            } else if (parseImportOption(args, i, options)) {
            } else if (args[i].size() > 1 && args[i][0] == '-' && args[i] != "--") {
                return usageError("unknown option '" + args[i] + "'");
            } else {
                files.push_back(args[i]);
            }
        }
    } catch (const std::invalid_argument& e) {
        return usageError(e.what());
    }
    if (files.size() != 2) return usageError(files.size() < 2 ? "MODEL and OUT.bin are needed" : "too many file names");

    if (memoryLimit > 0 && !kAddressSanitizer) {
        // Address space, not resident memory: a hostile file's giant request fails at once.
        // (A sanitized build's runtime bounds allocations itself and needs its shadow mapped.)
        const rlim_t bytes = static_cast<rlim_t>(memoryLimit) * 1024 * 1024;
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
    }

    TerminalProgress progress(progressLines);
    try {
        ImportResult result = importModel(files[0], options, [&](double fraction, const std::string& step) {
            progress(fraction, step);
        });
        const std::string texture = writeImport(result, files[1]);
        progress.finish();
        std::cout << importSummary(result.report, files[1], texture);
        for (const std::string& warning : result.report.warnings) std::cerr << "Warning: " << warning << '\n';
    } catch (const Exception& e) {
        progress.finish();
        std::cerr << "Error importing model: " << e.message() << '\n';
        return 1;
    } catch (const std::invalid_argument& e) {
        progress.finish();
        return usageError(e.what());
    } catch (const std::bad_alloc&) {
        progress.finish();
        std::cerr << "Error importing model: Unable to import model '" << files[0] << "': out of memory.\n";
        return 1;
    }
    return 0;
}
