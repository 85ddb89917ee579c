// The atomic file writer, and every writer below the GUI under a failing disk: the herd file,
// the camera keys file, the binary skin file, the OBJ export and the sample generator's files.
#include "FaultInjection.h"
#include "HerdTestSkins.h"
#include "SkinRecordFixtures.h"
#include "TempDirectory.h"
#include "WriterFaults.h"

#include "CameraKeysWriter.h"
#include "bake/ImageWriter.h"
#include "ObjWriter.h"
#include "TextSkinWriter.h"

#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/AtomicFile.h"
#include "herd/HerdFile.h"
#include "herd/HerdScene.h"
#include "herd/RandomGenerator.h"
#include "skin/BinarySkinLoader.h"
#include "skin/ObjExport.h"
#include "skin/ObjFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace faultinjection;

namespace {

std::set<std::string> entries(const fs::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

void putBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The message of the FileWriteException that `write` throws, or "(none)".
template <typename Write>
FileWriteException caught(Write write)
{
    try {
        write();
    } catch (const FileWriteException& e) {
        return e;
    }
    ADD_FAILURE() << "no FileWriteException";
    return FileWriteException(FileWriteException::Stage::Writing, "(none)", 0);
}

// An IOException's message as the writer's caller sees it.
template <typename Write>
std::optional<std::string> reported(Write write)
{
    try {
        write();
    } catch (const IOException& e) {
        return e.message();
    }
    return std::nullopt;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

mode_t permissionsOf(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

} // namespace

TEST(AtomicFile, ReplacesWholeFilesKeepingLinksAndPermissions)
{
    TempDirectory dir("atomic");
    const fs::path target = dir.path() / "file.bin";
    {
        SCOPED_TRACE("a new file, in pieces of every size around the buffer's");
        std::string expected;
        AtomicFile file(target.string());
        for (std::size_t size : {0u, 1u, 4095u, 65536u, 65535u, 2u, 200000u, 7u}) {
            std::string piece(size, '\0');
            for (std::size_t i = 0; i < size; ++i) piece[i] = static_cast<char>((i * 131 + size) & 0xFF);
            file.write(piece);
            expected += piece;
            EXPECT_EQ(file.position(), expected.size());
        }
        EXPECT_FALSE(fs::exists(target)) << "the target appears only at commit";
        file.commit();
        EXPECT_EQ(fileBytes(target), expected);
        EXPECT_EQ(permissionsOf(target), 0666 & ~currentUmask());
        EXPECT_EQ(entries(dir.path()), std::set<std::string>{"file.bin"});
    }
    {
        SCOPED_TRACE("seeking back to fill in, and past the end");
        AtomicFile file(target.string());
        file.write("AAAAAAAAAA");
        file.seek(2);
        file.write("BB");
        EXPECT_EQ(file.position(), 4u);
        EXPECT_EQ(file.size(), 10u);
        file.seek(12);
        file.write("C");
        EXPECT_EQ(file.size(), 13u);
        file.commit();
        EXPECT_EQ(fileBytes(target), std::string("AABBAAAAAA\0\0C", 13));
    }
    {
        SCOPED_TRACE("a private file stays private; a symbolic link stays a link");
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
        const fs::path link = dir.path() / "link.bin";
        fs::create_symlink(target, link);
        writeFileAtomically(link.string(), "through the link");
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fileBytes(target), "through the link");
        EXPECT_EQ(permissionsOf(target), 0600u);
        EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"file.bin", "link.bin"}));
    }
    {
        SCOPED_TRACE("abandoned without commit, or by the producer's own exception");
        { AtomicFile file(target.string()); file.write("never"); }
        EXPECT_THROW(writeFileAtomically(target.string(), [](std::ostream& out) {
                         out << "half";
                         throw std::runtime_error("the producer's own");
                     }),
                     std::runtime_error);
        EXPECT_EQ(fileBytes(target), "through the link");
        EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"file.bin", "link.bin"}));
    }
}

TEST(AtomicFile, FailuresNameTheFileAndTheReasonAndSpendTheWriter)
{
    TempDirectory dir("atomic-failures");
    const std::string missing = (dir.path() / "no-such-dir" / "x.bin").string();
    FileWriteException e = caught([&] { writeFileAtomically(missing, "x"); });
    EXPECT_EQ(e.stage(), FileWriteException::Stage::Creating);
    EXPECT_EQ(e.error(), ENOENT);
    EXPECT_EQ(e.message(), "Unable to open file '" + missing + "' for writing: No such file or directory.");

    const std::string directory = dir.path().string();
    e = caught([&] { writeFileAtomically(directory, "x"); });
    EXPECT_EQ(e.stage(), FileWriteException::Stage::Replacing);
    EXPECT_EQ(e.message(), "Unable to write to file '" + directory + "': Is a directory.");

    const fs::path target = dir.path() / "full.bin";
    putBytes(target, "old");
    {
        AtomicFile file(target.string());
        file.write(std::string(100000, 'x')); // one full buffer goes out now
        arm({dir.path(), Fault::NoSpace, 1});
        e = caught([&] { file.write(std::string(70000, 'y')); });
        EXPECT_TRUE(disarm().fired);
        EXPECT_EQ(e.stage(), FileWriteException::Stage::Writing);
        EXPECT_EQ(e.message(), "Unable to write to file '" + target.string() + "': No space left on device.");
        EXPECT_EQ(entries(dir.path()), std::set<std::string>{"full.bin"}) << "the temporary file goes at once";
        // Spent: the same failure again, and nothing written.
        EXPECT_EQ(caught([&] { file.write("z"); }).error(), ENOSPC);
        EXPECT_EQ(caught([&] { file.commit(); }).error(), ENOSPC);
    }
    EXPECT_EQ(fileBytes(target), "old");

    // A producer that throws its own words on a bad stream: the disk's reason is what is reported.
    arm({dir.path(), Fault::IOError, 1});
    e = caught([&] {
        writeFileAtomically(target.string(), [](std::ostream& out) {
            out << std::string(100000, 'x');
            if (!out) throw IOException("the stream went bad");
        });
    });
    disarm();
    EXPECT_EQ(e.error(), EIO);
    EXPECT_EQ(fileBytes(target), "old");
}

namespace {

// The view's eleven keyed attributes of both cameras.
struct Cameras {
    std::shared_ptr<ProjectiveFixedYCamera> perspective = std::make_shared<ProjectiveFixedYCamera>();
    std::shared_ptr<OrthoCamera> ortho = std::make_shared<OrthoCamera>();
    std::vector<std::shared_ptr<AttributeWithKeys>> all;

    Cameras()
    {
        for (const auto& keyable : perspective->keyables()) all.push_back(std::make_shared<AttributeWithKeys>(keyable));
        for (const auto& keyable : ortho->keyables()) all.push_back(std::make_shared<AttributeWithKeys>(keyable));
    }
};

// What every writer of this suite reads from: skins in their own directory, never watched.
struct Sources {
    TempDirectory dir{"writer-fault-sources"};
    std::string cows = dir.file("cows.bin");
    std::string sheep = dir.file("sheep.bin");
    std::string quad = dir.file("quad.bin");
    std::vector<SkinRecord> skinRecords{fixtures::grid("pasture", 90, 90), fixtures::quad("quad")};

    Sources()
    {
        herdtest::writeBoxSkinFile(cows, "cow", 2, 30, BoundingBox({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f}));
        herdtest::writeBoxSkinFile(sheep, "sheep", 3, 12, BoundingBox({-0.5f, 0.0f, -0.3f}, {0.5f, 1.0f, 0.3f}));
        writeSkinFile(quad, {fixtures::quad("quad", 5)});
    }
};

HerdFile::SkinFileLoader binaryLoader()
{
    return [](const std::string& path) { return loadBinarySkinFile(path); };
}

WriterUnderTest herdWriter(const Sources& sources)
{
    auto scene = std::make_shared<HerdScene>(7);
    for (const std::string& path : {sources.cows, sources.sheep}) {
        const SkinFile file = loadBinarySkinFile(path);
        scene->addSkin(file.skins, file.directory);
    }
    scene->setAnimalCount(40);
    WriterUnderTest writer;
    writer.name = "herd file";
    writer.files = {"scene.herd"};
    writer.write = inProcess([scene](const fs::path& directory) {
        return reported([&] { HerdFile::write(*scene, (directory / "scene.herd").string()); });
    });
    writer.checkError = [](const std::string& error, const std::string& path, const ExpectedFailure& failure) {
        EXPECT_EQ(error, expected::herdFile(path, failure));
    };
    writer.readBack = [scene](const fs::path& directory) {
        HerdScene loaded(8);
        EXPECT_NO_THROW(HerdFile::load(loaded, (directory / "scene.herd").string(), binaryLoader()));
        ASSERT_EQ(loaded.herds().size(), scene->herds().size());
        for (std::size_t h = 0; h < loaded.herds().size(); ++h) {
            const Herd& saved = *scene->herds()[h];
            const Herd& read = *loaded.herds()[h];
            ASSERT_EQ(read.instanceCount(), saved.instanceCount());
            for (unsigned i = 0; i < saved.instanceCount(); ++i) {
                EXPECT_EQ(read.instance(i).frame, saved.instance(i).frame);
                // Eight significant digits in the file.
                for (int k = 0; k < 16; ++k)
                    EXPECT_NEAR(read.instance(i).transform.m[k], saved.instance(i).transform.m[k],
                                1e-7f * (1.0f + std::fabs(saved.instance(i).transform.m[k])));
            }
        }
    };
    return writer;
}

WriterUnderTest keysWriter()
{
    auto cameras = std::make_shared<Cameras>();
    for (std::size_t i = 0; i < cameras->all.size(); ++i)
        cameras->all[i]->setKeys({{0.0f, 0.5f * i}, {12.0f, -1.25f}, {40.0f, 3.0f + i}});
    WriterUnderTest writer;
    writer.name = "camera keys";
    writer.files = {"flight.keys"};
    writer.write = inProcess([cameras](const fs::path& directory) -> std::optional<std::string> {
        const std::string path = (directory / "flight.keys").string();
        // The command shows every failure under its caption.
        if (auto thrown = reported([&] { saveCameraKeys(path, cameras->all); }))
            return "Error saving camera keys: " + *thrown;
        return std::nullopt;
    });
    writer.checkError = [](const std::string& error, const std::string& path, const ExpectedFailure& failure) {
        EXPECT_EQ(error, "Error saving camera keys: " + expected::cameraKeys(path, failure));
    };
    writer.readBack = [cameras](const fs::path& directory) {
        Cameras loaded;
        EXPECT_NO_THROW(loadCameraKeys((directory / "flight.keys").string(), loaded.all));
        for (std::size_t i = 0; i < loaded.all.size(); ++i) EXPECT_EQ(loaded.all[i]->keys(), cameras->all[i]->keys()) << i;
    };
    return writer;
}

WriterUnderTest skinWriter(const Sources& sources)
{
    const std::vector<SkinRecord>* records = &sources.skinRecords;
    WriterUnderTest writer;
    writer.name = "binary skin";
    writer.files = {"pasture.bin"};
    writer.write = inProcess([records](const fs::path& directory) {
        return reported([&] { writeSkinFile(directory / "pasture.bin", *records); });
    });
    writer.checkError = [](const std::string& error, const std::string& path, const ExpectedFailure& failure) {
        EXPECT_EQ(error, expected::atomicWriter(path, failure));
    };
    writer.readBack = [records](const fs::path& directory) {
        EXPECT_EQ(fileBytes(directory / "pasture.bin"), fixtures::bytesOf(*records));
        const SkinFile file = loadBinarySkinFile((directory / "pasture.bin").string());
        ASSERT_EQ(file.skins.size(), 2u);
        EXPECT_EQ(file.skins[0]->vertexCount(), 91u * 91u);
    };
    return writer;
}

WriterUnderTest objExportWriter(const Sources& sources)
{
    const SkinFile file = loadBinarySkinFile(sources.quad);
    std::shared_ptr<Skin> skin = file.skins.at(0);
    std::vector<PlacedFrame> animals;
    for (unsigned i = 0; i < 300; ++i) {
        PlacedFrame animal;
        animal.frame = i % 5;
        animal.transform.m[3] = 2.5f * static_cast<float>(i % 20);
        animal.transform.m[11] = -1.5f * static_cast<float>(i / 20);
        animals.push_back(animal);
    }
    WriterUnderTest writer;
    writer.name = "OBJ export";
    writer.files = {"herd.obj"};
    writer.write = inProcess([skin, animals](const fs::path& directory) {
        const std::string path = (directory / "herd.obj").string();
        return reported([&] {
            ObjFile model(ObjFile::Empty{}, path, path);
            appendPlacedSkin(model, *skin, animals);
            model.write(path);
        });
    });
    writer.checkError = [](const std::string& error, const std::string& path, const ExpectedFailure& failure) {
        EXPECT_EQ(error, expected::objFile(path, failure));
    };
    writer.readBack = [skin, animals](const fs::path& directory) {
        const ObjFile read((directory / "herd.obj").string());
        EXPECT_EQ(read.vertices().size(), animals.size() * skin->vertexCount());
        EXPECT_EQ(read.groups().size(), animals.size());
    };
    return writer;
}

// flexherd-mksample's files, each through the generator's own writer function.
WriterUnderTest sampleWriter()
{
    const auto record = std::make_shared<SkinRecord>(fixtures::quad("sample", 4));
    const auto tracks = std::make_shared<std::vector<CameraKeyTrack>>(herdFlyby(60));
    const auto picture = std::make_shared<RgbImage>(24, 16);
    for (int y = 0; y < picture->height(); ++y)
        for (int x = 0; x < picture->width(); ++x) picture->set(x, y, {x / 24.0f, y / 16.0f, 0.5f});
    WriterUnderTest writer;
    writer.name = "sample files";
    writer.files = {"sample.png", "sky.jpg", "sample.txt", "sample.obj", "sample.mtl", "sample.light", "flyby.keys"};
    writer.write = inProcess([=](const fs::path& directory) {
        return reported([&] {
            writePng(directory / "sample.png", *picture);
            writeJpeg(directory / "sky.jpg", *picture, 90);
            writeTextSkin(directory / "sample.txt", *record, "sample.obj");
            writeObj(directory / "sample.obj", *record, "sample.mtl", "coat");
            writeMtl(directory / "sample.mtl", "coat", "sample.png");
            writeLightingFile(directory / "sample.light", *record);
            writeCameraKeys(directory / "flyby.keys", *tracks);
        });
    });
    writer.checkError = [](const std::string& error, const std::string& path, const ExpectedFailure& failure) {
        EXPECT_EQ(error, expected::atomicWriter(path, failure));
    };
    writer.readBack = [=](const fs::path& directory) {
        // Exactly what the generator's encoders make.
        EXPECT_EQ(fileBytes(directory / "sample.txt"), textSkinText(*record, "sample.obj"));
        EXPECT_EQ(fileBytes(directory / "sample.obj"), objText(*record, "sample.mtl", "coat"));
        EXPECT_EQ(fileBytes(directory / "sample.mtl"), mtlText("coat", "sample.png"));
        EXPECT_EQ(fileBytes(directory / "sample.light"), lightingFileBytes(*record));
        EXPECT_EQ(fileBytes(directory / "flyby.keys"), cameraKeysBytes(*tracks));
        EXPECT_EQ(fileBytes(directory / "sample.png").value_or("").substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_EQ(fileBytes(directory / "sky.jpg").value_or("").substr(0, 2), "\xFF\xD8");
    };
    return writer;
}

std::vector<WriterUnderTest> everyWriter(const Sources& sources)
{
    return {herdWriter(sources), keysWriter(), skinWriter(sources), objExportWriter(sources), sampleWriter()};
}

} // namespace

TEST(WriterFaults, EveryWriterSurvivesEveryFaultAtEveryCall)
{
    const Sources sources;
    int total = 0;
    int index = 0;
    for (const WriterUnderTest& writer : everyWriter(sources)) {
        TempDirectory dir("writer-faults-" + std::to_string(index++));
        const FaultTally tally = expectSoundUnderEveryFault(writer, dir.path());
        EXPECT_GT(tally.total(), 0) << writer.name;
        total += tally.total();
    }
    std::cout << "[ faults   ] " << total << " faults injected in all\n";
}

TEST(WriterFaults, EveryWriterRefusesUnwritablePaths)
{
    const Sources sources;
    int index = 0;
    for (const WriterUnderTest& writer : everyWriter(sources)) {
        TempDirectory dir("writer-paths-" + std::to_string(index++));
        expectSoundOnUnwritablePaths(writer, dir.path());
    }
}
