// The viewer's windows under a real X display (Xvfb with llvmpipe in CI). One wx application
// lives for the whole process, started by main() with files on its command line exactly like
// the program, so OnInit is exercised too; the tests then drive its frame and extra frames.
// Without a display the executable fails: a GUI suite that silently skips would hide regressions.

#include "GuiTestSupport.h"

#include "app/ViewerMemory.h"

#include "app/FlexherdApp.h"
#include "app/InitialFrameSize.h"
#include "app/MenuIds.h"
#include "skin/BinarySkinWriter.h"

#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include <wx/display.h>
#include <wx/glcanvas.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <GL/glew.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

// Last: Xlib defines macros (None, Status, Success) that would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;

namespace {

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

std::string unopenableTextSkin(const std::string& path)
{
    return "Unable to open skin file '" + path + "'.";
}

std::string unopenable(const std::string& path)
{
    return "Unable to open file '" + path + "' for reading.";
}

// The names of the herds in load order.
std::vector<std::string> herdNames(GLView* view)
{
    std::vector<std::string> names;
    for (const auto& herd : view->core().herds()) names.push_back(herd->skin()->name());
    return names;
}

// Every animal of every herd, herd by herd.
std::vector<std::vector<HerdInstance>> animalsOf(GLView* view)
{
    std::vector<std::vector<HerdInstance>> animals;
    for (const auto& herd : view->core().herds()) {
        animals.emplace_back();
        for (unsigned i = 0; i < herd->instanceCount(); ++i) animals.back().push_back(herd->instance(i));
    }
    return animals;
}

} // namespace

TEST(StartupTest, ReportsEachFailingArgumentInOrderAndLoadsTheRest)
{
    const fs::path& dir = startup().dataDirectory;
    const std::vector<ErrorReport> expected = {
        {"Error reading skin", unopenable((dir / "missing.bin").string())},
        {"Error reading file", "Error opening keys file '" + (dir / "walk.keys").string() + "' for reading."},
        {"Error reading file", unopenable((dir / "cows.herd").string()) + "\n"},
        {"Error reading skin", unopenableTextSkin((dir / "horse.txt").string())},
    };
    EXPECT_EQ(startup().reports, expected);
}

TEST(StartupTest, OneSkinOnTheCommandLineShowsTenAnimalsOfIt)
{
    // Recorded by main() right after OnInit, before any test changed the scene.
    EXPECT_EQ(startup().herdNames, std::vector<std::string>{"herd-fine"});
    EXPECT_EQ(startup().animals, 10u);
    EXPECT_EQ(startup().animalsRow, std::make_pair(std::string("animals"), std::string("10 (10 herd-fines)")));
    // One renderer pair per level of the two-level file, no shadows.
    EXPECT_EQ(startup().hardwareRenderers, 2u);
    EXPECT_EQ(startup().softwareRenderers, 2u);
    EXPECT_EQ(startup().allRenderers, 4u);
    EXPECT_EQ(startup().paintReports, 0u) << "the first paints reported errors (see the standard error)";
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

    // The interactive start remembers, in the XDG configuration directory main() named; the
    // file of the command line that loaded is the first recent file (those that failed are not
    // recent files).
    ASSERT_NE(frame->memory(), nullptr);
    EXPECT_EQ(frame->memory()->path(), (startup().dataDirectory / "config" / "flexherd" / "flexherd.conf").string());
    EXPECT_EQ(startup().firstRecentFile, startup().validSkin.string());
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
    m_frame->files().openFile(path);
    const std::vector<ErrorReport> expected = {{"Error reading skin", unopenable(path)}};
    EXPECT_EQ(m_reports, expected);
}

TEST_F(GuiTest, MissingKeysHerdAndTextSkinFilesAreReported)
{
    const std::vector<std::string> before = herdNames(m_view);
    m_frame->files().openFile("x.keys");
    m_frame->files().openFile("x.herd");
    m_frame->files().openFile("x.txt");
    const std::vector<ErrorReport> expected = {
        {"Error reading file", "Error opening keys file 'x.keys' for reading."},
        {"Error reading file", unopenable("x.herd") + "\n"},
        {"Error reading skin", unopenableTextSkin("x.txt")},
    };
    EXPECT_EQ(m_reports, expected);
    EXPECT_EQ(herdNames(m_view), before) << "a herd file that cannot be opened leaves the scene alone";
}

TEST_F(GuiTest, HerdFilesLoadTheirSkinsAndPlacements)
{
    clearScene();
    m_frame->files().openFile(startup().validSkin.string());
    m_frame->files().openFile(startup().secondValidSkin.string());
    m_core->setAnimalCount(7);
    ASSERT_EQ(m_core->totalAnimalCount(), 7u);
    const std::vector<std::vector<HerdInstance>> saved = animalsOf(m_view);
    const std::string herdPath = (startup().dataDirectory / "saved.herd").string();
    m_core->saveHerd(herdPath);

    clearScene();
    m_frame->files().openFile(herdPath);
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().caption << ": " << m_reports.front().message;
    EXPECT_EQ(herdNames(m_view), (std::vector<std::string>{"herd-fine", "second"}));
    EXPECT_EQ(m_core->totalAnimalCount(), 7u);
    // Every animal at its frame and place (the file holds eight significant digits).
    const std::vector<std::vector<HerdInstance>> loaded = animalsOf(m_view);
    ASSERT_EQ(loaded.size(), saved.size());
    for (std::size_t h = 0; h < saved.size(); ++h) {
        ASSERT_EQ(loaded[h].size(), saved[h].size()) << "herd " << h;
        for (std::size_t i = 0; i < saved[h].size(); ++i) {
            EXPECT_EQ(loaded[h][i].frame, saved[h][i].frame) << "herd " << h << " animal " << i;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(loaded[h][i].transform(r, c), saved[h][i].transform(r, c),
                                1e-6f * (1.0f + std::fabs(saved[h][i].transform(r, c))))
                        << "herd " << h << " animal " << i << " element " << r << "," << c;
        }
    }
    // Renderers come with the herds: three levels in all, and the band of the herd whose
    // coarsest level has triangles enough to simplify.
    unsigned bands = 0;
    for (const auto& herd : m_core->herds()) bands += herd->band() ? 1u : 0u;
    EXPECT_EQ(bands, 1u);
    EXPECT_EQ(m_view->frameRenderer().renderers().hardware().size(), 3u + bands);
    EXPECT_EQ(m_view->frameRenderer().renderers().software().size(), 3u + bands);
}

TEST_F(GuiTest, ExtensionsOtherThanTheLowerCaseThreeGoToTheBinaryLoader)
{
    const std::vector<std::string> paths = {"model.TXT", "model.Keys", "noext", "dir.with.dot/file", "x.bin"};
    for (const std::string& path : paths)
        m_frame->files().openFile(path);
    ASSERT_EQ(m_reports.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(m_reports[i].caption, "Error reading skin") << paths[i];
        EXPECT_EQ(m_reports[i].message, unopenable(paths[i]));
    }
}

TEST_F(GuiTest, ValidBinaryFileAddsOneHerdWithAllLevels)
{
    clearScene();
    ASSERT_TRUE(m_core->herds().empty());

    m_frame->files().openFile(startup().validSkin.string());

    EXPECT_TRUE(m_reports.empty());
    ASSERT_EQ(herdNames(m_view), std::vector<std::string>{"herd-fine"});
    const auto levels = m_core->herds()[0]->levels();
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[1]->skin()->name(), "herd-coarse");
    EXPECT_EQ(levels[0]->skin()->fileName(), startup().validSkin.string());
    // openFile alone does not top the count up; the open command and start-up do.
    EXPECT_EQ(m_core->totalAnimalCount(), 0u);
}

TEST_F(GuiTest, OpenCommandReplacesTheSceneAndKeepsLoadingAfterAFailure)
{
    clearScene();
    m_frame->files().openFile(startup().validSkin.string());
    ASSERT_EQ(m_core->herds().size(), 1u);

    const std::string missing = (startup().dataDirectory / "gone.bin").string();
    m_frame->files().openSkinFiles({missing, startup().secondValidSkin.string()});

    const std::vector<ErrorReport> expected = {{"Error reading skin", unopenable(missing)}};
    EXPECT_EQ(m_reports, expected);
    EXPECT_EQ(herdNames(m_view), std::vector<std::string>{"second"}) << "the earlier scene must be replaced";
    EXPECT_EQ(m_core->totalAnimalCount(), 10u);

    m_frame->files().openSkinFiles({missing});
    EXPECT_TRUE(m_core->herds().empty());
    EXPECT_TRUE(m_view->frameRenderer().renderers().all().empty());
}

TEST_F(GuiTest, TruncationFailsInTheFirstRecordAndIsSilentInTheSecond)
{
    const std::string first = fixtures::bytesOf({fixtures::quad("first", 2)});
    const std::string second = fixtures::bytesOf({fixtures::quad("second level", 2)});
    const std::string cutFirst = writeData("cut-first.bin", first.substr(0, first.size() - 40));
    const std::string cutSecond = writeData("cut-second.bin", first + second.substr(0, second.size() / 3));

    for (const bool throughDialog : {false, true}) {
        m_reports.clear();
        clearScene();
        if (throughDialog)
            m_frame->files().openSkinFiles({cutFirst, cutSecond});
        else {
            m_frame->files().openFile(cutFirst);
            m_frame->files().openFile(cutSecond);
        }
        const std::vector<ErrorReport> expected = {{"Error reading skin", "Caught exception reading file."}};
        EXPECT_EQ(m_reports, expected) << (throughDialog ? "open dialog" : "command line");
        ASSERT_EQ(herdNames(m_view), std::vector<std::string>{"first"});
        EXPECT_EQ(m_core->herds()[0]->levelCount(), 1u);
    }
}

TEST_F(GuiTest, UnreadableTextureIsReportedWhenTheSkinIsOpened)
{
    SkinRecord record = fixtures::quad("bald", 2);
    record.textureFileName = "no-such-texture.png";
    clearScene();
    const std::string path = writeData("bald.bin", fixtures::bytesOf({record}));
    m_frame->files().openFile(path);
    const std::vector<ErrorReport> expected = {
        {"Error reading file",
         "Unable to load image '" + (startup().dataDirectory / "no-such-texture.png").string() + "'."}};
    EXPECT_EQ(m_reports, expected);
    // The herd made before the failure stays, without renderers.
    EXPECT_EQ(herdNames(m_view), std::vector<std::string>{"bald"});
    EXPECT_TRUE(m_view->frameRenderer().renderers().all().empty());
}

TEST_F(GuiTest, NextSkinGetsAShadowRendererOverItsLevel)
{
    SkinRecord body = fixtures::quad("body", 2);
    body.nextSkin = std::make_shared<SkinRecord>(fixtures::quad("shadow", 2));
    clearScene();
    m_frame->files().openFile(writeData("nested.bin", fixtures::bytesOf({body, fixtures::quad("plain", 2)})));
    EXPECT_TRUE(m_reports.empty());
    ASSERT_EQ(herdNames(m_view), std::vector<std::string>{"body"});
    const auto levels = m_core->herds()[0]->levels();
    ASSERT_EQ(levels.size(), 2u) << "the next skin is not a level";
    ASSERT_EQ(m_view->frameRenderer().renderers().shadow().size(), 1u);
    const auto& shadow = m_view->frameRenderer().renderers().shadow()[0];
    EXPECT_TRUE(shadow->blendedOverlay());
    EXPECT_EQ(shadow->herd()->skin()->name(), "shadow");
    EXPECT_EQ(shadow->detailLevel(), 0);
    // The shadow shows the level's animals.
    m_core->setAnimalCount(3);
    EXPECT_EQ(shadow->herd()->instanceCount(), levels[0]->instanceCount());
    EXPECT_EQ(m_view->frameRenderer().renderers().all().size(), 5u);
    EXPECT_FALSE(m_view->frameRenderer().renderers().hardware()[0]->blendedOverlay());
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
            clearScene();
            if (throughDialog)
                m_frame->files().openSkinFiles({path});
            else
                m_frame->files().openFile(path);
            const std::vector<ErrorReport> expected = {{"Error reading skin", message}};
            EXPECT_EQ(m_reports, expected) << record.name << (throughDialog ? " (open dialog)" : " (command line)");
            EXPECT_TRUE(m_core->herds().empty());
        }
    }
}

TEST_F(GuiTest, ClearDropsEveryHerdAndRenderer)
{
    m_frame->files().openFile(startup().validSkin.string());
    m_frame->files().openFile(startup().secondValidSkin.string());
    ASSERT_GE(m_core->herds().size(), 2u);
    clearScene();
    EXPECT_TRUE(m_core->herds().empty());
    EXPECT_EQ(m_core->scene().collection()->size(), 0u);
    EXPECT_TRUE(m_view->frameRenderer().renderers().hardware().empty());
    EXPECT_TRUE(m_view->frameRenderer().renderers().software().empty());
    EXPECT_TRUE(m_view->frameRenderer().renderers().shadow().empty());
    EXPECT_TRUE(m_view->frameRenderer().renderers().all().empty());
}

TEST_F(GuiTest, ExitDestroysItsFrame)
{
    auto* frame = new MyFrame(nullptr, "Exit test", wxPoint(0, 0), wxSize(300, 200), wxDEFAULT_FRAME_STYLE, *dynamic_cast<FlexherdApp*>(wxTheApp));
    frame->Show(true);
    wxWeakRef<MyFrame> alive(frame);

    wxCommandEvent exit(wxEVT_MENU, kExitId);
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

TEST_F(GuiTest, PaintHandlerPutsTheFrameOnScreen)
{
    clearScene();
    m_frame->Raise();
    ASSERT_TRUE(pumpUntil([&] { return m_view->makeCurrent(); }));
    const wxSize size = m_view->clientSize();
    ASSERT_GT(size.x, 2);
    ASSERT_GT(size.y, 2);

    // Above the horizon the light gray background (60 of 255) shows once a paint is on screen.
    // The waits end as soon as the server holds the pixel; they only give up after the limit.
    const auto showsAtTheTop = [&](unsigned long rgb) {
        return pumpUntil([&] { return windowPixel(m_view, size.x / 2, 2) == rgb; });
    };
    m_view->Refresh(false);
    ASSERT_TRUE(showsAtTheTop(0x3c3c3cu)) << "no paint reached the screen";
    // A red frame, so that the earlier picture cannot pass for the next paint's own.
    ASSERT_TRUE(m_view->makeCurrent());
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    m_view->SwapBuffers();
    ASSERT_TRUE(showsAtTheTop(0xff0000u)) << "the red frame did not reach the screen";
    m_view->Refresh(false);
    m_view->Update();
    EXPECT_TRUE(showsAtTheTop(0x3c3c3cu)) << "the paint handler did not put its frame on screen";
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
    const TempDirectory scratch("app-gui");
    state.dataDirectory = scratch.path();
    // The viewer remembers recent files in the XDG configuration directory: the test's own,
    // never the user's.
    setenv("XDG_CONFIG_HOME", (scratch.path() / "config").c_str(), 1);
    // The fixture records name the texture "coat.png"; a 2 x 2 binary PPM under that name serves,
    // since images are recognised by their content.
    std::ofstream(state.dataDirectory / "coat.png", std::ios::binary)
        << std::string("P6\n2 2\n255\n") << std::string(12, '\x90');
    state.validSkin = state.dataDirectory / "herd.bin";
    state.secondValidSkin = state.dataDirectory / "second.bin";
    writeSkinFile(state.validSkin, {fixtures::quad("herd-fine"), fixtures::quad("herd-coarse", 2)});
    writeSkinFile(state.secondValidSkin, {fixtures::grid("second", 2, 2)});

    // The sample animals, and their directory as the working directory so that the Sky
    // background finds its image there as the program would.
    state.samples = state.dataDirectory / "samples";
    fs::create_directories(state.samples);
    const std::string generate = std::string("'") + FLEXHERD_MKSAMPLE + "' '" + state.samples.string() + "' >/dev/null 2>&1";
    if (std::system(generate.c_str()) != 0 || !fs::exists(state.samples / "quadruped.bin")) {
        std::cerr << "test_app_gui: FAILED: flexherd-mksample could not write the sample animals.\n";
        return 1;
    }
    fs::current_path(state.samples);

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
    // A failed wx assertion would open a modal box and hang the suite until its timeout; it
    // fails the running test instead.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& function, const wxString& condition,
                          const wxString& message) {
        ADD_FAILURE_AT(file.utf8_str().data(), line)
            << "wx assertion failed in " << function << ": " << condition << " " << message;
    });
    // Messages the toolkit logs go to the standard error: a log window would open at exit
    // and wait for a click.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxApp::SetInstance(new FlexherdApp);
    if (!wxEntryStart(wxArgc, wxArgv.data())) {
        std::cerr << "test_app_gui: FAILED: wxWidgets could not start on display '" << display << "'.\n";
        return 1;
    }
    const bool started = wxTheApp->CallOnInit();
    const std::vector<ErrorReport> loadReports = state.reports;
    if (!started) {
        std::cerr << "test_app_gui: FAILED: FlexherdApp::OnInit returned false.\n";
        wxEntryCleanup();
        return 1;
    }
    if (MyFrame* frame = mainFrame()) {
        GLView* view = frame->view();
        for (const auto& herd : view->core().herds()) state.herdNames.push_back(herd->skin()->name());
        state.animals = view->core().totalAnimalCount();
        state.animalsRow = view->core().statisticsRows().at(2);
        if (frame->memory()) state.firstRecentFile = frame->memory()->recentFile(0);
    }
    // Let the frame map and paint before the tests look at it; the first paint makes the
    // renderers of the herds loaded before the window could take the GL context.
    pumpUntil([] { return mainFrame() && mainFrame()->view()->IsShownOnScreen(); });
    pumpUntil([] { return mainFrame()->view()->paintNow(); });
    if (MyFrame* frame = mainFrame()) {
        const HerdRenderers& renderers = frame->view()->frameRenderer().renderers();
        state.hardwareRenderers = renderers.hardware().size();
        state.softwareRenderers = renderers.software().size();
        state.allRenderers = renderers.all().size();
    }
    // The first paints must not fail; what they report would otherwise go unnoticed.
    setErrorBoxHook({});
    for (std::size_t i = loadReports.size(); i < state.reports.size(); ++i)
        std::cerr << "test_app_gui: start-up paint reported " << state.reports[i].caption << ": "
                  << state.reports[i].message << "\n";
    state.paintReports = state.reports.size() - loadReports.size();
    state.reports = loadReports;

    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
