// The video export on the main frame: what the encoder wrote is decoded through FFmpeg and
// compared with image exports of the same frames; cancelling and failing leave nothing; the
// prompts as a user meets them.

#include "GuiTestSupport.h"

#include "VideoDecoding.h"
#include "app/MenuIds.h"

#include <wx/image.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> pictureRgb(const fs::path& path, int width, int height)
{
    wxImage image;
    if (!image.LoadFile(path.string(), wxBITMAP_TYPE_PNG) || image.GetWidth() != width || image.GetHeight() != height)
        return {};
    return std::vector<unsigned char>(image.GetData(), image.GetData() + static_cast<std::size_t>(width) * height * 3);
}

std::vector<std::string> listing(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class VideoExportTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_directory = startup().dataDirectory / ("video-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_directory);
        fs::create_directories(m_directory);
    }

    // The image export of animation frame `frame`, read back.
    std::vector<unsigned char> imageOfFrame(int frame, int width, int height)
    {
        m_core->setFrame(frame);
        const fs::path path = m_directory / ("frame" + std::to_string(frame) + ".png");
        m_view->exportImage(width, height, path.string());
        auto rgb = pictureRgb(path, width, height);
        fs::remove(path);
        return rgb;
    }

    void sendCommand(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(event);
    }

    fs::path m_directory;
};

// 48 frames at 320 x 240 decode to 48 frames of that size at the rate chosen; the first and
// the last match image exports of the same animation frames within the codec's loss, and
// clearly better than the other frame does. A run from a later first frame starts there.
TEST_F(VideoExportTest, FramesDecodeAtTheRateAndMatchTheImagesOfTheirFrames)
{
    loadSampleQuadruped(6);
    const std::string path = (m_directory / "walk.mp4").string();
    std::vector<std::pair<int, int>> calls;
    const ExportCommands::VideoExport outcome = m_frame->exports().exportVideoTo(path, 320, 240, 48, 24.0,
        [&](int done, int total) {
            calls.emplace_back(done, total);
            return true;
        });
    EXPECT_FALSE(outcome.failed);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.written, 48);
    EXPECT_EQ(outcome.sizeNote, "");
    EXPECT_EQ(calls.size(), 48u);
    EXPECT_EQ(calls.back(), std::make_pair(48, 48));
    EXPECT_EQ(m_core->currentFrame(), 47) << "the animation stays at the last frame exported";
    EXPECT_EQ(listing(m_directory), std::vector<std::string>{"walk.mp4"});

    const DecodedVideo video = decodeVideo(path);
    ASSERT_EQ(video.frames.size(), 48u);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 240);
    EXPECT_NEAR(video.averageFrameRate, 24.0, 1e-9);
    EXPECT_EQ(video.codecName, "h264");

    const auto first = imageOfFrame(0, 320, 240), last = imageOfFrame(47, 320, 240);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(last.empty());
    const double firstQuality = psnr(video.frames[0], first), lastQuality = psnr(video.frames[47], last);
    std::cout << "frame 0: " << firstQuality << " dB, frame 47: " << lastQuality << " dB, frame 47 against image 0: "
              << psnr(video.frames[47], first) << " dB\n";
    EXPECT_GT(firstQuality, 35.0);
    EXPECT_GT(lastQuality, 35.0);
    EXPECT_LT(psnr(video.frames[47], first), lastQuality - 3.0) << "frame 47 looks like frame 0: frames out of place";

    // From frame 20 on: the video's first frame is frame 20.
    const std::string later = (m_directory / "later.webm").string();
    const ExportCommands::VideoExport from20 = m_frame->exports().exportVideoTo(later, 320, 240, 3, 30.0, {}, 20);
    EXPECT_EQ(from20.written, 3);
    EXPECT_EQ(m_core->currentFrame(), 22);
    const DecodedVideo laterVideo = decodeVideo(later);
    ASSERT_EQ(laterVideo.frames.size(), 3u);
    EXPECT_GT(psnr(laterVideo.frames[0], imageOfFrame(20, 320, 240)), 35.0);
    EXPECT_TRUE(m_reports.empty());
}

// Cancel after some frames, an unwritable place and a name no format fits: no video, no
// temporary file, and the failures under "Error writing video" with the encoder's reason. A
// size the codec cannot take is rounded and said.
TEST_F(VideoExportTest, CancelAndFailuresLeaveNothing)
{
    loadSampleQuadruped(2);
    const std::string path = (m_directory / "stopped.mkv").string();
    const ExportCommands::VideoExport cancelled =
        m_frame->exports().exportVideoTo(path, 64, 48, 10, 30.0, [](int done, int) { return done < 4; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.failed);
    EXPECT_EQ(cancelled.written, 4);
    EXPECT_TRUE(fs::is_empty(m_directory)) << "a cancelled export leaves nothing";
    EXPECT_TRUE(m_reports.empty());

    const std::string missing = (m_directory / "no-such" / "v.mp4").string();
    EXPECT_TRUE(m_frame->exports().exportVideoTo(missing, 64, 48, 3, 30.0).failed);
    const std::string avi = (m_directory / "v.avi").string();
    EXPECT_TRUE(m_frame->exports().exportVideoTo(avi, 64, 48, 3, 30.0).failed);
    const std::vector<ErrorReport> expected = {
        {"Error writing video",
         "Unable to write video '" + missing + "': no file can be made beside it (No such file or directory)."},
        {"Error writing video", "Unable to write video '" + avi + "': the extension is not '.mp4', '.mkv' or '.webm'."}};
    EXPECT_EQ(m_reports, expected);
    EXPECT_TRUE(fs::is_empty(m_directory));

    const std::string odd = (m_directory / "odd.mp4").string();
    const ExportCommands::VideoExport rounded = m_frame->exports().exportVideoTo(odd, 65, 49, 2, 30.0);
    EXPECT_FALSE(rounded.failed);
    EXPECT_NE(rounded.sizeNote.find("64 x 48"), std::string::npos) << rounded.sizeNote;
    EXPECT_EQ(decodeVideo(odd).width, 64);
}

// "Export video..." asks for the file, the size (1280 x 720 proposed), the number of frames
// (the camera keys' length proposed) and the frame rate (30 proposed, asked again until it is
// a number above 0 and at most 1000), then says it is done; Cancel at any prompt writes
// nothing.
TEST_F(VideoExportTest, PromptsAsAUserMeetsThem)
{
    CameraKeysRestorer restorer(*m_core);
    loadSampleQuadruped(3);
    m_core->currentAttributes().front()->setKeys({{0.0f, 1.0f}, {5.0f, 2.0f}});
    ASSERT_EQ(m_core->keyFrameCount(), 5);
    using Shown = ScriptedDialogs::Shown;
    const std::string path = (m_directory / "prompted.webm").string();
    const Shown file{"file", "Export video", "Video Files (*.mp4;*.mkv;*.webm)|*.mp4;*.mkv;*.webm", "save"};
    const auto rate = [](const std::string& preset) {
        return Shown{"text", "Frame rate of the video", "Frames per second", preset};
    };
    {
        ScriptedDialogs dialogs({path, "96", "64", "4", "fast", "0", "12.5", ScriptedDialogs::kOk});
        sendCommand(kExportVideoId);
        const std::vector<Shown> expected = {file,
                                             {"text", "Width of image to export", "Width of image", "1280"},
                                             {"text", "Height of image to export", "Height of image", "720"},
                                             {"text", "Number of frames to export", "Number of frames", "5"},
                                             rate("30"),
                                             rate("fast"),
                                             rate("0"),
                                             {"message", "Video export complete.", "Video export", "ok"}};
        EXPECT_EQ(dialogs.shown, expected);
        EXPECT_EQ(dialogs.unexpected, 0);
        const DecodedVideo video = decodeVideo(path);
        EXPECT_EQ(video.frames.size(), 4u);
        EXPECT_EQ(video.width, 96);
        EXPECT_NEAR(video.averageFrameRate, 12.5, 1e-9);
    }
    fs::remove(path);
    for (std::size_t at = 0; at < 5; ++at) {
        std::vector<std::string> answers = {path, "96", "64", "4", "25"};
        answers[at] = ScriptedDialogs::kCancel;
        ScriptedDialogs dialogs(answers);
        sendCommand(kExportVideoId);
        EXPECT_EQ(dialogs.shown.size(), at + 1) << "cancelled at prompt " << at;
        EXPECT_TRUE(fs::is_empty(m_directory)) << "cancelled at prompt " << at;
    }
    EXPECT_TRUE(m_reports.empty());
}
