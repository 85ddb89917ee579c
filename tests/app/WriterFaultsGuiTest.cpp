// The frame's writing commands under a failing disk, through the code the commands run after
// their dialogs: herd save, camera keys save, OBJ export, image and image sequence export.
// Every error must reach the user's error box naming the file, with the file there before
// intact and no temporary file left, and the next command must work.
#include "GuiTestSupport.h"
#include "WriterFaults.h"

#include "camera/CameraKeysFile.h"
#include "herd/HerdFile.h"
#include "herd/HerdScene.h"
#include "herd/RandomGenerator.h"
#include "skin/BinarySkinLoader.h"
#include "skin/ObjFile.h"

#include <wx/image.h>

namespace fs = std::filesystem;
using namespace faultinjection;

namespace {

// Whatever failed, the image commands say the same.
std::string imageMessage(const std::string& path, const ExpectedFailure&)
{
    return expected::image(path);
}

class WriterFaultsGuiTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        m_directory = startup().dataDirectory / "writer-faults";
        fs::remove_all(m_directory);
        fs::create_directories(m_directory);
    }
    void TearDown() override
    {
        fs::remove_all(m_directory);
        GuiTest::TearDown();
    }

    // The one error box a command showed, as "caption: message".
    std::optional<std::string> runCommand(const std::function<void()>& command)
    {
        m_reports.clear();
        command();
        if (m_reports.empty()) return std::nullopt;
        EXPECT_EQ(m_reports.size(), 1u) << "one failure, one error box";
        return m_reports.front().caption + ": " + m_reports.front().message;
    }

    // A command whose failures are shown under `caption` with the message `message` composes.
    WriterUnderTest commandWriter(const std::string& name, const std::vector<std::string>& files,
                                  std::function<void(const fs::path& directory)> command, const std::string& caption,
                                  std::function<std::string(const std::string& path, const ExpectedFailure&)> message)
    {
        WriterUnderTest writer;
        writer.name = name;
        writer.files = files;
        writer.checkError = [caption, message](const std::string& error, const std::string& path,
                                               const ExpectedFailure& failure) {
            EXPECT_EQ(error, caption + ": " + message(path, failure));
        };
        writer.write = inProcess([this, command](const fs::path& directory) {
            return runCommand([&] { command(directory); });
        });
        return writer;
    }

    std::vector<WriterUnderTest> everyCommand()
    {
        std::vector<WriterUnderTest> writers;
        writers.push_back(commandWriter("Save herd", {"scene.herd"}, [this](const fs::path& directory) {
            m_frame->files().saveHerdTo((directory / "scene.herd").string());
        }, "Error writing herd", expected::herdFile));
        writers.back().readBack = [this](const fs::path& directory) {
            HerdScene loaded(3);
            EXPECT_NO_THROW(HerdFile::load(loaded, (directory / "scene.herd").string(),
                                           [](const std::string& path) { return loadBinarySkinFile(path); }));
            EXPECT_EQ(loaded.herds().size(), m_core->scene().herds().size());
            EXPECT_EQ(loaded.totalAnimalCount(), m_core->totalAnimalCount());
        };
        writers.push_back(commandWriter("Save camera animation", {"flight.keys"}, [this](const fs::path& directory) {
            m_frame->files().saveCameraKeysTo((directory / "flight.keys").string());
        }, "Error saving camera keys", expected::cameraKeys));
        writers.back().readBack = [this](const fs::path& directory) {
            const auto& attributes = m_core->allAttributes();
            std::vector<std::shared_ptr<AttributeWithKeys>> fresh;
            for (const auto& attribute : attributes) fresh.push_back(std::make_shared<AttributeWithKeys>(attribute->keyable()));
            EXPECT_NO_THROW(loadCameraKeys((directory / "flight.keys").string(), fresh));
            for (std::size_t i = 0; i < attributes.size(); ++i) EXPECT_EQ(fresh[i]->keys(), attributes[i]->keys()) << i;
        };
        writers.push_back(commandWriter("Export obj file", {"herd.obj"}, [this](const fs::path& directory) {
            m_frame->files().exportObjTo((directory / "herd.obj").string());
        }, "Error exporting obj file", expected::objFile));
        writers.back().readBack = [this](const fs::path& directory) {
            const ObjFile read((directory / "herd.obj").string());
            EXPECT_EQ(read.groups().size(), m_core->totalAnimalCount());
        };
        writers.push_back(commandWriter("Export image", {"view.png"}, [this](const fs::path& directory) {
            m_frame->exports().exportImageTo((directory / "view.png").string(), 96, 64);
        }, "Error writing image", imageMessage));
        writers.back().readBack = [](const fs::path& directory) {
            wxImage image;
            ASSERT_TRUE(image.LoadFile((directory / "view.png").string(), wxBITMAP_TYPE_PNG));
            EXPECT_EQ(image.GetWidth(), 96);
            EXPECT_EQ(image.GetHeight(), 64);
        };
        // TIFF goes back to fill in offsets: the seekable path of the image writer.
        writers.push_back(commandWriter("Export image (TIFF)", {"view.tif"}, [this](const fs::path& directory) {
            m_frame->exports().exportImageTo((directory / "view.tif").string(), 80, 60);
        }, "Error writing image", imageMessage));
        writers.back().readBack = [](const fs::path& directory) {
            wxImage image;
            ASSERT_TRUE(image.LoadFile((directory / "view.tif").string(), wxBITMAP_TYPE_TIFF));
            EXPECT_EQ(image.GetWidth(), 80);
            EXPECT_EQ(image.GetHeight(), 60);
        };
        writers.push_back(commandWriter("Export image sequence", {"frames.0000.png", "frames.0001.png", "frames.0002.png"},
                                        [this](const fs::path& directory) {
                                            m_frame->exports().exportImageSequenceTo((directory / "frames.png").string(), 64, 48, 3, {});
                                        }, "Error writing image", imageMessage));
        writers.back().readBack = [](const fs::path& directory) {
            for (const char* name : {"frames.0000.png", "frames.0001.png", "frames.0002.png"}) {
                wxImage image;
                ASSERT_TRUE(image.LoadFile((directory / name).string(), wxBITMAP_TYPE_PNG)) << name;
                EXPECT_EQ(image.GetWidth(), 64);
                EXPECT_EQ(image.GetHeight(), 48);
            }
        };
        return writers;
    }

    fs::path m_directory;
};

} // namespace

TEST_F(WriterFaultsGuiTest, EveryWritingCommandSurvivesEveryFaultAtEveryCall)
{
    loadSampleQuadruped(1);
    CameraKeysRestorer restorer(*m_core);
    m_core->allAttributes()[0]->setKeys({{0.0f, 0.25f}, {40.0f, 1.5f}});
    int total = 0;
    int index = 0;
    for (const WriterUnderTest& writer : everyCommand()) {
        const fs::path directory = m_directory / std::to_string(index++);
        fs::create_directories(directory);
        total += expectSoundUnderEveryFault(writer, directory).total();
    }
    std::cout << "[ faults   ] " << total << " faults injected into the frame's commands\n";
}

TEST_F(WriterFaultsGuiTest, EveryWritingCommandRefusesUnwritablePaths)
{
    loadSampleQuadruped(1);
    int index = 0;
    for (const WriterUnderTest& writer : everyCommand()) {
        const fs::path directory = m_directory / std::to_string(index++);
        fs::create_directories(directory);
        expectSoundOnUnwritablePaths(writer, directory);
    }
}
