// Stands in for flexherd-import in the tests of the child process: what it does depends on the
// model's file name. "crash..." crashes after its first progress line, "wait..." reports
// progress and then waits for a signal (until the parent kills it), "fail..." reports an
// error, "usage..." exits as on a usage error.
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    const std::string model = argv[1];
    const std::string name = model.substr(model.find_last_of('/') + 1);
    std::printf("progress 0.125 Reading the model\n");
    std::fflush(stdout);
    if (name.rfind("crash", 0) == 0) {
        // Dies by the signal itself, whatever handler a runtime (a sanitizer's) installed.
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    } else if (name.rfind("wait", 0) == 0) {
        std::fprintf(stderr, "Warning: waiting\n");
        std::fflush(stderr);
        for (;;) ::pause();
    } else if (name.rfind("fail", 0) == 0) {
        std::fprintf(stderr, "Parsing the file.\nError importing model: Unable to import model '%s': broken.\n", argv[1]);
        return 1;
    } else if (name.rfind("usage", 0) == 0) {
        std::fprintf(stderr, "flexherd-import: unknown option '--bogus'\n");
        return 2;
    }
    return 3;
}
