// The viewer's windows under a real X display (Xvfb with llvmpipe in CI). One wx application
// lives for the whole process, started by main() with files on its command line exactly like
// the program, so OnInit is exercised too; the tests then drive its frame and extra frames.
// Without a display the executable fails: a GUI suite that silently skips would hide regressions.

#include "app/ErrorBox.h"
#include "app/FlexherdApp.h"
#include "app/GLView.h"
#include "app/InitialFrameSize.h"
#include "app/MyFrame.h"
#include "skin/BinarySkinWriter.h"

#include "SkinRecordFixtures.h"

#include <wx/display.h>
#include <wx/glcanvas.h>
#include <wx/init.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

// Last: Xlib defines macros (None, Status, Success) that would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;

namespace {

struct ErrorReport {
    std::string caption;
    std::string message;
    bool operator==(const ErrorReport&) const = default;
};

void PrintTo(const ErrorReport& report, std::ostream* out)
{
    *out << "{\"" << report.caption << "\", \"" << report.message << "\"}";
}

// What main() set up before the application started; read by the startup tests.
struct StartupState {
    fs::path dataDirectory;
    fs::path validSkin;          // two levels: "herd-fine", "herd-coarse"
    fs::path secondValidSkin;    // one level: "second"
    std::vector<std::string> arguments;
    std::vector<ErrorReport> reports;
};

StartupState& startup()
{
    static StartupState state;
    return state;
}

MyFrame* mainFrame()
{
    return dynamic_cast<MyFrame*>(wxTheApp->GetTopWindow());
}

// Runs the GTK event loop until done() holds or the time is up.
template <class Condition>
bool pumpUntil(Condition done, std::chrono::milliseconds limit = std::chrono::milliseconds(10000))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        wxYield();
        wxTheApp->ProcessIdle();
        wxMilliSleep(10);
    }
    return true;
}

void pumpFor(std::chrono::milliseconds duration)
{
    pumpUntil([] { return false; }, duration);
}

// The RGB of one pixel of the canvas's X window as the server holds it (0xRRGGBB on the 24-bit
// Xvfb screen); y counts from the top.
unsigned long windowPixel(GLView* view, int x, int y)
{
    Display* display = wxGetX11Display();
    XImage* image = XGetImage(display, static_cast<Window>(view->GetXWindow()), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return ~0ul;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffffu;
    XDestroyImage(image);
    return pixel;
}

// Records error boxes instead of showing them, for the duration of one test.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousHook = setErrorBoxHook([this](const std::string& caption, const std::string& message) {
            m_reports.push_back({caption, message});
        });
        m_frame = mainFrame();
        ASSERT_NE(m_frame, nullptr) << "OnInit did not make a MyFrame the top window";
        m_view = m_frame->view();
        ASSERT_NE(m_view, nullptr);
    }

    void TearDown() override
    {
        setErrorBoxHook(m_previousHook);
    }

    std::vector<ErrorReport> m_reports;
    MyFrame* m_frame = nullptr;
    GLView* m_view = nullptr;

private:
    ErrorBoxHook m_previousHook;
};

std::string unsupported(const std::string& what, const std::string& extension, const std::string& path)
{
    return what + " files ('" + extension + "') are not supported in this build: '" + path + "'.";
}

} // namespace

TEST(StartupTest, ReportsEachFailingArgumentInOrderAndLoadsTheRest)
{
    const fs::path& dir = startup().dataDirectory;
    const std::vector<ErrorReport> expected = {
        {"Error reading skin", "Unable to open file '" + (dir / "missing.bin").string() + "' for reading."},
        {"Error reading file", unsupported("Camera key", ".keys", (dir / "walk.keys").string())},
        {"Error reading file", unsupported("Herd", ".herd", (dir / "cows.herd").string())},
        {"Error reading file", unsupported("Text skin", ".txt", (dir / "horse.txt").string())},
    };
    EXPECT_EQ(startup().reports, expected);

    MyFrame* frame = mainFrame();
    ASSERT_NE(frame, nullptr);
    const auto& types = frame->view()->animalTypes();
    ASSERT_EQ(types.size(), 1u) << "the valid file after the failing ones must still load";
    EXPECT_EQ(types[0]->name(), "herd-fine");
    // No herds exist yet, so filling up to ten animals has nothing to fill.
    EXPECT_EQ(frame->view()->totalAnimalCount(), 0);
}

TEST(StartupTest, ShowsTheTitledFrameSizedToTheWorkArea)
{
    MyFrame* frame = mainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetTitle(), "Flexherd demo");
    EXPECT_TRUE(frame->IsShown());
    EXPECT_EQ(frame->GetParent(), nullptr);
    EXPECT_TRUE(frame->HasFlag(wxCAPTION | wxRESIZE_BORDER | wxSYSTEM_MENU | wxCLOSE_BOX));

    const wxRect workArea = wxDisplay(0u).GetClientArea();
    const InitialFrameSize expected = computeInitialFrameSize(workArea.width, workArea.height,
        wxSystemSettings::GetMetric(wxSYS_EDGE_X), wxSystemSettings::GetMetric(wxSYS_EDGE_Y));
    ASSERT_GT(expected.width, 0);
    EXPECT_EQ(frame->GetSize(), wxSize(expected.width, expected.height));
}

TEST_F(GuiTest, FileMenuHasOpenSeparatorAndExitInOrder)
{
    wxMenuBar* menuBar = m_frame->GetMenuBar();
    ASSERT_NE(menuBar, nullptr);
    ASSERT_EQ(menuBar->GetMenuCount(), 1u);
    EXPECT_EQ(menuBar->GetMenuLabel(0), "&File");

    wxMenu* fileMenu = menuBar->GetMenu(0);
    ASSERT_EQ(fileMenu->GetMenuItemCount(), 3u);

    wxMenuItem* open = fileMenu->FindItemByPosition(0);
    EXPECT_EQ(open->GetId(), 0);
    EXPECT_EQ(open->GetItemLabel(), "Open skinned mesh...");
    EXPECT_EQ(open->GetKind(), wxITEM_NORMAL);
    EXPECT_FALSE(open->GetAccel()) << "labels carry no accelerators";

    EXPECT_TRUE(fileMenu->FindItemByPosition(1)->IsSeparator());

    wxMenuItem* exit = fileMenu->FindItemByPosition(2);
    EXPECT_EQ(exit->GetId(), 11);
    EXPECT_EQ(exit->GetItemLabel(), "E&xit");
    EXPECT_EQ(exit->GetKind(), wxITEM_NORMAL);
    EXPECT_FALSE(exit->GetAccel());
}

TEST_F(GuiTest, ViewIsTheFramesSunkenGLCanvas)
{
    EXPECT_EQ(m_view->GetParent(), m_frame);
    EXPECT_EQ(m_view->GetName(), "GLView");
    EXPECT_TRUE(m_view->HasFlag(wxSUNKEN_BORDER));
    EXPECT_TRUE(m_view->IsShownOnScreen());
}

TEST_F(GuiTest, MissingBinaryFileShowsTheLoadersErrorOnce)
{
    const std::string path = (startup().dataDirectory / "no-such-dir" / "missing.bin").string();
    m_frame->openFile(path);
    const std::vector<ErrorReport> expected = {
        {"Error reading skin", "Unable to open file '" + path + "' for reading."}};
    EXPECT_EQ(m_reports, expected);
}

TEST_F(GuiTest, UnsupportedFormatsShowNotSupportedErrors)
{
    const std::size_t typesBefore = m_view->animalTypes().size();
    m_frame->openFile("x.keys");
    m_frame->openFile("x.herd");
    m_frame->openFile("x.txt");
    const std::vector<ErrorReport> expected = {
        {"Error reading file", unsupported("Camera key", ".keys", "x.keys")},
        {"Error reading file", unsupported("Herd", ".herd", "x.herd")},
        {"Error reading file", unsupported("Text skin", ".txt", "x.txt")},
    };
    EXPECT_EQ(m_reports, expected);
    EXPECT_EQ(m_view->animalTypes().size(), typesBefore);
}

TEST_F(GuiTest, ExtensionsOtherThanTheLowerCaseThreeGoToTheBinaryLoader)
{
    const std::vector<std::string> paths = {"model.TXT", "model.Keys", "noext", "dir.with.dot/file", "x.bin"};
    for (const std::string& path : paths)
        m_frame->openFile(path);
    ASSERT_EQ(m_reports.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(m_reports[i].caption, "Error reading skin") << paths[i];
        EXPECT_EQ(m_reports[i].message, "Unable to open file '" + paths[i] + "' for reading.");
    }
}

TEST_F(GuiTest, ValidBinaryFileAddsOneAnimalTypeWithAllLevels)
{
    m_view->clear();
    ASSERT_TRUE(m_view->animalTypes().empty());

    m_frame->openFile(startup().validSkin.string());

    EXPECT_TRUE(m_reports.empty());
    ASSERT_EQ(m_view->animalTypes().size(), 1u);
    const AnimalType& type = *m_view->animalTypes()[0];
    EXPECT_EQ(type.name(), "herd-fine");
    ASSERT_EQ(type.levels.size(), 2u);
    EXPECT_EQ(type.levels[1]->name(), "herd-coarse");
    EXPECT_EQ(type.levels[0]->fileName(), startup().validSkin.string());
    EXPECT_EQ(type.directory, startup().dataDirectory);
    EXPECT_EQ(m_view->totalAnimalCount(), 0);
}

TEST_F(GuiTest, OpenCommandReplacesTheSceneAndKeepsLoadingAfterAFailure)
{
    m_view->clear();
    m_frame->openFile(startup().validSkin.string());
    ASSERT_EQ(m_view->animalTypes().size(), 1u);

    const std::string missing = (startup().dataDirectory / "gone.bin").string();
    m_frame->openSkinFiles({missing, startup().secondValidSkin.string()});

    const std::vector<ErrorReport> expected = {
        {"Error reading skin", "Unable to open file '" + missing + "' for reading."}};
    EXPECT_EQ(m_reports, expected);
    ASSERT_EQ(m_view->animalTypes().size(), 1u) << "the earlier scene must be replaced, not added to";
    EXPECT_EQ(m_view->animalTypes()[0]->name(), "second");

    m_frame->openSkinFiles({missing});
    EXPECT_TRUE(m_view->animalTypes().empty());
}

// Writes bytes into the test data directory and returns the path.
std::string writeData(const std::string& name, const std::string& bytes)
{
    const fs::path path = startup().dataDirectory / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST_F(GuiTest, TruncationFailsInTheFirstRecordAndIsSilentInTheSecond)
{
    const std::string first = fixtures::bytesOf({fixtures::quad("first", 2)});
    const std::string second = fixtures::bytesOf({fixtures::quad("second level", 2)});
    const std::string cutFirst = writeData("cut-first.bin", first.substr(0, first.size() - 40));
    const std::string cutSecond = writeData("cut-second.bin", first + second.substr(0, second.size() / 3));

    for (const bool throughDialog : {false, true}) {
        m_reports.clear();
        m_view->clear();
        if (throughDialog)
            m_frame->openSkinFiles({cutFirst, cutSecond});
        else {
            m_frame->openFile(cutFirst);
            m_frame->openFile(cutSecond);
        }
        const std::vector<ErrorReport> expected = {{"Error reading skin", "Caught exception reading file."}};
        EXPECT_EQ(m_reports, expected) << (throughDialog ? "open dialog" : "command line");
        ASSERT_EQ(m_view->animalTypes().size(), 1u);
        ASSERT_EQ(m_view->animalTypes()[0]->levels.size(), 1u);
        EXPECT_EQ(m_view->animalTypes()[0]->levels[0]->name(), "first");
    }
}

TEST_F(GuiTest, NestedNextSkinStaysWithItsLevel)
{
    SkinRecord body = fixtures::quad("body", 2);
    body.nextSkin = std::make_shared<SkinRecord>(fixtures::quad("shadow", 2));
    m_view->clear();
    m_frame->openFile(writeData("nested.bin", fixtures::bytesOf({body})));
    EXPECT_TRUE(m_reports.empty());
    ASSERT_EQ(m_view->animalTypes().size(), 1u);
    const AnimalType& type = *m_view->animalTypes()[0];
    ASSERT_EQ(type.levels.size(), 1u) << "the next skin is not a level";
    ASSERT_NE(type.levels[0]->nextSkin(), nullptr);
    EXPECT_EQ(type.levels[0]->nextSkin()->name(), "shadow");
}

TEST_F(GuiTest, ConsistencyFailuresShowTheirMessages)
{
    std::vector<std::pair<SkinRecord, std::string>> cases;
    {
        SkinRecord r = fixtures::quad("mean", 2);
        r.meanLighting.pop_back();
        cases.emplace_back(r, "Mean lighting data does not match vertex data; found 3 vertices in lighting data but "
                              "skin has 4 vertices.");
    }
    {
        SkinRecord r = fixtures::quad("rows", 2);
        r.lightingBasis.resize(5, 1);
        cases.emplace_back(r, "Lighting basis data does not match vertex data; found 5 vertices in lighting data "
                              "but skin has 4 vertices.");
    }
    {
        SkinRecord r = fixtures::quad("columns", 2);
        r.lightingBasis.resize(4, 3);
        cases.emplace_back(r, "Lighting basis data does not match lighting frames data; found 3 eigenvectors in "
                              "basis but only 1 coeffs in the frames matrix.");
    }
    {
        SkinRecord r = fixtures::quad("frames", 2);
        r.lightingCoordinates.resize(1, 1);
        cases.emplace_back(r, "Found 1 frames in lighting data  but animation has 2 frames.");
    }
    {
        SkinRecord r = fixtures::quad("bone", 2);
        r.influences[0][0].bone = 7;
        cases.emplace_back(r, "Vertex 0 is influenced by bone 7 but the skin has 2 bones.");
    }
    for (const auto& [record, message] : cases) {
        const std::string path = writeData(record.name + ".bin", fixtures::bytesOf({record}));
        for (const bool throughDialog : {false, true}) {
            m_reports.clear();
            m_view->clear();
            if (throughDialog)
                m_frame->openSkinFiles({path});
            else
                m_frame->openFile(path);
            const std::vector<ErrorReport> expected = {{"Error reading skin", message}};
            EXPECT_EQ(m_reports, expected) << record.name << (throughDialog ? " (open dialog)" : " (command line)");
            EXPECT_TRUE(m_view->animalTypes().empty());
        }
    }
}

TEST_F(GuiTest, ClearDropsEveryType)
{
    m_view->addSkin({}, startup().dataDirectory);
    m_view->addSkin({}, startup().dataDirectory);
    ASSERT_GE(m_view->animalTypes().size(), 2u);
    m_view->clear();
    EXPECT_TRUE(m_view->animalTypes().empty());
}

TEST_F(GuiTest, ExitDestroysItsFrame)
{
    auto* frame = new MyFrame(nullptr, "Exit test", wxPoint(0, 0), wxSize(300, 200), wxDEFAULT_FRAME_STYLE);
    frame->Show(true);
    wxWeakRef<MyFrame> alive(frame);

    wxCommandEvent exit(wxEVT_MENU, MyFrame::kExitId);
    exit.SetEventObject(frame);
    frame->ProcessWindowEvent(exit);

    EXPECT_TRUE(pumpUntil([&] { return !alive; })) << "the frame outlived its Exit command";
    EXPECT_EQ(mainFrame(), m_frame) << "closing another frame must leave the main frame alone";
}

TEST_F(GuiTest, ErrorLogVariableRecordsOneEscapedLinePerReport)
{
    const fs::path logPath = startup().dataDirectory / "errors.log";
    fs::remove(logPath);
    ErrorBoxHook testHook = setErrorBoxHook({});
    ASSERT_EQ(setenv("FLEXHERD_ERROR_LOG", logPath.c_str(), 1), 0);
    showErrorBox("Error reading file", "plain", m_frame);
    showErrorBox("Tab\there", "two\nlines \\ end", nullptr);
    unsetenv("FLEXHERD_ERROR_LOG");
    setErrorBoxHook(testHook);

    std::ifstream in(logPath, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "Error reading file\tplain\nTab\\there\ttwo\\nlines \\\\ end\n");
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(GuiTest, HookTakesPrecedenceOverTheErrorLog)
{
    const fs::path logPath = startup().dataDirectory / "unused.log";
    ASSERT_EQ(setenv("FLEXHERD_ERROR_LOG", logPath.c_str(), 1), 0);
    showErrorBox("Caption", "Message", m_frame);
    unsetenv("FLEXHERD_ERROR_LOG");

    const std::vector<ErrorReport> expected = {{"Caption", "Message"}};
    EXPECT_EQ(m_reports, expected);
    EXPECT_FALSE(fs::exists(logPath));
}

TEST_F(GuiTest, PaintClearsTheViewToLightGray)
{
    m_frame->Raise();
    wxGLContext* context = FlexherdApp::glContextFor(m_view);
    ASSERT_NE(context, nullptr) << "no OpenGL context for the view";
    ASSERT_TRUE(pumpUntil([&] { return m_view->IsShownOnScreen() && m_view->SetCurrent(*context); }));

    const wxSize size = m_view->GetClientSize() * m_view->GetContentScaleFactor();
    ASSERT_GT(size.x, 2);
    ASSERT_GT(size.y, 2);

    // Paint something else first so a stale gray cannot pass for the view's own clear.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    m_view->render();

    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (const wxPoint at : {wxPoint(1, 1), wxPoint(size.x / 2, size.y / 2), wxPoint(size.x - 2, size.y - 2)}) {
        glReadPixels(at.x, at.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        // 0.75 of 255, rounded by the driver to 191 or 192.
        EXPECT_NEAR(pixel[0], 191, 1) << "at " << at.x << "," << at.y;
        EXPECT_NEAR(pixel[1], 191, 1);
        EXPECT_NEAR(pixel[2], 191, 1);
    }

    // The paint handler itself, end to end: after a real paint the window on the X server
    // shows the gray, as a screenshot would.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    m_view->SwapBuffers();
    pumpFor(std::chrono::milliseconds(100));
    ASSERT_NE(windowPixel(m_view, size.x / 2, size.y / 2), 0xbfbfbfu) << "the red frame did not reach the screen";
    m_view->Refresh(false);
    m_view->Update();
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(windowPixel(m_view, size.x / 2, size.y / 2), 0xbfbfbfu);
    EXPECT_EQ(windowPixel(m_view, 2, size.y - 3), 0xbfbfbfu);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::cerr << "test_app_gui: FAILED: no X display (DISPLAY is not set). Run it under xvfb-run, "
                     "or through ctest, which wraps it in xvfb-run when that is installed.\n";
        return 1;
    }

    StartupState& state = startup();
    state.dataDirectory = fs::temp_directory_path() / ("flexherd-test-app-gui-" + std::to_string(getpid()));
    fs::remove_all(state.dataDirectory);
    fs::create_directories(state.dataDirectory);
    state.validSkin = state.dataDirectory / "herd.bin";
    state.secondValidSkin = state.dataDirectory / "second.bin";
    writeSkinFile(state.validSkin, {fixtures::quad("herd-fine"), fixtures::quad("herd-coarse", 2)});
    writeSkinFile(state.secondValidSkin, {fixtures::grid("second", 2, 2)});

    // The program's own command line: failures of every kind, then a file that must still load.
    state.arguments = {argv[0],
        (state.dataDirectory / "missing.bin").string(),
        (state.dataDirectory / "walk.keys").string(),
        (state.dataDirectory / "cows.herd").string(),
        (state.dataDirectory / "horse.txt").string(),
        state.validSkin.string()};
    std::vector<char*> wxArgv;
    for (std::string& argument : state.arguments)
        wxArgv.push_back(argument.data());
    wxArgv.push_back(nullptr);
    int wxArgc = static_cast<int>(state.arguments.size());

    setErrorBoxHook([&state](const std::string& caption, const std::string& message) {
        state.reports.push_back({caption, message});
    });
    wxApp::SetInstance(new FlexherdApp);
    if (!wxEntryStart(wxArgc, wxArgv.data())) {
        std::cerr << "test_app_gui: FAILED: wxWidgets could not start on display '" << display << "'.\n";
        return 1;
    }
    const bool started = wxTheApp->CallOnInit();
    setErrorBoxHook({});
    if (!started) {
        std::cerr << "test_app_gui: FAILED: FlexherdApp::OnInit returned false.\n";
        wxEntryCleanup();
        return 1;
    }
    // Let the frame map and paint before the tests look at it.
    pumpUntil([] { return mainFrame() && mainFrame()->view()->IsShownOnScreen(); });

    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    fs::remove_all(state.dataDirectory);
    return result;
}
