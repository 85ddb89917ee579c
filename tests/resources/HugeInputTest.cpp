// Files of a gigabyte, and files whose counts claim far more, given to every reader: each is
// refused, or read, within bounded memory. The files are made as the test runs: sparse files
// (a header, then a gigabyte of zeros that takes no disk) and named pipes fed by a writer
// process (a gigabyte of well-formed lines that never touches the disk). Each reading runs in a
// child process under an address-space limit, which reports how far its resident memory rose.

#include "ChildRun.h"
#include "HerdTestSkins.h"
#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"
#include "foundation/MemoryBudget.h"
#include "herd/HerdFile.h"
#include "herd/HerdScene.h"
#include "skin/BinarySkinLoader.h"
#include "skin/ObjFile.h"
#include "skin/ObjMaterial.h"
#include "skin/TextSkinReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <streambuf>

namespace fs = std::filesystem;
using childrun::allowedMiB;

namespace {

constexpr std::uint64_t kGigabyte = std::uint64_t(1) << 30;
constexpr double kBudgetMiB = double(MemoryBudget::kSkinFileBytes >> 20);
// What a refusal before any large allocation may cost: the read window and small arrays.
constexpr double kRefusalMiB = 16;
// What a refusal once the budget is used up may cost: while an array that grows by doubling
// moves, its old and new storage both hold the data, so up to twice the budget, and the window.
constexpr double kBudgetRefusalMiB = 2 * kBudgetMiB + kRefusalMiB;

std::string budgetMessage(const std::string& path)
{
    return MemoryBudget(MemoryBudget::kSkinFileBytes).tooLargeMessage(path);
}

std::string u32(std::uint32_t value)
{
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

// Checks the outcome and prints the figure it was judged by.
void expectOutcome(const char* what, const childrun::Outcome& outcome, const std::string& result, double boundMiB)
{
    std::cout << what << ": peak " << outcome.peakGrowthMiB << " MiB (bound " << allowedMiB(boundMiB) << "): "
              << outcome.result.substr(0, 120) << std::endl;
    ASSERT_TRUE(outcome.finished) << what << ": " << outcome.result;
    EXPECT_EQ(outcome.result, result) << what;
    EXPECT_LT(outcome.peakGrowthMiB, allowedMiB(boundMiB)) << what;
}

class HugeInput : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (m_directory.path() / name).string(); }
    TempDirectory m_directory{"huge"};
};

std::string readBinarySkin(const std::string& path)
{
    try {
        const SkinFile file = loadBinarySkinFile(path);
        return "read " + std::to_string(file.skins.size()) + " skins";
    } catch (const Exception& e) {
        return e.message();
    }
}

// The fields of a record up to the position count, with T triangles and nothing else.
std::string recordHead(const std::string& name, std::uint32_t triangles)
{
    return u32(static_cast<std::uint32_t>(name.size())) + name + u32(0) + u32(triangles);
}

} // namespace

TEST_F(HugeInput, BinarySkinsClaimingMoreThanTheFileOrTheBudgetAreRefusedBeforeAllocating)
{
    struct Case {
        const char* what;
        std::string header; // the rest of the gigabyte is zeros
        bool pastTheFile;   // the claim exceeds the file (else it fits the file but not the budget)
    };
    // Fields up to and including the frame box count, all empty, for a record with no triangles.
    const std::string emptyHead = recordHead("huge", 0) + u32(0) /*groups*/ + u32(0) /*positions*/ + u32(0) +
                                  u32(0) + std::string(24, '\0') /*box*/ + u32(0) /*frame boxes*/;
    const Case cases[] = {
        {"name of 4 GiB", u32(0xFFFFFFFFu), true},
        {"name of 900 MiB", u32(900u << 20), false},
        {"48 GiB of triangles", recordHead("huge", 0xFFFFFFFFu), true},
        {"960 MiB of triangles", recordHead("huge", 80u << 20), false},
        {"800 MiB of positions", recordHead("huge", 0) + u32(0) + u32(70u << 20), false},
        {"200 million bones", emptyHead + u32(200u << 20), false},
        {"a bone of 20 million frames", emptyHead + u32(1) + u32(20u << 20), false},
        {"a 64 Ki x 64 Ki correction basis (16 GiB)", emptyHead + u32(0) + u32(65536) + u32(65536), true},
    };
    for (const Case& c : cases) {
        const std::string file = path("huge.bin");
        childrun::writeSparseFile(file, c.header, kGigabyte);
        const std::string expected = c.pastTheFile ? "Caught exception reading file." : budgetMessage(file);
        expectOutcome(c.what, childrun::run([&] { return readBinarySkin(file); }), expected, kRefusalMiB);
    }
}

TEST_F(HugeInput, FrameBoxesMissingFromABinarySkinAreMeasuredWithoutKeepingTheFrames)
{
    // 65,536 vertices and 1,000 frames without stored boxes: measured by skinning every frame,
    // which must not keep the 1.5 GiB of skinned frames.
    SkinRecord record = fixtures::grid("long", 255, 255);
    record.bones.assign(1, {});
    for (unsigned f = 0; f < 1000; ++f)
        record.bones[0].push_back(AffineTransform{Matrix3f::diagonal(1), {0, 0.001f * float(f), 0}});
    record.lightingCoordinates.resize(0, 1000);
    record.frameBoxes.clear();
    ASSERT_EQ(record.positions.size(), 65536u);
    const std::string file = m_directory.write("long.bin", fixtures::bytesOf({record}));
    // The skin itself holds about 12 MiB with its strips.
    expectOutcome("1,000 unboxed frames of 65,536 vertices", childrun::run([&] {
                      SkinFile skins;
                      try {
                          skins = loadBinarySkinFile(file);
                      } catch (const Exception& e) {
                          return e.message();
                      }
                      const Skin& skin = *skins.skins.front();
                      std::ostringstream out;
                      out << skin.frameCount() << " frames, top " << skin.boundingBox().maximum.y;
                      return out.str();
                  }),
                  "1000 frames, top 255.999", 64);
}

TEST_F(HugeInput, TextSkinsOfAGigabyteAreRefusedWithinTheBudget)
{
    m_directory.write("mesh.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const auto readTextSkin = [](const std::string& file, const std::string& lighting) {
        return [file, lighting] {
            Skin skin(file, lighting, "huge");
            return std::string("read");
        };
    };
    {
        const std::string file = path("zeros.txt");
        childrun::writeSparseFile(file, "", kGigabyte);
        expectOutcome("a gigabyte of zeros", childrun::run(readTextSkin(file, "")),
                      "Line 1 of .skin file '" + file + "' is longer than 999999 characters.", kRefusalMiB);
    }
    const std::string head = "*OBJFILENAME\nmesh.obj\n*VERTEXWEIGHTS, NVERTICES=3\n0 0 1\n1 0 1\n2 0 1\n";
    {
        childrun::GeneratedFile file(path("frames.txt"), head + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n",
                                     [](std::uint64_t i) {
                                         return std::to_string(i) + " 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";
                                     },
                                     kGigabyte);
        expectOutcome("a gigabyte of bone frames", childrun::run(readTextSkin(file.path(), "")),
                      budgetMessage(file.path()), kBudgetRefusalMiB);
    }
    {
        // Each bone command once reserved room for NFRAMES frames before any was given.
        childrun::GeneratedFile file(path("bones.txt"), head,
                                     [](std::uint64_t i) {
                                         return "*BONEANIMATION, NFRAMES=4096, BONEINDEX=" + std::to_string(i) + "\n";
                                     },
                                     kGigabyte);
        expectOutcome("a gigabyte of bone commands", childrun::run(readTextSkin(file.path(), "")),
                      budgetMessage(file.path()), kBudgetRefusalMiB);
    }
    {
        childrun::GeneratedFile file(path("coordinates.txt"),
                                     head + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                                            "*DISPLACEMENTBASIS\n0\n0\n0\n0\n0\n0\n0\n0\n0\n"
                                            "*DISPLACEMENTCOORDS, NFRAMES=2000000000\n",
                                     [](std::uint64_t) { return std::string("0\n"); }, kGigabyte);
        expectOutcome("a gigabyte of one-number coefficient rows", childrun::run(readTextSkin(file.path(), "")),
                      budgetMessage(file.path()), kBudgetRefusalMiB);
    }
    {
        // A lighting file of a gigabyte whose colours fit the file but not the budget.
        const std::string skinFile = m_directory.write("lit.txt", head + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n"
                                                                         "0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n");
        const std::string lighting = path("huge.light");
        childrun::writeSparseFile(lighting, u32(80u << 20), kGigabyte);
        expectOutcome("a lighting file of a gigabyte", childrun::run(readTextSkin(skinFile, lighting)),
                      budgetMessage(skinFile), kRefusalMiB);
    }
}

TEST_F(HugeInput, ObjAndMtlFilesOfAGigabyteAreRefusedWithinTheBudget)
{
    const auto readObj = [](const std::string& file) {
        return [file] {
            ObjFile obj(file);
            return "read " + std::to_string(obj.vertexCount()) + " vertices";
        };
    };
    {
        const std::string file = path("zeros.obj");
        childrun::writeSparseFile(file, "", kGigabyte);
        expectOutcome("an OBJ file of zeros", childrun::run(readObj(file)),
                      "Line longer than 9999 characters in .obj file '" + file + "'", kRefusalMiB);
    }
    m_directory.write("one.mtl", "newmtl coat\nKd 1 1 1\n");
    const std::pair<const char*, std::string> lines[] = {
        {"a gigabyte of vertices", "v 0 0 0\n"},
        {"a gigabyte of faces", "f 1 2 3\n"},
        {"a gigabyte of groups", "g\n"},
        {"a gigabyte of one library named again and again", "mtllib one.mtl\n"},
    };
    for (const auto& [what, line] : lines) {
        childrun::GeneratedFile file(path("huge.obj"), "", [line = line](std::uint64_t) { return line; }, kGigabyte);
        expectOutcome(what, childrun::run(readObj(file.path())), budgetMessage(file.path()), kBudgetRefusalMiB);
    }

    const auto readMtl = [](const std::string& file) {
        return [file] {
            ObjMaterialLibrary library(file);
            return "read " + std::to_string(library.materials().size()) + " materials";
        };
    };
    {
        const std::string file = path("zeros.mtl");
        childrun::writeSparseFile(file, "", kGigabyte);
        expectOutcome("an MTL file of zeros", childrun::run(readMtl(file)),
                      "Error: line longer than 65536 characters at line 1 of '" + file + "'.", kRefusalMiB);
    }
    {
        childrun::GeneratedFile file(path("huge.mtl"), "",
                                     [](std::uint64_t i) { return "newmtl m" + std::to_string(i) + "\n"; }, kGigabyte);
        expectOutcome("a gigabyte of materials", childrun::run(readMtl(file.path())), budgetMessage(file.path()),
                      kBudgetRefusalMiB);
    }
}

namespace {

// A stream of `total` bytes: `header`, then next(0), next(1), ... made as they are read. Steps
// back within what it has made, for readers that peek.
class GeneratedStream : public std::streambuf {
public:
    GeneratedStream(std::string header, std::function<std::string(std::uint64_t)> next, std::uint64_t total)
        : m_pending(std::move(header)), m_next(std::move(next)), m_left(total)
    {
    }

private:
    int_type underflow() override
    {
        if (m_left == 0) return traits_type::eof();
        // Keeps the last bytes handed out in front of the new ones, so a short step back works.
        const std::size_t kept = std::min<std::size_t>(16, m_buffer.size());
        std::string buffer = m_buffer.substr(m_buffer.size() - kept);
        while (m_pending.size() < (std::size_t(1) << 16)) m_pending += m_next(m_index++);
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(m_pending.size(), m_left));
        buffer.append(m_pending, 0, take);
        m_pending.erase(0, take);
        m_left -= take;
        m_buffer = std::move(buffer);
        setg(m_buffer.data(), m_buffer.data() + kept, m_buffer.data() + m_buffer.size());
        return traits_type::to_int_type(*gptr());
    }
    pos_type seekoff(off_type offset, std::ios::seekdir direction, std::ios::openmode) override
    {
        if (direction != std::ios::cur || offset > 0 || -offset > gptr() - eback()) return pos_type(off_type(-1));
        gbump(static_cast<int>(offset));
        return pos_type(off_type(0));
    }

    std::string m_buffer;
    std::string m_pending;
    std::function<std::string(std::uint64_t)> m_next;
    std::uint64_t m_left;
    std::uint64_t m_index = 0;
};

} // namespace

TEST_F(HugeInput, HerdFilesOfAGigabyteStopAtTheirLimits)
{
    const auto readHerd = [](std::string header, std::function<std::string(std::uint64_t)> next) {
        return [header, next] {
            GeneratedStream generated(header, next, kGigabyte);
            std::istream in(&generated);
            HerdScene scene(15);
            const auto loader = [](const std::string& path) {
                SkinFile file;
                file.skins.push_back(herdtest::animalSkin(path, 30));
                return file;
            };
            try {
                HerdFile::load(scene, in, "huge.herd", loader);
            } catch (const Exception& e) {
                return e.message();
            }
            return "read " + std::to_string(scene.totalAnimalCount()) + " animals";
        };
    };
    const std::string animal = "0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";
    // Every animal at its own place, as a saved herd has them: 2 units apart in rows of 1,000.
    expectOutcome("a gigabyte of animals",
                  childrun::run(readHerd("cow.bin\n",
                                         [](std::uint64_t i) {
                                             return "0 1 0 0 " + std::to_string(2 * (i % 1000)) + " 0 1 0 0 0 0 1 " +
                                                    std::to_string(2 * (i / 1000)) + " 0 0 0 1\n";
                                         })),
                  "Invalid line 1000002 in file 'huge.herd': a herd file may hold at most 1000000 animals.", 512);
    expectOutcome("a gigabyte of herds",
                  childrun::run(readHerd("", [](std::uint64_t) { return std::string("cow.bin\n"); })),
                  "Invalid line 257 in file 'huge.herd': a herd file may hold at most 256 herds.", kRefusalMiB + 32);
}

TEST_F(HugeInput, KeysFilesOfAGigabyteAreReadOrRefusedWithinBoundedMemory)
{
    const auto readKeys = [](std::string header, std::function<std::string(std::uint64_t)> next) {
        return [header, next] {
            GeneratedStream generated(header, next, kGigabyte);
            std::istream in(&generated);
            ProjectiveFixedYCamera camera;
            std::vector<std::shared_ptr<AttributeWithKeys>> attributes;
            for (const auto& keyable : camera.keyables()) attributes.push_back(std::make_shared<AttributeWithKeys>(keyable));
            try {
                loadCameraKeys(in, kGigabyte, "huge.keys", attributes);
            } catch (const Exception& e) {
                return e.message();
            }
            std::size_t keys = 0;
            for (const auto& attribute : attributes) keys += attribute->keys().size();
            return "read " + std::to_string(keys) + " keys";
        };
    };
    ProjectiveFixedYCamera camera;
    std::vector<std::string> names;
    for (const auto& keyable : camera.keyables()) names.push_back(keyable->name());
    const std::uint32_t maxKeys = AttributeWithKeys::kMaxKeys;
    // Records of the most keys an attribute may have, for the camera's attributes in turn:
    // 512 records of 2 MiB fill the gigabyte, and each replaces the keys its attribute had.
    const std::uint64_t recordBytes = 8 + 8 * std::uint64_t(maxKeys);
    std::uint64_t fullRecords = 0, bytes = 4;
    std::vector<std::string> recordNames;
    while (bytes + recordBytes + names[fullRecords % names.size()].size() <= kGigabyte) {
        bytes += recordBytes + names[fullRecords % names.size()].size();
        ++fullRecords;
    }
    const auto record = [names, maxKeys](std::uint64_t r) {
        const std::string& name = names[r % names.size()];
        std::string bytes = u32(static_cast<std::uint32_t>(name.size())) + name + u32(maxKeys);
        for (std::uint32_t k = 0; k < maxKeys; ++k) bytes += u32(k) + u32(0x3F800000u);
        return bytes;
    };
    // The last record is cut short by the end of the gigabyte; the ones before read whole.
    expectOutcome("a gigabyte of full key lists",
                  childrun::run(readKeys(u32(static_cast<std::uint32_t>(fullRecords)), record)),
                  "read " + std::to_string(std::uint64_t(maxKeys) * names.size()) + " keys", 96);

    const std::string name = names.front();
    const auto zeros = [](std::uint64_t) { return std::string(4096, '\0'); };
    expectOutcome("a key count past the limit",
                  childrun::run(readKeys(u32(1) + u32(static_cast<std::uint32_t>(name.size())) + name + u32(maxKeys + 1),
                                         zeros)),
                  "Error reading file 'huge.keys': key count " + std::to_string(maxKeys + 1) + " of attribute '" +
                      name + "' exceeds the " + std::to_string(maxKeys) + " keys an attribute may have",
                  kRefusalMiB);
    expectOutcome("a name of 900 MiB", childrun::run(readKeys(u32(1) + u32(900u << 20), zeros)),
                  "Error reading file 'huge.keys': attribute name length " + std::to_string(900u << 20) +
                      " exceeds the 1024 bytes a name may have",
                  kRefusalMiB);
}
