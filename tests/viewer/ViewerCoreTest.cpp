// The viewer core without a window or GL: the clock, the cameras and their key files, file
// opening by name, the statistics figures and the playback runs, checked against the files'
// own contents and the herds' frame arithmetic.

#include "HerdTestSkins.h"
#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include "bake/ImportProcess.h"
#include "camera/AttributeWithKeys.h"
#include "camera/CameraFraming.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"
#include "herd/HerdBounds.h"
#include "herd/HerdFile.h"
#include "render/ExportNaming.h"
#include "render/MatrixScreenSpaceConverter.h"
#include "skin/ObjFile.h"
#include "viewer/PlainViewSettings.h"
#include "viewer/Playback.h"
#include "viewer/ViewerCore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const BoundingBox kCowBox({-1.0f, 0.0f, -0.5f}, {1.0f, 1.5f, 0.5f});
constexpr unsigned kCowFrames = 30;

// Sixteen numbers of a translation, row by row, as an instance line holds them.
std::string translation(float x, float z)
{
    std::ostringstream out;
    out << "1 0 0 " << x << " 0 1 0 0 0 0 1 " << z << " 0 0 0 1";
    return out.str();
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Where a placement puts the origin.
Vector3f translationOf(const Matrix4f& m)
{
    return {m(0, 3), m(1, 3), m(2, 3)};
}

// The value a camera attribute holds now (its keyable's).
float valueOf(const ViewerCore& core, std::size_t attribute)
{
    return core.allAttributes().at(attribute)->keyable()->get();
}

// The message of the exception of type E that f throws, or a note of what came instead.
template <typename E, typename F>
std::string messageOf(F f)
{
    try {
        f();
    } catch (const E& e) {
        return e.message();
    } catch (const Exception& e) {
        return "<another exception> " + e.message();
    }
    return "<no exception>";
}

class ViewerCoreTest : public ::testing::Test {
protected:
    ViewerCoreTest() : m_dir("viewer"), m_core(m_settings, 5)
    {
        m_cows = m_dir.file("cows.bin");
        herdtest::writeBoxSkinFile(m_cows, "cow", 2, kCowFrames, kCowBox);
    }

    PlainViewSettings m_settings;
    TempDirectory m_dir;
    ViewerCore m_core;
    std::string m_cows;
};

} // namespace

TEST_F(ViewerCoreTest, TheClockMovesEveryAnimalAndOnlyRunsWhileRunning)
{
    const std::string herd = m_dir.file("three.herd");
    const std::vector<std::uint32_t> offsets = {0, 7, 29};
    writeText(herd, m_cows + "\n0 " + translation(-4, 0) + "\n7 " + translation(0, 3) + "\n29 " + translation(4, -3) +
                        "\n");
    m_core.openFile(herd);
    ASSERT_EQ(m_core.herds().size(), 1u);
    const auto& cows = m_core.herds().front();
    ASSERT_EQ(cows->instanceCount(), 3u);
    const std::vector<Matrix4f> placed = {cows->instance(0).transform, cows->instance(1).transform,
                                          cows->instance(2).transform};

    for (const int frame : {40, 0, 1, 123}) {
        m_core.setFrame(frame);
        EXPECT_EQ(m_core.currentFrame(), frame);
        for (unsigned i = 0; i < 3; ++i) {
            EXPECT_EQ(cows->instance(i).frame, (offsets[i] + static_cast<unsigned>(frame)) % kCowFrames) << frame;
            EXPECT_EQ(cows->instance(i).transform, placed[i]) << "standing animals keep their places";
        }
    }
    m_core.setFrame(-5);
    EXPECT_EQ(m_core.currentFrame(), 0) << "time starts at frame 0";

    // "Moving": the animals walk, all the same way, and stand again when it is unchecked.
    m_settings.isMoving = true;
    m_core.setFrame(20);
    const Vector3f step0 = translationOf(cows->instance(0).transform) - translationOf(placed[0]);
    EXPECT_GT(step0.x * step0.x + step0.z * step0.z, 0.0f);
    const Vector3f step2 = translationOf(cows->instance(2).transform) - translationOf(placed[2]);
    EXPECT_EQ(step0, step2);
    m_settings.isMoving = false;
    m_core.setFrame(20);
    EXPECT_EQ(cows->instance(0).transform, placed[0]);

    // Idle steps: one frame each while running, none when stopped.
    m_core.setFrame(5);
    EXPECT_TRUE(m_core.advance());
    EXPECT_EQ(m_core.currentFrame(), 6);
    m_settings.isRunning = false;
    EXPECT_FALSE(m_core.advance());
    EXPECT_EQ(m_core.currentFrame(), 6);

    // Starting the animation measures the frame rate afresh; stopping it keeps the stamps.
    m_core.frameMeasures().stamps.push(100);
    m_core.frameMeasures().stamps.push(200);
    m_core.toggleRunning();
    EXPECT_TRUE(m_settings.isRunning);
    EXPECT_EQ(m_core.frameMeasures().stamps.size(), 0u);
    m_core.frameMeasures().stamps.push(300);
    m_core.toggleRunning();
    EXPECT_FALSE(m_settings.isRunning);
    EXPECT_EQ(m_core.frameMeasures().stamps.size(), 1u);
}

TEST_F(ViewerCoreTest, KeysFilesDriveTheCurrentCameraAndSetTheAnimationsLength)
{
    // The list of both cameras: the perspective camera's seven attributes, then the
    // orthographic camera's four; each camera has an "azimuth".
    std::vector<std::string> names;
    for (const auto& attribute : m_core.allAttributes()) names.push_back(attribute->name());
    ASSERT_EQ(names, (std::vector<std::string>{"azimuth", "elevation", "dolly", "fov", "lookAt.x", "lookAt.y",
                                               "lookAt.z", "azimuth", "port", "center.x", "center.y"}));
    const std::string keys = m_dir.file("flight.keys");
    const std::vector<CameraKeysRecord> records = {
        {"azimuth", {{0, 1.0f}, {50, 2.0f}}}, {"fov", {{0, 40.0f}, {80, 60.0f}}}, {"azimuth", {{0, -1.0f}, {10, -3.0f}}},
        {"port", {{0, 5.0f}, {120, 9.0f}}}};
    writeText(keys, encodeCameraKeys(records));

    m_core.openFile(keys);
    // Applied at once, at the current frame 0.
    EXPECT_EQ(valueOf(m_core, 0), 1.0f);
    EXPECT_EQ(valueOf(m_core, 3), 40.0f);
    EXPECT_EQ(m_core.keyFrameCount(), 80) << "the perspective camera's last key";
    // Two keys make a straight line, and the ends hold beyond them.
    m_core.setFrame(25);
    EXPECT_FLOAT_EQ(valueOf(m_core, 0), 1.5f);
    EXPECT_FLOAT_EQ(valueOf(m_core, 3), 46.25f);
    EXPECT_EQ(valueOf(m_core, 8), 5.0f) << "the orthographic camera's keys wait until it is current";

    m_core.useCamera(ViewerCore::CameraChoice::Orthographic);
    EXPECT_EQ(&m_core.currentCamera(), m_core.orthoCamera().get());
    EXPECT_EQ(m_core.keyFrameCount(), 120);
    m_core.setFrame(200);
    EXPECT_EQ(valueOf(m_core, 8), 9.0f);
    EXPECT_EQ(valueOf(m_core, 7), -3.0f);
    EXPECT_FLOAT_EQ(valueOf(m_core, 0), 1.5f) << "the perspective camera stays where frame 25 left it";

    // Saved and read back by another viewer: the same keys on every attribute.
    const std::string copy = m_dir.file("copy.keys");
    m_core.saveCameraKeys(copy);
    PlainViewSettings settings;
    ViewerCore other(settings, 6);
    other.loadCameraKeys(copy);
    for (std::size_t i = 0; i < m_core.allAttributes().size(); ++i)
        EXPECT_EQ(other.allAttributes()[i]->keys(), m_core.allAttributes()[i]->keys()) << names[i];

    // A file cut inside its second record: the first record is in force and applied, and the
    // failure says where.
    const std::string bytes = encodeCameraKeys({{"elevation", {{0, 0.75f}}}, {"dolly", {{0, -9.0f}, {5, -8.0f}}}});
    const std::string cut = m_dir.file("cut.keys");
    writeText(cut, bytes.substr(0, bytes.size() - 6));
    other.setFrame(3);
    EXPECT_EQ(messageOf<CameraKeysReadError>([&] { other.openFile(cut); }).rfind("Error reading file '" + cut + "': ", 0),
              0u);
    EXPECT_EQ(valueOf(other, 1), 0.75f);
    EXPECT_EQ(other.allAttributes()[2]->keys(), (std::vector<AttributeWithKeys::Key>{{0.0f, -9.0f}}));
    EXPECT_EQ(valueOf(other, 2), -9.0f);
}

TEST_F(ViewerCoreTest, FilesOpenByTheirNamesAndFailWithTheLoadersExceptions)
{
    // Binary skin files, whatever the case of a look-alike extension.
    std::filesystem::copy_file(m_cows, m_dir.file("copy.TXT"));
    m_core.openFile(m_cows);
    m_core.openFile(m_dir.file("copy.TXT"));
    ASSERT_EQ(m_core.herds().size(), 2u);
    EXPECT_EQ(m_core.herds()[1]->levelCount(), 2u) << "read as a binary skin file";
    EXPECT_EQ(m_core.scene().directoryOf(1), m_dir.path());

    // A text skin: named after its file, its mesh beside it.
    writeText(m_dir.file("tri.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    writeText(m_dir.file("tri.txt"), "*OBJFILENAME\ntri.obj\n");
    m_core.openFile(m_dir.file("tri.txt"));
    ASSERT_EQ(m_core.herds().size(), 3u);
    EXPECT_EQ(m_core.herds()[2]->skin()->name(), "tri");

    // The skin readers' failures: the skin file itself, or the mesh a text skin names.
    const std::string missing = m_dir.file("missing.bin");
    EXPECT_EQ(messageOf<CreationException>([&] { m_core.openFile(missing); }),
              "Unable to open file '" + missing + "' for reading.");
    writeText(m_dir.file("bad.obj"), "v 1 2\n");
    writeText(m_dir.file("bad.txt"), "*OBJFILENAME\nbad.obj\n");
    EXPECT_EQ(messageOf<ParserException>([&] { m_core.openFile(m_dir.file("bad.txt")); }), "Invalid vertex");
    EXPECT_EQ(m_core.herds().size(), 3u);

    // Herd files replace the scene; a bad line is the herd file's fault, a missing skin the
    // skin reader's, and the herds before either stay.
    const std::string herd = m_dir.file("bad.herd");
    writeText(herd, m_cows + "\n3 " + translation(0, 0) + "\n5 1 2 3\n");
    EXPECT_EQ(messageOf<HerdFileException>([&] { m_core.openFile(herd); }),
              "Invalid line 3 in file '" + herd + "': expected 16 entries and found 3");
    ASSERT_EQ(m_core.herds().size(), 1u);
    EXPECT_EQ(m_core.totalAnimalCount(), 1u);
    writeText(herd, m_cows + "\n" + missing + "\n");
    EXPECT_EQ(messageOf<CreationException>([&] { m_core.openFile(herd); }),
              "Unable to open file '" + missing + "' for reading.");
    EXPECT_EQ(m_core.herds().size(), 1u);

    // Keys files: one that cannot be opened is no read error.
    const std::string keys = m_dir.file("none.keys");
    EXPECT_EQ(messageOf<IOException>([&] {
                  try {
                      m_core.openFile(keys);
                  } catch (const CameraKeysReadError& e) {
                      throw Exception("<a read error> " + e.message());
                  }
              }),
              "Error opening keys file '" + keys + "' for reading.");
}

namespace {

// Records what the core shows of an import, and cancels at the update it is told to.
struct RecordingDisplay : ImportProgressDisplay {
    std::vector<std::string> events;
    int cancelAt = -1;
    void begin(const std::string& path) override { events.push_back("begin " + path); }
    bool update(double fraction, const std::string& step) override
    {
        events.push_back(std::to_string(fraction).substr(0, 4) + " " + step);
        return int(events.size()) - 1 != cancelAt;
    }
    void end() override { events.push_back("end"); }
};

} // namespace

TEST_F(ViewerCoreTest, ModelFilesGoThroughTheImporterWithTheProgressDisplay)
{
    // An importer in place of the child process: "giant" models are 200 units tall, others
    // cow-sized; "bad" ones fail; every import reports two steps, and stops at the first when
    // cancelled.
    std::vector<std::string> imported;
    std::filesystem::path importDirectory;
    m_core.setModelImporter([&](const std::string& path, const std::filesystem::path& directory,
                                const ImportRunProgress& progress) {
        imported.push_back(path);
        importDirectory = directory;
        if (path.find("bad") != std::string::npos) throw ModelImportException("Cannot import '" + path + "'.");
        if (!progress(0.25, "Reading the model") || !progress(0.75, "Baking")) return SkinFile{};
        const bool giant = path.find("giant") != std::string::npos;
        const std::string file = (directory / (giant ? "giant.bin" : "model.bin")).string();
        herdtest::writeBoxSkinFile(file, giant ? "giant" : "model", 3, 12,
                                   giant ? BoundingBox({-20.0f, 0.0f, -80.0f}, {20.0f, 200.0f, 80.0f}) : kCowBox);
        return loadBinarySkinFile(file);
    });
    RecordingDisplay display;
    m_core.setImportProgressDisplay(&display);

    // Model extensions of any case; the viewer's own kinds and unknown ones never import.
    for (const char* name : {"a.fbx", "b.GLTF", "c.dae", "d.obj", "e.md5mesh"}) m_core.openFile(m_dir.file(name));
    EXPECT_EQ(imported.size(), 5u);
    ASSERT_EQ(m_core.herds().size(), 5u);
    EXPECT_EQ(m_core.herds()[0]->levelCount(), 3u);
    ASSERT_EQ(display.events.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(display.events.begin(), display.events.begin() + 4),
              (std::vector<std::string>{"begin " + m_dir.file("a.fbx"), "0.25 Reading the model", "0.75 Baking", "end"}));
    std::filesystem::copy_file(m_cows, m_dir.file("cows.fbx.bin"));
    m_core.openFile(m_dir.file("cows.fbx.bin"));
    EXPECT_EQ(imported.size(), 5u);
    EXPECT_TRUE(std::filesystem::is_directory(importDirectory));

    // Animals already in view leave the camera alone; a giant model is framed.
    m_core.setAnimalCount(10);
    m_core.frameAllAnimals();
    const Vector3f inView = m_core.perspectiveCamera()->lookAtPoint();
    EXPECT_TRUE(boxInView(*m_core.perspectiveCamera(), instanceBounds(m_core.herds())));
    EXPECT_FALSE(m_core.frameAnimalsAfterImport());
    EXPECT_EQ(m_core.perspectiveCamera()->lookAtPoint(), inView);
    m_core.clear();
    m_core.loadModel(m_dir.file("giant.x"));
    m_core.setAnimalCount(10);
    EXPECT_FALSE(boxInView(*m_core.perspectiveCamera(), instanceBounds(m_core.herds())));
    EXPECT_TRUE(m_core.frameAnimalsAfterImport());
    EXPECT_TRUE(boxInView(*m_core.perspectiveCamera(), instanceBounds(m_core.herds())));
    // Once only: a later look round is the user's.
    EXPECT_FALSE(m_core.frameAnimalsAfterImport());

    // Cancel: no herd; in a herd file it stops the herd file, keeping the herds before.
    display.events.clear();
    display.cancelAt = 1;
    EXPECT_EQ(m_core.loadModel(m_dir.file("f.fbx")), nullptr);
    EXPECT_EQ(display.events.back(), "end");
    EXPECT_EQ(m_core.herds().size(), 1u);
    const std::string herd = m_dir.file("models.herd");
    writeText(herd, m_cows + "\n" + m_dir.file("g.fbx") + "\n" + m_cows + "\n");
    display.events.clear();
    EXPECT_EQ(messageOf<ModelImportCancelled>([&] { m_core.openFile(herd); }),
              "The import of '" + m_dir.file("g.fbx") + "' was cancelled.");
    EXPECT_EQ(m_core.herds().size(), 1u);
    EXPECT_EQ(display.events.back(), "end");
    // A herd file names models as skins and imports them; the importer's failure passes on.
    display.cancelAt = -1;
    m_core.openFile(herd);
    EXPECT_EQ(m_core.herds().size(), 3u);
    EXPECT_EQ(m_core.herds()[1]->skin()->name().rfind("model", 0), 0u) << m_core.herds()[1]->skin()->name();
    EXPECT_EQ(messageOf<ModelImportException>([&] { m_core.openFile(m_dir.file("bad.glb")); }),
              "Cannot import '" + m_dir.file("bad.glb") + "'.");
    EXPECT_EQ(display.events.back(), "end");
    m_core.setImportProgressDisplay(nullptr);
}

TEST_F(ViewerCoreTest, StatisticsCountEachLevelsSkinForTheAnimalsAtThatLevel)
{
    std::istringstream fine(fixtures::bytesOf({fixtures::quad("cow", kCowFrames)}));
    const auto cowFine = std::make_shared<Skin>(fine);
    const auto cowCoarse = herdtest::boxSkin("cow", kCowFrames, kCowBox);
    const auto cows = m_core.addSkin({cowFine, cowCoarse}, "");
    const auto calf = m_core.addSkin({herdtest::animalSkin("calf")}, "");
    m_core.setAnimalCount(0);
    for (int i = 0; i < 3; ++i) cows->addAnimal(*m_core.scene().collection());
    calf->addAnimal(*m_core.scene().collection());
    ASSERT_EQ(m_core.totalAnimalCount(), 4u);

    // Every animal at the coarse level, then every one at the fine level; the two differ.
    ASSERT_NE(cowFine->triangleCount(), cowCoarse->triangleCount());
    for (const int level : {1, 0}) {
        cows->setFixedLevel(level);
        calf->setFixedLevel(level);
        const Skin& cowSkin = level == 0 ? *cowFine : *cowCoarse;
        const Skin& calfSkin = *calf->skin();
        const StatisticsFigures figures = m_core.statisticsFigures();
        EXPECT_EQ(figures.totalAnimals, 4u);
        EXPECT_EQ(figures.triangles, 3ull * cowSkin.triangleCount() + calfSkin.triangleCount()) << level;
        EXPECT_EQ(figures.vertices, 3ull * cowSkin.vertexCount() + calfSkin.vertexCount()) << level;
    }
    const auto rows = m_core.statisticsRows();
    // The table's six rows, then where the last frame's time went.
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[6].first, "LOD update");
    EXPECT_EQ(rows[10].first, "drawing impostors");
    EXPECT_EQ(rows[12], (std::pair<std::string, std::string>{"impostors drawn", "0"}));
    EXPECT_EQ(rows[2], (std::pair<std::string, std::string>{"animals", "4 (3 cows, 1 calf)"}));
    EXPECT_EQ(rows[0].second, "nan") << "no frame drawn yet";

    // The OBJ export writes every animal of every herd at its full detail.
    const std::string obj = m_dir.file("herd.obj");
    m_core.exportObj(obj);
    const ObjFile read(obj);
    EXPECT_EQ(read.faceCount(), 3u * cowFine->triangleCount() + calf->skin()->triangleCount());
}

TEST_F(ViewerCoreTest, FramingAllAnimalsMovesOnlyTheCurrentCamera)
{
    const std::string herd = m_dir.file("spread.herd");
    writeText(herd, m_cows + "\n0 " + translation(-30, 12) + "\n0 " + translation(25, -40) + "\n0 " +
                        translation(60, 5) + "\n");
    m_core.openFile(herd);
    const auto everyCornerInView = [&](const Camera& camera) {
        const MatrixScreenSpaceConverter converter(camera.view(), camera.projection(), Viewport{0, 0, 300, 200});
        const auto& herds = m_core.herds();
        for (unsigned i = 0; i < herds[0]->instanceCount(); ++i) {
            const NdcRectangle r = converter.boxRectangle(herds[0]->instance(i).box);
            if (r.minX < -1.0 || r.maxX > 1.0 || r.minY < -1.0 || r.maxY > 1.0) return false;
        }
        return true;
    };
    for (const auto choice : {ViewerCore::CameraChoice::Perspective, ViewerCore::CameraChoice::Orthographic}) {
        m_core.useCamera(choice);
        Camera& camera = m_core.currentCamera();
        camera.setNearFar(0.1, 10000.0);
        camera.setAspect(1.5);
        ASSERT_FALSE(everyCornerInView(camera)) << "the start views leave animals out";
        const Matrix4f otherView = choice == ViewerCore::CameraChoice::Perspective ? m_core.orthoCamera()->view()
                                                                                   : m_core.perspectiveCamera()->view();
        m_core.frameAllAnimals();
        EXPECT_TRUE(everyCornerInView(camera));
        EXPECT_EQ(otherView, choice == ViewerCore::CameraChoice::Perspective ? m_core.orthoCamera()->view()
                                                                             : m_core.perspectiveCamera()->view());
    }
}

TEST_F(ViewerCoreTest, TheTimedemoPaintsEveryKeyedFrameOnce)
{
    writeText(m_dir.file("short.keys"), encodeCameraKeys({{"azimuth", {{0, 0.0f}, {12, 1.0f}}}}));
    m_core.openFile(m_dir.file("short.keys"));
    std::vector<int> painted;
    const TimedemoResult whole = runTimedemo(m_core, [&] { painted.push_back(m_core.currentFrame()); });
    EXPECT_EQ(painted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(whole.frames, 12);
    EXPECT_EQ(whole.framesDrawn, 12);
    EXPECT_FALSE(whole.cancelled);
    EXPECT_GE(whole.seconds, 0.0);
    EXPECT_EQ(m_core.currentFrame(), 11) << "the run leaves the last frame shown";

    painted.clear();
    const TimedemoResult stopped = runTimedemo(
        m_core, [&] { painted.push_back(m_core.currentFrame()); }, [](int done, int total) { return done < 5 && total == 12; });
    EXPECT_EQ(painted, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.framesDrawn, 5);
}

TEST_F(ViewerCoreTest, ImageSequencesNameEachFrameAndStopAtTheFirstFailure)
{
    const std::string path = m_dir.file("run.final.png");
    std::vector<std::pair<std::string, int>> written;
    int progressShown = 0;
    const auto record = [&](const std::string& name) { written.emplace_back(name, m_core.currentFrame()); };
    const SequenceOutcome outcome = exportImageSequence(m_core, path, 23, record, [&] { ++progressShown; });
    ASSERT_EQ(written.size(), 23u);
    EXPECT_EQ(outcome.written, 23);
    for (int i = 0; i < 23; ++i) EXPECT_EQ(written[i], (std::pair{sequenceFrameName(path, i), i}));
    EXPECT_EQ(written[7].first, m_dir.file("run.final.0007.png"));
    EXPECT_EQ(progressShown, 4) << "after frames 0, 10 and 20, and at the end";

    written.clear();
    const std::string noDot = m_dir.file("frames");
    EXPECT_EQ(messageOf<IOException>([&] { exportImageSequence(m_core, noDot, 5, record, [] {}); }),
              "Invalid filename: " + noDot);
    EXPECT_TRUE(written.empty()) << "nothing is written for a name without a dot";

    const auto failAtThree = [&](const std::string& name) {
        if (written.size() == 3) throw IOException("Unable to write to image '" + name + "'.");
        record(name);
    };
    EXPECT_EQ(messageOf<IOException>([&] { exportImageSequence(m_core, path, 10, failAtThree, [] {}); }),
              "Unable to write to image '" + sequenceFrameName(path, 3) + "'.");
    EXPECT_EQ(written.size(), 3u);
}
