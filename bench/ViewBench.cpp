// Frames per second of the viewer's whole paint (lights, camera, ground, level of detail,
// shadows, herds, overlay, buffer swap) with 100 and 1000 sample animals, hardware and software
// skinning, as the view's own statistics measure them. Runs the real application object and
// main frame on the X display; without one it runs itself again under xvfb-run with software GL.
//
// Usage: bench_view [FRAMES]   (default 60 measured frames per case, after 5 warm-up frames)
// Prints one line per case: animals, renderer, the view's fps over its last 30 stamps, the
// fps over all measured frames, the view's average draw time and the triangles per frame.

#include "BenchGL.h"

#include "app/FlexherdApp.h"
#include "app/GLView.h"
#include "app/MenuIds.h"
#include "app/MyFrame.h"
#include "viewer/ViewerCore.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

void pumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        wxYield();
        wxMilliSleep(5);
    }
}

// The renderer choice as the user makes it: toggle the item, then the settings command.
void useVertexProgram(MyFrame* frame, bool use)
{
    if (frame->useVertexProgram() == use) return;
    frame->menuItem(kUseVertexProgramId)->Check(use);
    wxCommandEvent event(wxEVT_MENU, kUseVertexProgramId);
    frame->ProcessWindowEvent(event);
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return runUnderXvfb("bench_view", argc, argv);
    const fs::path samples = fs::temp_directory_path() / ("flexherd-bench-view-" + std::to_string(getpid()));
    fs::create_directories(samples);
    const std::string generate = std::string("'") + FLEXHERD_MKSAMPLE + "' '" + samples.string() + "' >/dev/null 2>&1";
    if (std::system(generate.c_str()) != 0) {
        std::cerr << "bench_view: flexherd-mksample failed.\n";
        return 1;
    }
    fs::current_path(samples);

    std::vector<std::string> arguments = {argv[0], (samples / "quadruped.bin").string(),
                                          (samples / "longneck.bin").string()};
    std::vector<char*> wxArgv;
    for (std::string& argument : arguments) wxArgv.push_back(argument.data());
    wxArgv.push_back(nullptr);
    int wxArgc = static_cast<int>(arguments.size());
    wxApp::SetInstance(new FlexherdApp);
    if (!wxEntryStart(wxArgc, wxArgv.data()) || !wxTheApp->CallOnInit()) {
        std::cerr << "bench_view: the application did not start.\n";
        return 1;
    }
    auto* frame = dynamic_cast<MyFrame*>(wxTheApp->GetTopWindow());
    GLView* view = frame->view();
    frame->setRunning(false);
    pumpFor(std::chrono::milliseconds(500));
    if (!view->makeCurrent()) {
        std::cerr << "bench_view: no GL context.\n";
        return 1;
    }
    const wxSize size = view->clientSize();
    std::printf("bench_view: %dx%d view, %d frames per case, GL renderer %s\n", size.x, size.y, frames,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%8s  %-9s  %10s  %10s  %12s  %12s\n", "animals", "skinning", "view fps", "run fps",
                "draw ms", "triangles");

    for (const unsigned animals : {100u, 1000u}) {
        view->core().setAnimalCount(animals);
        for (const bool hardware : {true, false}) {
            useVertexProgram(frame, hardware);
            // The paint handler's work, frame after frame as the idle clock drives it.
            int frameNumber = 0;
            const auto paint = [&] {
                view->core().setFrame(frameNumber++);
                view->render();
                view->SwapBuffers();
            };
            for (int i = 0; i < 5; ++i) paint();
            view->core().frameMeasures().stamps.clear();
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < frames; ++i) paint();
            glFinish();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const StatisticsFigures figures = view->core().statisticsFigures();
            std::printf("%8u  %-9s  %10.2f  %10.2f  %12.1f  %12llu\n", view->core().totalAnimalCount(),
                        hardware ? "hardware" : "software", view->core().framesPerSecond(), frames / seconds,
                        view->core().frameMeasures().averageDrawTime * 1000.0, figures.triangles);
            std::fflush(stdout);
            if (view->rendererFailed()) std::printf("bench_view: a renderer failed; figures above are without herds\n");
        }
    }
    frame->Destroy();
    wxEntryCleanup();
    fs::remove_all(samples);
    return 0;
}
