#include "app/BatchRun.h"

#include "app/ErrorBox.h"
#include "app/ExportCommands.h"
#include "app/FileCommands.h"
#include "app/GLView.h"
#include "app/MenuIds.h"
#include "app/MyFrame.h"
#include "app/TerminalProgress.h"
#include "bake/ModelFiles.h"
#include "render/ExportNaming.h"
#include "render/FrameStamps.h"
#include "skin/FileDispatch.h"
#include "viewer/Playback.h"
#include "viewer/ViewerCore.h"

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>

#include <unistd.h>

namespace {

bool& batchFailed()
{
    static bool failed = false;
    return failed;
}

std::optional<int>& exitStatus()
{
    static std::optional<int> status;
    return status;
}

// Lets the toolkit map the window until the view can draw; false after a few seconds.
bool waitForDrawableView(GLView& view)
{
    const std::int64_t deadline = FrameStamps::nowMilliseconds() + 15000;
    while (FrameStamps::nowMilliseconds() < deadline) {
        wxTheApp->Yield(true);
        if (view.IsShownOnScreen() && view.makeCurrent() && view.clientSize().x > 0 && view.clientSize().y > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Grows or shrinks the window until the view spans width x height pixels (the menu bar's
// height is known only once the window is shown); false after a few seconds.
bool sizeViewTo(MyFrame& frame, GLView& view, int width, int height)
{
    const wxSize wanted(width, height);
    const std::int64_t deadline = FrameStamps::nowMilliseconds() + 5000;
    while (FrameStamps::nowMilliseconds() < deadline) {
        wxTheApp->Yield(true);
        const wxSize size = view.clientSize();
        if (size == wanted) return true;
        const wxSize client = frame.GetClientSize();
        frame.SetClientSize(client + wanted - size);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// How far an export is, on standard error when that is a terminal; nothing otherwise.
PlaybackProgress progressOnTerminal(const std::string& title)
{
    if (!::isatty(STDERR_FILENO)) return {};
    return terminalProgress(std::cerr, title);
}

int runAction(MyFrame& frame, const BatchOptions& options)
{
    GLView& view = *frame.view();
    ViewerCore& core = frame.core();
    if (!waitForDrawableView(view)) {
        showErrorBox("Batch mode", "The view could not get an OpenGL context to draw with.", &frame);
        return kExitFailure;
    }
    // Idle events may have moved the animation on while the window appeared.
    core.setFrame(options.frame.value_or(0));

    switch (options.action) {
    case BatchOptions::Action::None: break;
    case BatchOptions::Action::ExportImage:
        frame.exports().exportImageTo(options.outputPath, options.width.value_or(1440), options.height.value_or(960));
        break;
    case BatchOptions::Action::ExportSequence: {
        const int frames = options.frames.value_or(core.keyFrameCount());
        if (frames <= 0) {
            showErrorBox("Export image sequence",
                         "There is no camera animation to take the number of frames from. Load a camera keys file "
                         "or give '--frames N'.",
                         &frame);
            break;
        }
        frame.exports().exportImageSequenceTo(options.outputPath, options.width.value_or(720),
                                              options.height.value_or(480), frames,
                                              progressOnTerminal("Export image sequence"), options.firstFrame);
        break;
    }
    case BatchOptions::Action::ExportVideo: {
        const int frames = options.frames.value_or(core.keyFrameCount());
        if (frames <= 0) {
            showErrorBox("Export video",
                         "There is no camera animation to take the number of frames from. Load a camera keys file "
                         "or give '--frames N'.",
                         &frame);
            break;
        }
        const ExportCommands::VideoExport outcome = frame.exports().exportVideoTo(
            options.outputPath, options.width.value_or(kDefaultVideoWidth), options.height.value_or(kDefaultVideoHeight),
            frames, options.framesPerSecond.value_or(kDefaultVideoRate), progressOnTerminal("Export video"),
            options.firstFrame);
        // Not an error: the video was written, at the size the codec takes.
        if (!outcome.failed && !outcome.sizeNote.empty()) std::cout << outcome.sizeNote << std::endl;
        break;
    }
    case BatchOptions::Action::Timedemo: {
        if (core.keyFrameCount() <= 0) {
            showErrorBox("Run timedemo", "There is no camera animation to play. Load a camera keys file first.", &frame);
            break;
        }
        if (options.width && options.height && !sizeViewTo(frame, view, *options.width, *options.height)) {
            showErrorBox("Run timedemo",
                         "The view could not be made " + std::to_string(*options.width) + " x " +
                             std::to_string(*options.height) + " pixels; run without a display to measure that size.",
                         &frame);
            break;
        }
        // One frame first, so that what the first paint makes (programs, lists, impostor
        // atlases) is not timed as drawing.
        view.paintNow();
        const int limit = options.frames.value_or(0);
        const TimedemoResult result = runTimedemo(core, [&view] { view.paintNow(); },
                                                  [limit](int done, int) { return limit == 0 || done < limit; });
        std::cout << timedemoReport(result.framesDrawn, result.seconds) << breakdownReport(result.breakdown)
                  << std::flush;
        break;
    }
    }
    return batchFailed() ? kExitFailure : kExitSuccess;
}

} // namespace

bool chooseMenuItem(MyFrame& frame, int id, bool checked)
{
    wxMenuBar* bar = frame.GetMenuBar();
    wxMenuItem* item = bar ? bar->FindItem(id) : nullptr;
    // A disabled item does not answer a click.
    if (item == nullptr || !item->IsEnabled()) return false;
    if (item->IsCheckable()) {
        // wxGTK keeps its own copy of the check state, which goes stale when GTK unchecks a
        // disabled radio item for another one of its group; Check would then see nothing to
        // do. Bring the copy in line with what GTK shows first.
        item->wxMenuItemBase::Check(item->IsChecked());
        item->Check(checked);
    }
    wxCommandEvent command(wxEVT_MENU, id);
    command.SetEventObject(&frame);
    command.SetInt(item->IsCheckable() ? item->IsChecked() : 0);
    frame.ProcessWindowEvent(command);
    return true;
}

void applyStartupChoices(MyFrame& frame, const BatchOptions& options)
{
    if (options.seed) frame.core().scene().reseed(*options.seed);
    if (options.impostorPixels) frame.setImpostorPixels(*options.impostorPixels);
    for (const MenuChoice& choice : options.menuChoices) {
        if (chooseMenuItem(frame, choice.id, choice.checked)) continue;
        const wxMenuItem* item = frame.GetMenuBar()->FindItem(choice.id);
        const std::string label = item ? std::string(item->GetItemLabelText().utf8_str()) : std::to_string(choice.id);
        showErrorBox("Invalid option",
                     "The menu item \"" + label + "\" is disabled by the other settings, so it cannot be chosen.", &frame);
    }
}

void openCommandLineFiles(MyFrame& frame, const BatchOptions& options)
{
    const bool imports = std::any_of(options.files.begin(), options.files.end(), [](const std::string& file) {
        return fileKindOf(file) == FileKind::BinarySkin && isModelFile(file);
    });
    if (imports && !options.batch()) {
        frame.Show(true);
        // Mapped and painted before the modal progress dialog takes the event loop.
        frame.Update();
    }
    for (const std::string& file : options.files) frame.files().openFile(file);
}

void applyLoadedChoices(MyFrame& frame, const BatchOptions& options)
{
    ViewerCore& core = frame.core();
    if (options.fixedDetailLevel) {
        const unsigned level = *options.fixedDetailLevel;
        if (!chooseMenuItem(frame, kFirstFixedLevelId + static_cast<int>(level), true))
        {
            const std::size_t levels = frame.fixedLevelItemCount();
            showErrorBox("Invalid option", "There is no detail level " + std::to_string(level) +
                                               ": the loaded herds have " + std::to_string(levels) + " levels.",
                         &frame);
        }
    }
    if (options.animals)
        core.setAnimalCount(*options.animals);
    else if (core.totalAnimalCount() < 10)
        // A herd of fewer than ten animals looks empty on a full-screen frame.
        core.setAnimalCount(10);
    if (options.frame) core.setFrame(*options.frame);
}

void reportErrorsOnStandardError()
{
    setErrorBoxHook([](const std::string& caption, const std::string& message) {
        batchFailed() = true;
        std::cerr << caption << ": " << message << std::endl;
    });
}

void startBatchRun(MyFrame& frame, const BatchOptions& options)
{
    reportErrorsOnStandardError();
    wxTheApp->CallAfter([&frame, options] {
        exitStatus() = runAction(frame, options);
        frame.Destroy();
        wxTheApp->ExitMainLoop();
    });
}

std::optional<int> batchExitStatus()
{
    return exitStatus();
}
