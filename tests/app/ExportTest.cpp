// Image export, image sequences, the timedemo and the command-line settings, driven in-process
// on the main frame: exported files are read back and compared with what the window shows.

#include "GuiTestSupport.h"

#include "app/BatchOptions.h"
#include "app/BatchRun.h"
#include "app/MenuIds.h"
#include "camera/AttributeWithKeys.h"
#include "camera/Camera.h"
#include "camera/OrthoCamera.h"
#include "foundation/Exception.h"
#include "render/ExportNaming.h"

#include <wx/image.h>
#include <wx/menu.h>

#include <GL/glew.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// An RGB image with rows top to bottom, as files store them.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

Picture readPicture(const fs::path& path)
{
    wxImage image;
    Picture picture;
    if (!image.LoadFile(path.string(), wxBITMAP_TYPE_ANY)) return picture;
    picture.width = image.GetWidth();
    picture.height = image.GetHeight();
    picture.rgb.assign(image.GetData(), image.GetData() + static_cast<std::size_t>(picture.width) * picture.height * 3);
    return picture;
}

// The window's back buffer (rows bottom to top) turned upright.
Picture uprightFrameBuffer(const std::vector<unsigned char>& bottomUp, wxSize size)
{
    Picture picture{size.x, size.y, std::vector<unsigned char>(bottomUp.size())};
    const std::size_t row = static_cast<std::size_t>(size.x) * 3;
    for (int y = 0; y < size.y; ++y)
        std::copy_n(bottomUp.begin() + static_cast<std::ptrdiff_t>((size.y - 1 - y) * row), row,
                    picture.rgb.begin() + static_cast<std::ptrdiff_t>(y * row));
    return picture;
}

Picture mirroredLeftToRight(const Picture& p)
{
    Picture m = p;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c)
                m.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3 + c] =
                    p.rgb[(static_cast<std::size_t>(y) * p.width + (p.width - 1 - x)) * 3 + c];
    return m;
}

// Pixels whose channels differ by more than tolerance; every pixel when the sizes differ.
std::size_t differingPixels(const Picture& a, const Picture& b, int tolerance = 0)
{
    if (a.width != b.width || a.height != b.height) return std::max<std::size_t>(1, a.rgb.size() / 3);
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < a.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs(a.rgb[i + c] - b.rgb[i + c]) > tolerance) {
                ++count;
                break;
            }
    return count;
}

} // namespace

class ExportTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_directory = startup().dataDirectory / "export";
        fs::create_directories(m_directory);
        m_originalSize = m_frame->GetSize();
        m_originalViewSize = m_view->clientSize();
    }

    void TearDown() override
    {
        setViewSize(wxSize());
        GuiTest::TearDown();
    }

    // Sizes the frame so the view's client area is size (empty: the frame's first size).
    void setViewSize(wxSize size)
    {
        if (size == wxSize()) {
            if (m_frame->GetSize() == m_originalSize) return;
            m_frame->SetSize(m_originalSize);
            // The frame's size first, then the view's size event.
            pumpUntil([&] { return m_frame->GetSize() == m_originalSize && m_view->clientSize() == m_originalViewSize; });
            return;
        }
        const wxSize extra = m_frame->GetClientSize() - m_view->clientSize();
        m_frame->SetClientSize(size + extra);
        ASSERT_TRUE(pumpUntil([&] { return m_view->clientSize() == size; }))
            << "the view is " << m_view->clientSize().x << " x " << m_view->clientSize().y;
    }

    // Exports with GL's pack alignment at its default, so that the export must set its own.
    Picture exportPicture(int width, int height, const std::string& name)
    {
        EXPECT_TRUE(m_view->makeCurrent());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        const fs::path path = m_directory / name;
        m_view->exportImage(width, height, path.string());
        return readPicture(path);
    }

    // The menu command, as a click on its item sends it.
    void sendCommand(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(event);
    }

    fs::path m_directory;
    wxSize m_originalSize;
    wxSize m_originalViewSize;
};

TEST_F(ExportTest, WindowSizedExportIsOneTileShowingTheWindowUprightAndUnmirrored)
{
    loadSampleQuadruped(10);
    m_core->setShowStatistics(false);
    renderView();
    const wxSize size = m_view->clientSize();
    const Picture window = uprightFrameBuffer(frameBuffer(), size);

    const Picture exported = exportPicture(size.x, size.y, "window.png");
    ASSERT_EQ(exported.width, size.x);
    ASSERT_EQ(exported.height, size.y);
    // The window loads the camera's float matrix, the export the same volume through
    // glFrustum in double precision: a few edge pixels may round the other way.
    EXPECT_LT(differingPixels(exported, window, 2), exported.rgb.size() / 3 / 10000);
    // Upright: the light gray sky above, the ground below.
    EXPECT_EQ(exported.at(size.x / 2, 1), (Rgb{60, 60, 60}));
    EXPECT_NE(exported.at(size.x / 2, size.y - 2), (Rgb{60, 60, 60}));
    // The herd is not symmetric, so a mirrored picture would differ.
    ASSERT_GT(differingPixels(window, mirroredLeftToRight(window)), 100u);
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, TiledExportsEqualTheSamePictureDrawnInOnePiece)
{
    loadSampleQuadruped(10);
    for (const auto camera : {ViewerCore::CameraChoice::Perspective, ViewerCore::CameraChoice::Orthographic}) {
        SCOPED_TRACE(camera == ViewerCore::CameraChoice::Perspective ? "perspective" : "orthographic");
        m_core->useCamera(camera);
        setViewSize(wxSize());
        ASSERT_GE(m_view->clientSize().x, 999);
        ASSERT_GE(m_view->clientSize().y, 601);
        // Odd sizes: rows of 999 RGB pixels are not a multiple of four bytes long.
        const Picture whole = exportPicture(999, 601, "whole.png");

        setViewSize(wxSize(400, 300));
        // 999 = 400 + 400 + 199 across, 601 = 300 + 300 + 1 up: nine tiles.
        const Picture tiled = exportPicture(999, 601, "tiled.png");
        ASSERT_EQ(tiled.width, 999);
        ASSERT_EQ(tiled.height, 601);
        EXPECT_LT(differingPixels(tiled, whole, 8), 999u * 601u / 1000u) << "seams or misplaced tiles";
        // A background pixel in each corner tile keeps its place.
        EXPECT_EQ(tiled.at(0, 0), whole.at(0, 0));
        EXPECT_EQ(tiled.at(998, 0), whole.at(998, 0));

        // Two and a half window widths: three columns, the last one half as wide.
        setViewSize(wxSize(400, 601));
        const Picture columns = exportPicture(1000, 601, "columns.png");
        EXPECT_EQ(columns.width, 1000);
    }
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
}

// The ground is one quad far larger than the view. Clipped at the edges of each tile's
// viewport it could stop a pixel short, and the background would show through as a hairline
// down the seams between tiles.
TEST_F(ExportTest, NoBackgroundShowsThroughTheGroundAtTileSeams)
{
    loadSampleQuadruped(10);
    m_core->setShowStatistics(false);
    for (const wxSize window : {wxSize(400, 300), wxSize(457, 263)}) {
        setViewSize(window);
        const Picture picture = exportPicture(3001, 1999, "seams.png");
        ASSERT_EQ(picture.width, 3001);
        std::vector<int> columns;
        for (int x = 0; x < picture.width; ++x)
            for (int y = picture.height * 3 / 5; y < picture.height; ++y)
                if (picture.at(x, y) == (Rgb{60, 60, 60})) {
                    columns.push_back(x);
                    break;
                }
        EXPECT_TRUE(columns.empty()) << "background in the ground in " << columns.size() << " columns, the first at x = "
                                     << columns.front() << ", window " << window.x << " x " << window.y;
    }
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, OverlayIsLeftOutOfExportsAndBackOnScreenAfterwards)
{
    loadSampleQuadruped(3);
    const wxSize size = m_view->clientSize();
    m_core->setShowStatistics(false);
    const Picture plain = exportPicture(size.x, size.y, "plain.png");
    m_core->setShowStatistics(true);
    const Picture withOverlayOn = exportPicture(size.x, size.y, "overlay.png");
    EXPECT_EQ(differingPixels(withOverlayOn, plain), 0u) << "the statistics were drawn into the export";
    EXPECT_TRUE(m_core->showStatistics());

    renderView();
    const Picture screen = uprightFrameBuffer(frameBuffer(), size);
    EXPECT_GT(differingPixels(screen, plain), 50u) << "the overlay did not come back on screen";
}

// Tiles are drawn off screen: the window's back buffer, which another window may cover (and
// then holds undefined pixels where covered), is neither drawn into nor read from.
TEST_F(ExportTest, TilesAreDrawnOffScreenAndTheWindowsFramebufferIsBoundAgainAfterwards)
{
    loadSampleQuadruped(10);
    m_core->setShowStatistics(false);
    const wxSize size = m_view->clientSize();
    ASSERT_TRUE(m_view->makeCurrent());
    glClearColor(1.0f, 0.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const std::vector<unsigned char> before = frameBuffer();

    const Picture exported = exportPicture(size.x * 2, size.y, "offscreen.png");
    ASSERT_EQ(exported.width, size.x * 2);
    EXPECT_NE(exported.at(size.x / 2, 1), (Rgb{255, 0, 255})) << "the export read back the window's clear colour";

    ASSERT_TRUE(m_view->makeCurrent());
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(frameBuffer(), before) << "the tiles were drawn into the window";
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, WriteIntoAMissingDirectoryIsReportedAndTheViewPaintsNormally)
{
    loadSampleQuadruped(3);
    // Without the overlay, whose frame rate changes from paint to paint.
    m_core->setShowStatistics(false);
    renderView();
    const std::vector<unsigned char> before = frameBuffer();
    m_core->setShowStatistics(true);
    const std::string path = (m_directory / "no-such-dir" / "x.png").string();
    EXPECT_FALSE(m_frame->exports().exportImageTo(path, 320, 200));
    const std::vector<ErrorReport> expected = {{"Error writing image", "Unable to write to image '" + path + "'."}};
    EXPECT_EQ(m_reports, expected);
    EXPECT_FALSE(fs::exists(m_directory / "no-such-dir")) << "the writer makes no directories";
    EXPECT_TRUE(m_core->showStatistics());

    // The next paint restores the window's aspect ratio and viewport.
    m_core->setShowStatistics(false);
    renderView();
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], m_view->clientSize().x);
    EXPECT_EQ(viewport[3], m_view->clientSize().y);
    EXPECT_EQ(frameBuffer(), before);

    // A format the toolkit does not know fails the same way, and leaves an older file alone.
    const fs::path kept = m_directory / "kept.xyz";
    std::ofstream(kept) << "old";
    EXPECT_FALSE(m_frame->exports().exportImageTo(kept.string(), 10, 10));
    EXPECT_EQ(fs::file_size(kept), 3u);
}

TEST_F(ExportTest, SizesOutOfRangeAndTooManyTilesAreRefusedBeforeDrawing)
{
    const std::string path = (m_directory / "refused.png").string();
    for (const auto& [width, height] : {std::pair{0, 10}, std::pair{10, 20000}, std::pair{-5, 5}}) {
        try {
            m_view->exportImage(width, height, path);
            ADD_FAILURE() << width << " x " << height << " was exported";
        } catch (const IOException& e) {
            EXPECT_EQ(e.message(), "Unable to write to image '" + path + "': " + std::to_string(width) + " x " +
                                       std::to_string(height) + " pixels is not a size from 1 x 1 to 19999 x 19999.");
        }
    }
    // 19999 x 19999 in tiles of 400 x 20 pixels would be 50,000 paints.
    setViewSize(wxSize(400, 20));
    try {
        m_view->exportImage(19999, 19999, path);
        ADD_FAILURE() << "50,000 tiles were drawn";
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Unable to write to image '" + path +
                                   "': the window is too small to draw 19999 x 19999 pixels in tiles.");
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(m_core->showStatistics());
}

TEST_F(ExportTest, SequenceFramesAreNumberedBeforeTheLastDotAndFollowTheAnimation)
{
    loadSampleQuadruped(5);
    const fs::path shots = m_directory / "shots";
    fs::remove_all(shots);
    fs::create_directories(shots);
    const ExportCommands::SequenceExport outcome = m_frame->exports().exportImageSequenceTo((shots / "run.final.png").string(), 64, 48, 3);
    EXPECT_EQ(outcome.written, 3);
    EXPECT_FALSE(outcome.failed);
    EXPECT_FALSE(outcome.cancelled);
    std::vector<Picture> frames;
    for (const char* name : {"run.final.0000.png", "run.final.0001.png", "run.final.0002.png"}) {
        frames.push_back(readPicture(shots / name));
        EXPECT_EQ(frames.back().width, 64) << name;
        EXPECT_EQ(frames.back().height, 48) << name;
    }
    EXPECT_FALSE(fs::exists(shots / "run.final.png"));
    EXPECT_FALSE(fs::exists(shots / "run.0000.final.png"));
    EXPECT_EQ(m_core->currentFrame(), 2) << "the animation stays at the last frame exported";
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, CancellingASequenceKeepsTheFramesWritten)
{
    loadSampleQuadruped(2);
    const fs::path dir = m_directory / "cancel";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<std::pair<int, int>> calls;
    const ExportCommands::SequenceExport outcome = m_frame->exports().exportImageSequenceTo((dir / "c.png").string(), 32, 32, 5,
        [&](int done, int total) {
            calls.emplace_back(done, total);
            return done < 2;
        });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.written, 2);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 5}, {2, 5}}));
    EXPECT_TRUE(fs::exists(dir / "c.0000.png"));
    EXPECT_TRUE(fs::exists(dir / "c.0001.png"));
    EXPECT_FALSE(fs::exists(dir / "c.0002.png"));
}

TEST_F(ExportTest, SequenceNameWithoutADotWritesNothing)
{
    const fs::path dir = m_directory / "nodot.d";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "frames").string();
    const ExportCommands::SequenceExport outcome = m_frame->exports().exportImageSequenceTo(path, 16, 16, 2);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.written, 0);
    const std::vector<ErrorReport> expected = {{"Error writing image", "Invalid filename: " + path}};
    EXPECT_EQ(m_reports, expected);
    EXPECT_TRUE(fs::is_empty(dir));
}

// The prompts of the three commands as a user meets them: what each shows first, which
// answers are asked again (pre-filled with what was read), and Cancel at any of them.
TEST_F(ExportTest, ExportImagePromptsForAPathThenASizeInRange)
{
    loadSampleQuadruped(3);
    using Shown = ScriptedDialogs::Shown;
    const std::string kFilter = "PNG Files(*.png)|*.png|All files(*.*)|*.*";
    const Shown file{"file", "Export image", kFilter, "save"};
    const auto width = [](const std::string& preset) {
        return Shown{"text", "Width of image to export", "Width of image", preset};
    };
    const auto height = [](const std::string& preset) {
        return Shown{"text", "Height of image to export", "Height of image", preset};
    };
    const std::string path = (m_directory / "prompted.png").string();
    {
        // Widths of 0 and 20000 and text without digits (read as 0) are asked again; the number
        // the text starts with counts.
        ScriptedDialogs dialogs({path, "0", "many", "20000", " 48 px", "-2", "32"});
        sendCommand(kExportImageId);
        const std::vector<Shown> expected = {file, width("1440"), width("0"), width("0"), width("20000"),
                                             height("960"), height("-2")};
        EXPECT_EQ(dialogs.shown, expected);
        EXPECT_EQ(dialogs.unexpected, 0);
        const Picture written = readPicture(path);
        EXPECT_EQ(written.width, 48);
        EXPECT_EQ(written.height, 32);
        EXPECT_TRUE(m_reports.empty());
    }
    {
        // 19999 is the largest side taken.
        ScriptedDialogs dialogs({(m_directory / "wide.png").string(), "19999", "1"});
        sendCommand(kExportImageId);
        EXPECT_EQ(dialogs.shown.size(), 3u);
        EXPECT_EQ(readPicture(m_directory / "wide.png").width, 19999);
    }
    // Cancel at any prompt abandons the command, writing nothing.
    const std::string cancelled = (m_directory / "cancelled.png").string();
    for (std::size_t at = 0; at < 3; ++at) {
        std::vector<std::string> answers = {cancelled, "48", "32"};
        answers[at] = ScriptedDialogs::kCancel;
        ScriptedDialogs dialogs(answers);
        sendCommand(kExportImageId);
        EXPECT_EQ(dialogs.shown.size(), at + 1) << "cancelled at prompt " << at;
        EXPECT_FALSE(fs::exists(cancelled)) << "cancelled at prompt " << at;
    }
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, SequencePromptsProposeTheKeyFramesAndEndWithAMessage)
{
    CameraKeysRestorer restorer(*m_core);
    loadSampleQuadruped(3);
    using Shown = ScriptedDialogs::Shown;
    const fs::path dir = m_directory / "prompted-sequence";
    fs::create_directories(dir);
    const std::string path = (dir / "shot.png").string();
    {
        // Without camera keys the frame count proposed is 0, which is not taken.
        ASSERT_EQ(m_core->keyFrameCount(), 0);
        ScriptedDialogs dialogs({path, "16", "12", "0", ScriptedDialogs::kCancel});
        sendCommand(kExportImageSequenceId);
        const std::vector<Shown> expected = {
            {"file", "Export image sequence", "PNG Files(*.png)|*.png|All files(*.*)|*.*", "save"},
            {"text", "Width of image to export", "Width of image", "720"},
            {"text", "Height of image to export", "Height of image", "480"},
            {"text", "Number of frames to export", "Number of frames", "0"},
            {"text", "Number of frames to export", "Number of frames", "0"}};
        EXPECT_EQ(dialogs.shown, expected);
        EXPECT_TRUE(fs::is_empty(dir));
    }
    {
        // Keys up to frame 3 propose three frames; two are asked for, then the closing message.
        m_core->currentAttributes().front()->setKeys({{0.0f, 1.0f}, {3.0f, 2.0f}});
        ASSERT_EQ(m_core->keyFrameCount(), 3);
        ScriptedDialogs dialogs({path, "16", "12", "2", ScriptedDialogs::kOk});
        sendCommand(kExportImageSequenceId);
        ASSERT_EQ(dialogs.shown.size(), 5u);
        EXPECT_EQ(dialogs.shown[3], (Shown{"text", "Number of frames to export", "Number of frames", "3"}));
        EXPECT_EQ(dialogs.shown[4], (Shown{"message", "Image export complete.", "Image export", "ok"}));
        EXPECT_EQ(dialogs.unexpected, 0);
        for (const char* name : {"shot.0000.png", "shot.0001.png"}) {
            const Picture frame = readPicture(dir / name);
            EXPECT_EQ(frame.width, 16) << name;
            EXPECT_EQ(frame.height, 12) << name;
        }
        EXPECT_FALSE(fs::exists(dir / "shot.0002.png"));
        EXPECT_EQ(m_core->currentFrame(), 1) << "the animation stays at the last frame written";
    }
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, TimedemoAsksBeforeItRunsAndShowsItsReport)
{
    CameraKeysRestorer restorer(*m_core);
    loadSampleQuadruped(3);
    m_core->currentAttributes().front()->setKeys({{0.0f, 1.0f}, {3.0f, 2.0f}});
    m_core->setFrame(9);
    const ScriptedDialogs::Shown ready{"message", "Run timedemo", "Press OK when ready", "ok/cancel"};
    {
        ScriptedDialogs dialogs({ScriptedDialogs::kCancel});
        sendCommand(kTimedemoId);
        EXPECT_EQ(dialogs.shown, std::vector<ScriptedDialogs::Shown>{ready});
        EXPECT_EQ(m_core->currentFrame(), 9) << "cancelled: nothing played";
    }
    {
        ScriptedDialogs dialogs({ScriptedDialogs::kOk, ScriptedDialogs::kOk});
        sendCommand(kTimedemoId);
        ASSERT_EQ(dialogs.shown.size(), 2u);
        EXPECT_EQ(dialogs.shown[0], ready);
        EXPECT_EQ(dialogs.shown[1].title, "Timedemo results");
        EXPECT_EQ(dialogs.shown[1].text.rfind("timedemo complete.\n\tframes:\t3\n\ttotal time:\t", 0), 0u)
            << dialogs.shown[1].text;
        EXPECT_EQ(m_core->currentFrame(), 2) << "the last key frame shown";
    }
    EXPECT_TRUE(m_reports.empty());
}

TEST_F(ExportTest, TimedemoPlaysEveryKeyFrameAndStopsWhenCancelled)
{
    CameraKeysRestorer restorer(*m_core);
    loadSampleQuadruped(3);
    // Without keys the command says so instead of dividing by zero.
    wxCommandEvent command(wxEVT_MENU, kTimedemoId);
    command.SetEventObject(m_frame);
    m_frame->ProcessWindowEvent(command);
    const std::vector<ErrorReport> expected = {
        {"Run timedemo", "There is no camera animation to play. Load a camera keys file first."}};
    EXPECT_EQ(m_reports, expected);

    // Keys up to frame 40: more frames than the 30 stamps the frame rate keeps, and few enough to
    // paint quickly.
    m_core->currentAttributes().front()->setKeys({{0.0f, 1.0f}, {40.0f, 2.0f}});
    const int frames = m_core->keyFrameCount();
    ASSERT_EQ(frames, 40);
    m_core->frameMeasures().stamps.clear();
    const TimedemoResult result = runTimedemo(*m_core, [&] { m_view->paintNow(); });
    EXPECT_EQ(result.frames, frames);
    EXPECT_EQ(result.framesDrawn, frames);
    EXPECT_FALSE(result.cancelled);
    EXPECT_GT(result.seconds, 0.0);
    EXPECT_EQ(m_core->currentFrame(), frames - 1);
    EXPECT_EQ(m_core->frameMeasures().stamps.size(), std::min<std::size_t>(frames, 30)) << "every frame is painted";

    const TimedemoResult cancelled = runTimedemo(*m_core, [&] { m_view->paintNow(); }, [](int done, int) { return done < 4; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.framesDrawn, 4);
    EXPECT_EQ(m_core->currentFrame(), 3);
}

TEST_F(ExportTest, CommandLineSettingsCheckTheMenuItemsAUserWould)
{
    ASSERT_TRUE(chooseMenuItem(*m_frame, kUseVertexProgramId, true));
    ASSERT_TRUE(chooseMenuItem(*m_frame, kDisplayListsId, true));
    ASSERT_EQ(m_frame->renderMethod(), RenderMethod::DisplayLists);

    applyStartupChoices(*m_frame, parseCommandLine({"--software"}).options);
    EXPECT_FALSE(m_frame->useVertexProgram());
    // Display lists are for hardware skinning only: the menus' own rule moves the method on,
    // as it would for a user.
    EXPECT_EQ(m_frame->renderMethod(), RenderMethod::VertexBufferObjects);
    EXPECT_FALSE(m_frame->menuItem(kDisplayListsId)->IsEnabled());
    EXPECT_FALSE(m_frame->menuItem(kShowVertexProgramId)->IsEnabled());

    const CommandLine line = parseCommandLine({"--method", "arrays", "--lighting", "opengl", "--geometry", "points",
        "--lod", "aggressive", "--camera", "orthographic", "--background", "blue", "--no-shadows", "--no-ground",
        "--stopped"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run);
    applyStartupChoices(*m_frame, line.options);
    EXPECT_EQ(m_frame->renderMethod(), RenderMethod::VertexArrays);
    EXPECT_EQ(m_frame->lightingMode(), LightingMode::OpenGL);
    EXPECT_EQ(m_frame->geometryMode(), GeometryMode::Points);
    EXPECT_EQ(m_frame->detailMode(), DetailMode::Aggressive);
    EXPECT_EQ(&m_core->currentCamera(), m_core->orthoCamera().get());
    EXPECT_EQ(m_frame->backgroundMode(), BackgroundMode::Blue);
    EXPECT_FALSE(m_frame->shadows());
    EXPECT_FALSE(m_frame->groundPlane());
    EXPECT_FALSE(m_frame->running());
    EXPECT_TRUE(m_reports.empty());

    // A user cannot click a disabled item, and neither can the command line.
    applyStartupChoices(*m_frame, parseCommandLine({"--method", "lists"}).options);
    EXPECT_EQ(m_frame->renderMethod(), RenderMethod::VertexArrays);
    const std::vector<ErrorReport> expected = {{"Invalid option",
        "The menu item \"Display lists\" is disabled by the other settings, so it cannot be chosen."}};
    EXPECT_EQ(m_reports, expected);

    chooseMenuItem(*m_frame, kUseVertexProgramId, true);
    chooseMenuItem(*m_frame, kDisplayListsId, true);
    m_core->useCamera(ViewerCore::CameraChoice::Perspective);
}

TEST_F(ExportTest, LoadedChoicesSetTheAnimalsTheFrameAndAFixedLevel)
{
    clearScene();
    m_frame->files().openFile(startup().validSkin.string()); // two levels
    const CommandLine line = parseCommandLine({"--animals", "17", "--frame", "5", "--lod", "1"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run);
    applyLoadedChoices(*m_frame, line.options);
    EXPECT_EQ(m_core->totalAnimalCount(), 17u);
    EXPECT_EQ(m_core->currentFrame(), 5);
    EXPECT_EQ(m_frame->detailMode(), DetailMode::Fixed);
    EXPECT_EQ(m_frame->fixedDetailLevel(), 1u);
    EXPECT_TRUE(m_reports.empty());

    applyLoadedChoices(*m_frame, parseCommandLine({"--lod", "4"}).options);
    const std::vector<ErrorReport> expected = {
        {"Invalid option", "There is no detail level 4: the loaded herds have 2 levels."}};
    EXPECT_EQ(m_reports, expected);
    choose(kLodModerateId);
}
