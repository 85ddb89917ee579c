// The program entry point alone, so tests can link every application class without a second
// main(). Answers --help, --version and usage errors before the toolkit starts, so they work
// without a display, and runs batch actions without a window system when there is no X display
// or "--headless" asks for it: then the toolkit is never started.
#include "app/BatchOptions.h"
#include "app/FlexherdApp.h"
#include "app/HeadlessBatch.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

wxIMPLEMENT_APP_NO_MAIN(FlexherdApp);

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.kind) {
    case CommandLine::Kind::Help: std::cout << usageText(); return kExitSuccess;
    case CommandLine::Kind::Version: std::cout << versionText(); return kExitSuccess;
    case CommandLine::Kind::UsageError:
        std::cerr << "flexherd: " << commandLine.error << "\nTry 'flexherd --help' for more information.\n";
        return kExitUsage;
    case CommandLine::Kind::Run: break;
    }
    if (runsHeadless(commandLine.options, std::getenv("DISPLAY"))) return runHeadlessBatch(commandLine.options);
    // The application reads these bytes, not the toolkit's converted copy.
    FlexherdApp::setArguments(std::move(arguments));
    // The toolkit gives -1 when it cannot start (no display, for one).
    const int status = wxEntry(argc, argv);
    return status < 0 ? kExitFailure : status;
}
