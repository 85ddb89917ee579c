#include "app/FlexherdApp.h"

#include "app/BatchOptions.h"
#include "app/BatchRun.h"
#include "app/FileCommands.h"
#include "app/InitialFrameSize.h"
#include "app/MyFrame.h"
#include "app/SettingsPath.h"
#include "app/ViewerMemory.h"

#include <wx/display.h>
#include <wx/glcanvas.h>
#include <wx/image.h>
#include <wx/settings.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>

FlexherdApp::FlexherdApp() = default;

// Out of line so that the unique_ptr sees the complete wxGLContext.
FlexherdApp::~FlexherdApp() = default;

std::optional<std::vector<std::string>>& FlexherdApp::arguments()
{
    static std::optional<std::vector<std::string>> given;
    return given;
}

void FlexherdApp::setArguments(std::vector<std::string> arguments)
{
    FlexherdApp::arguments() = std::move(arguments);
}

bool FlexherdApp::OnInit()
{
    // wxApp::OnInit is not called: it would parse the command line and reject the file names.
    wxInitAllImageHandlers();

    // Options come first, then the files (main() has already answered --help and usage errors).
    std::vector<std::string> arguments;
    if (FlexherdApp::arguments()) {
        arguments = *FlexherdApp::arguments();
    } else {
        for (int i = 1; i < argc; ++i) arguments.push_back(std::string(argv[i].fn_str()));
    }
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.kind != CommandLine::Kind::Run) return false;
    const BatchOptions& options = commandLine.options;

    const wxRect workArea = wxDisplay(0u).GetClientArea();
    const InitialFrameSize size = computeInitialFrameSize(workArea.width, workArea.height,
        wxSystemSettings::GetMetric(wxSYS_EDGE_X), wxSystemSettings::GetMetric(wxSYS_EDGE_Y));
    auto* frame = new MyFrame(nullptr, "Flexherd demo", wxPoint(0, 0), wxSize(size.width, size.height),
        wxDEFAULT_FRAME_STYLE, *this);

    // Batch errors go to standard error from the first file on.
    if (options.batch()) reportErrorsOnStandardError();
    // The interactive viewer remembers recent files, dialog directories and its place; batch
    // runs (many at once on a render farm) neither read nor write that file.
    if (!options.batch())
        frame->useMemory(std::make_unique<ViewerMemory>(
            settingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"))));
    applyStartupChoices(*frame, options);

    // Every file gets its chance: openFile reports a failing one and returns. A model to
    // import shows the frame first, under the import's progress dialog.
    openCommandLineFiles(*frame, options);
    // The animal count (at least ten unless given), a fixed detail level, the start frame.
    applyLoadedChoices(*frame, options);
    // A model far larger or smaller than the sample animals is brought into view.
    frame->files().frameImportedAnimals();

    // A timedemo at a given size measures a view of exactly that many pixels.
    if (options.action == BatchOptions::Action::Timedemo && options.width && options.height)
        frame->SetClientSize(*options.width, *options.height);
    frame->Show(true);
    if (options.batch()) startBatchRun(*frame, options);
    return true;
}

int FlexherdApp::OnRun()
{
    const int status = wxApp::OnRun();
    return batchExitStatus().value_or(status);
}

wxGLContext* FlexherdApp::glContext(wxGLCanvas* canvas)
{
    if (!m_glContext && !m_glContextFailed) {
        auto context = std::make_unique<wxGLContext>(canvas);
        if (context->IsOK()) {
            m_glContext = std::move(context);
        } else {
            // Said once: the paint handler asks on every paint.
            m_glContextFailed = true;
            std::cerr << "flexherd: unable to create an OpenGL context; the view stays blank.\n";
        }
    }
    return m_glContext.get();
}
