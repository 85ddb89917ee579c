// One viewer process opens and closes scenes 200 times, as a user working through files for an
// afternoon would: the sample animals as binary skins, a herd file naming them, the camera
// flight, the text skin; each scene drawn with every render method, with the vertex program
// and on the processor, and once over the sky. After the 200th close the process must hold what
// it held after the first: the same GL buffers, programs, textures and display lists, and
// about the same resident memory and heap. Its own executable, so that no other test's scenes
// count. Prints the figures it compares.

#include "GuiDriving.h"
#include "app/ErrorBox.h"
#include "app/FileCommands.h"
#include "app/FlexherdApp.h"
#include "app/GLView.h"
#include "app/MenuIds.h"
#include "app/MyFrame.h"
#include "foundation/Matrix4f.h"
#include "herd/GaussianRandomHerd.h"
#include "viewer/ViewerCore.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include <GL/glew.h>

#include <malloc.h>
#include <unistd.h>

#include "foundation/Sanitizers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <string>
#include <vector>

#ifdef FLEXHERD_ADDRESS_SANITIZER
// The sanitizer runtime's own count of the heap in use, declared here because g++ ships the
// runtime without its interface headers.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kCycles = 200;
// GL names are small integers handed out from 1 (Mesa reuses freed ones); 200 cycles of a
// leak of even one name a cycle stay far below this.
constexpr GLuint kNamesScanned = 1 << 16;

fs::path g_samples;
std::vector<std::string> g_reports;

// The GL objects alive in the current context, counted by asking GL about every name.
struct GLObjectCounts {
    unsigned buffers = 0;
    unsigned programs = 0;
    unsigned textures = 0;
    unsigned lists = 0;
    bool operator==(const GLObjectCounts&) const = default;
};

void PrintTo(const GLObjectCounts& counts, std::ostream* out)
{
    *out << counts.buffers << " buffers, " << counts.programs << " programs, " << counts.textures << " textures, "
         << counts.lists << " display lists";
}

GLObjectCounts countGLObjects()
{
    GLObjectCounts counts;
    for (GLuint name = 1; name < kNamesScanned; ++name) {
        counts.buffers += glIsBufferARB(name) ? 1 : 0;
        counts.programs += glIsProgramARB(name) ? 1 : 0;
        counts.textures += glIsTexture(name) ? 1 : 0;
        counts.lists += glIsList(name) ? 1 : 0;
    }
    return counts;
}

struct MemoryFigures {
    std::size_t resident = 0; // bytes, from /proc/self/statm
    std::size_t heap = 0;     // bytes the allocator has handed out and not had back
};

MemoryFigures measureMemory()
{
    // Free pages the allocator still holds go back first, so that only memory in use counts.
    malloc_trim(0);
    MemoryFigures figures;
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, residentPages = 0;
    statm >> size >> residentPages;
    figures.resident = residentPages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#ifdef FLEXHERD_ADDRESS_SANITIZER
    // The sanitizer's allocator replaces malloc's and counts its own blocks.
    figures.heap = __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    figures.heap = info.uordblks + info.hblkhd;
#endif
    return figures;
}

// Resident memory the address sanitizer may add as the run goes on: freed blocks wait in its
// quarantine, up to 256 MiB, before their memory is used again.
#ifdef FLEXHERD_ADDRESS_SANITIZER
constexpr std::size_t kQuarantine = std::size_t(256) << 20;
#else
constexpr std::size_t kQuarantine = 0;
#endif

double mebibytes(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1 << 20);
}

void setChecked(MyFrame* frame, int id, bool checked)
{
    if (frame->isChecked(id) != checked) clickMenuItem(frame, id);
}

// One way of drawing: skinning on the graphics card or the processor, the render method (not
// display lists on the processor: the menu offers them only with the vertex program), the
// background.
struct DrawingWay {
    bool vertexProgram;
    int method;
    int background;
};

// Puts two animals of each herd in a row at the same places in every cycle (herds scatter
// animals at random) and shows them at the finest level: each cycle then draws the same and
// makes the same GL objects, and few animals keep the run quick on a software rasteriser.
void placeFewAnimals(MyFrame* frame)
{
    ViewerCore& core = frame->core();
    core.setAnimalCount(0);
    float x = -3.0f;
    for (const auto& herd : core.herds()) {
        const auto scattered = std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd());
        ASSERT_TRUE(scattered);
        for (std::uint32_t i = 0; i < 2; ++i, x += 2.5f)
            scattered->addInstance(7 * i, Matrix4f::translation(Vector3f(x, 0.0f, 0.0f)));
        scattered->rebuild();
    }
    clickMenuItem(frame, kFirstFixedLevelId);
    core.setFrame(150);
}

// Draws the scene each way given. With `counts`, the GL objects alive after each draw are
// appended to it.
void draw(MyFrame* frame, std::initializer_list<DrawingWay> ways, std::vector<GLObjectCounts>* counts)
{
    GLView* view = frame->view();
    for (const DrawingWay& way : ways) {
        setChecked(frame, kUseVertexProgramId, way.vertexProgram);
        clickMenuItem(frame, way.method);
        clickMenuItem(frame, way.background);
        // Display lists are offered with the vertex program only.
        ASSERT_TRUE(frame->isChecked(way.method) && frame->isChecked(way.background));
        ASSERT_TRUE(view->makeCurrent());
        view->render();
        if (counts) counts->push_back(countGLObjects());
    }
}

// One afternoon's work in small: the camera flight, the binary skins, the herd file, the text
// skin, each drawn through the vertex program and on the processor with every render method
// (so every kind of GL object the renderers make is made), once over the sky; then closed.
void openAndCloseScenes(MyFrame* frame, const fs::path& herdFile, std::vector<GLObjectCounts>* counts = nullptr)
{
    FileCommands& files = frame->files();
    files.openFile((g_samples / "flyby.keys").string());
    files.openSkinFiles({(g_samples / "quadruped.bin").string(), (g_samples / "longneck.bin").string()});
    ASSERT_EQ(frame->core().herds().size(), 2u);
    placeFewAnimals(frame);
    draw(frame, {{true, kDisplayListsId, kSkyId}, {true, kVertexBufferObjectsId, kLightGrayId}}, counts);
    files.openSkinFiles({herdFile.string()});
    ASSERT_EQ(frame->core().herds().size(), 2u);
    placeFewAnimals(frame);
    draw(frame, {{true, kVertexArraysId, kLightGrayId}, {false, kVertexArraysId, kLightGrayId}}, counts);
    files.openSkinFiles({(g_samples / "quadruped.txt").string()});
    ASSERT_EQ(frame->core().herds().size(), 1u);
    placeFewAnimals(frame);
    draw(frame, {{true, kVertexBufferObjectsId, kLightGrayId}, {false, kVertexBufferObjectsId, kSkyId}}, counts);
    // Closing: the scene drops its herds and the frame renderer their renderers.
    frame->core().clear();
    ASSERT_TRUE(frame->view()->makeCurrent());
    frame->view()->prepareRenderers();
    if (counts) counts->push_back(countGLObjects());
}

} // namespace

TEST(LongRun, TwoHundredScenesLeaveMemoryAndGLObjectsAsTheFirstLeftThem)
{
    MyFrame* frame = mainFrame();
    ASSERT_NE(frame, nullptr);
    GLView* view = frame->view();

    // A herd file naming both sample skins, written by the viewer itself.
    const fs::path herdFile = g_samples / "pair.herd";
    frame->files().openSkinFiles({(g_samples / "quadruped.bin").string(), (g_samples / "longneck.bin").string()});
    frame->core().setAnimalCount(4);
    frame->files().saveHerdTo(herdFile.string());
    ASSERT_TRUE(fs::exists(herdFile)) << (g_reports.empty() ? std::string() : g_reports.front());
    frame->core().clear();
    ASSERT_TRUE(view->makeCurrent());
    view->prepareRenderers();

    // GL objects after each draw of the first cycle and after its close, then the same of the
    // last cycle.
    std::vector<GLObjectCounts> first, last;
    // Memory after each close.
    std::vector<MemoryFigures> memory;
    openAndCloseScenes(frame, herdFile, &first);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    memory.push_back(measureMemory());
    // Each kind was seen alive while drawing: the count can tell a leak of any of them.
    GLObjectCounts most;
    for (const GLObjectCounts& counts : first) {
        most.buffers = std::max(most.buffers, counts.buffers);
        most.programs = std::max(most.programs, counts.programs);
        most.textures = std::max(most.textures, counts.textures);
        most.lists = std::max(most.lists, counts.lists);
    }
    EXPECT_GT(most.buffers, 0u);
    EXPECT_GT(most.programs, 0u);
    EXPECT_GT(most.textures, 0u);
    EXPECT_GT(most.lists, 0u);

    for (int cycle = 2; cycle < kCycles; ++cycle) {
        openAndCloseScenes(frame, herdFile);
        if (::testing::Test::HasFatalFailure()) return;
        memory.push_back(measureMemory());
    }
    openAndCloseScenes(frame, herdFile, &last);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    memory.push_back(measureMemory());
    const MemoryFigures& afterFirst = memory.front();
    const MemoryFigures& afterLast = memory.back();

    // The heap's growth from one close to the next, in its middle: a leak of our own grows
    // the heap every cycle; the software rasteriser's caches (llvmpipe keeps compiled shader
    // variants and glBitmap textures) grow it by a few KiB most cycles and by ten MiB or so
    // in the odd cycle, which the median passes over.
    std::vector<double> growth;
    for (std::size_t c = 1; c < memory.size(); ++c)
        growth.push_back(static_cast<double>(memory[c].heap) - static_cast<double>(memory[c - 1].heap));
    std::nth_element(growth.begin(), growth.begin() + growth.size() / 2, growth.end());
    const double medianGrowth = growth[growth.size() / 2];

    std::cout << "most GL objects while drawing: " << ::testing::PrintToString(most) << "\n"
              << "after close 1:   resident " << mebibytes(afterFirst.resident) << " MiB, heap "
              << mebibytes(afterFirst.heap) << " MiB, GL " << ::testing::PrintToString(first.back()) << "\n"
              << "after close " << kCycles << ": resident " << mebibytes(afterLast.resident) << " MiB, heap "
              << mebibytes(afterLast.heap) << " MiB, GL " << ::testing::PrintToString(last.back()) << "\n"
              << "median heap growth per cycle: " << medianGrowth / 1024 << " KiB" << std::endl;

    // Draw by draw, the last cycle made and dropped what the first did.
    EXPECT_EQ(last, first) << "GL objects outlived their scenes";
    // The smallest things a scene leaves behind when it leaks, a herd or a renderer, take tens
    // of KiB; the sample skins take 4 MiB each.
    EXPECT_LT(medianGrowth, 16.0 * 1024) << "the heap grew with the cycles";
    // Besides the caches' few KiB a cycle, room for two of their jumps.
    EXPECT_LT(afterLast.heap, afterFirst.heap + (std::size_t(32) << 20)) << "the heap grew with the cycles";
    EXPECT_LT(afterLast.resident, afterFirst.resident + (std::size_t(48) << 20) + kQuarantine)
        << "resident memory grew with the cycles";
    EXPECT_TRUE(g_reports.empty()) << g_reports.size() << " error boxes, the first: " << g_reports.front();
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::cerr << "test_app_longrun: FAILED: no X display (DISPLAY is not set). Run it under xvfb-run.\n";
        return 1;
    }

    const fs::path data = fs::temp_directory_path() / ("flexherd-test-longrun-" + std::to_string(getpid()));
    fs::remove_all(data);
    g_samples = data / "samples";
    fs::create_directories(g_samples);
    const std::string generate = std::string("'") + FLEXHERD_MKSAMPLE + "' '" + g_samples.string() + "' >/dev/null 2>&1";
    if (std::system(generate.c_str()) != 0 || !fs::exists(g_samples / "quadruped.bin")) {
        std::cerr << "test_app_longrun: FAILED: flexherd-mksample could not write the sample animals.\n";
        return 1;
    }
    // The sky image is read from the working directory.
    fs::current_path(g_samples);

    setErrorBoxHook([](const std::string& caption, const std::string& message) {
        g_reports.push_back(caption + ": " + message);
    });
    wxSetAssertHandler([](const wxString& file, int line, const wxString& function, const wxString& condition,
                          const wxString& message) {
        ADD_FAILURE_AT(file.utf8_str().data(), line)
            << "wx assertion failed in " << function << ": " << condition << " " << message;
    });
    char* wxArgv[] = {argv[0], nullptr};
    int wxArgc = 1;
    wxApp::SetInstance(new FlexherdApp);
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::cerr << "test_app_longrun: FAILED: wxWidgets could not start on display '" << display << "'.\n";
        return 1;
    }
    if (!wxTheApp->CallOnInit() || mainFrame() == nullptr) {
        std::cerr << "test_app_longrun: FAILED: the main frame was not made.\n";
        wxEntryCleanup();
        return 1;
    }
    // Stopped, so that idle events do not move the scene; a small window keeps the 1,200
    // draws of the run quick on a software rasteriser.
    mainFrame()->setRunning(false);
    mainFrame()->SetClientSize(320, 240);
    if (!pumpUntil([] { return mainFrame()->view()->IsShownOnScreen() && mainFrame()->view()->makeCurrent(); }, std::chrono::seconds(30))) {
        std::cerr << "test_app_longrun: FAILED: the view never took its GL context.\n";
        wxEntryCleanup();
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    fs::current_path(data.parent_path());
    fs::remove_all(data);
    return result;
}
