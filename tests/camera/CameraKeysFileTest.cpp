// The camera keys file on the view's eleven attributes of both cameras, without a display:
// round trips, record matching by name, and malformed files that must end in a message.

#include "camera/AttributeWithKeys.h"
#include "camera/CameraKeysFile.h"
#include "camera/OrthoCamera.h"
#include "camera/ProjectiveFixedYCamera.h"
#include "foundation/Exception.h"

#include "AllocationProbe.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using Key = AttributeWithKeys::Key;
using Attributes = std::vector<std::shared_ptr<AttributeWithKeys>>;

// The view's list: perspective camera's keyables, then the orthographic camera's.
struct Cameras {
    std::shared_ptr<ProjectiveFixedYCamera> perspective = std::make_shared<ProjectiveFixedYCamera>();
    std::shared_ptr<OrthoCamera> ortho = std::make_shared<OrthoCamera>();
    Attributes all;

    Cameras()
    {
        for (const auto& keyable : perspective->keyables()) all.push_back(std::make_shared<AttributeWithKeys>(keyable));
        for (const auto& keyable : ortho->keyables()) all.push_back(std::make_shared<AttributeWithKeys>(keyable));
    }
    // Attribute i of the list.
    AttributeWithKeys& at(std::size_t i) { return *all.at(i); }
};

void appendI32(std::string& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFFu);
}

void appendF32(std::string& out, float value)
{
    std::int32_t bits;
    std::memcpy(&bits, &value, 4);
    appendI32(out, bits);
}

void appendRecord(std::string& out, const std::string& name, const std::vector<std::pair<std::int32_t, float>>& keys)
{
    appendI32(out, static_cast<std::int32_t>(name.size()));
    out += name;
    appendI32(out, static_cast<std::int32_t>(keys.size()));
    for (const auto& [frame, value] : keys) {
        appendI32(out, frame);
        appendF32(out, value);
    }
}

class CameraKeysFileTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) { return m_scratch.write(name, bytes); }
    std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    TempDirectory m_scratch{"keys"};
    const fs::path& m_directory = m_scratch.path();
};

// The message of the IOException that f throws, or a note that none came.
template <typename F>
std::string ioMessage(F f)
{
    try {
        f();
    } catch (const CameraKeysReadError& e) {
        return "<read error> " + e.message();
    } catch (const IOException& e) {
        return e.message();
    }
    return "<no IOException>";
}

// The message of the CameraKeysReadError that f throws, or a note that none came.
template <typename F>
std::string readErrorMessage(F f)
{
    try {
        f();
    } catch (const CameraKeysReadError& e) {
        return e.message();
    } catch (const Exception& e) {
        return "<not a read error> " + e.message();
    }
    return "<no CameraKeysReadError>";
}

} // namespace

TEST_F(CameraKeysFileTest, TheViewListIsTheElevenNamesInOrder)
{
    Cameras cameras;
    std::vector<std::string> names;
    for (const auto& attribute : cameras.all) names.push_back(attribute->name());
    EXPECT_EQ(names, (std::vector<std::string>{"azimuth", "elevation", "dolly", "fov", "lookAt.x", "lookAt.y",
                                               "lookAt.z", "azimuth", "port", "center.x", "center.y"}));
}

TEST_F(CameraKeysFileTest, AllElevenAttributesRoundTripIncludingBothAzimuths)
{
    Cameras saved;
    for (std::size_t i = 0; i < saved.all.size(); ++i)
        saved.at(i).setKeys({{0.0f, float(i)}, {10.0f + float(i), -1.5f * float(i)}, {200.0f, 0.25f + float(i)}});
    const std::string path = (m_directory / "all.keys").string();
    ASSERT_NO_THROW(saveCameraKeys(path, saved.all));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_directory), fs::directory_iterator()), 1)
        << "the temporary file is renamed, not left behind";

    // The file itself: eleven records in list order, azimuth twice.
    std::string expected;
    appendI32(expected, 11);
    for (const auto& attribute : saved.all) {
        appendI32(expected, static_cast<std::int32_t>(attribute->name().size()));
        expected += attribute->name();
        appendI32(expected, 3);
        for (const Key& key : attribute->keys()) {
            appendI32(expected, static_cast<std::int32_t>(key.time));
            appendF32(expected, key.value);
        }
    }
    EXPECT_EQ(read(path), expected);

    Cameras loaded;
    ASSERT_NO_THROW(loadCameraKeys(path, loaded.all));
    for (std::size_t i = 0; i < saved.all.size(); ++i)
        EXPECT_EQ(loaded.at(i).keys(), saved.at(i).keys()) << "attribute " << i << " " << saved.at(i).name();
    EXPECT_NE(loaded.at(0).keys(), loaded.at(7).keys()) << "each camera keeps its own azimuth";
}

TEST_F(CameraKeysFileTest, RepeatedNamesGoToTheNthAttributeAndExtrasToTheFirst)
{
    std::string bytes;
    appendI32(bytes, 3);
    appendRecord(bytes, "azimuth", {{1, 1.0f}});
    appendRecord(bytes, "azimuth", {{2, 2.0f}});
    appendRecord(bytes, "azimuth", {{3, 3.0f}});
    Cameras cameras;
    ASSERT_NO_THROW(loadCameraKeys(write("three.keys", bytes), cameras.all));
    EXPECT_EQ(cameras.at(0).keys(), (std::vector<Key>{{3.0f, 3.0f}}));
    EXPECT_EQ(cameras.at(7).keys(), (std::vector<Key>{{2.0f, 2.0f}}));
}

TEST_F(CameraKeysFileTest, RecordCountZeroChangesNothing)
{
    Cameras cameras;
    for (std::size_t i = 0; i < cameras.all.size(); ++i) cameras.at(i).setKeys({{5.0f, float(i)}});
    std::string bytes;
    appendI32(bytes, 0);
    ASSERT_NO_THROW(loadCameraKeys(write("zero.keys", bytes), cameras.all));
    for (std::size_t i = 0; i < cameras.all.size(); ++i)
        EXPECT_EQ(cameras.at(i).keys(), (std::vector<Key>{{5.0f, float(i)}})) << i;
}

TEST_F(CameraKeysFileTest, UnknownNameRaisesAndKeepsTheRecordsBefore)
{
    std::string bytes;
    appendI32(bytes, 2);
    appendRecord(bytes, "dolly", {{0, -20.0f}});
    appendRecord(bytes, "roll", {{0, 1.0f}});
    Cameras cameras;
    const std::string path = write("roll.keys", bytes);
    EXPECT_EQ(ioMessage([&] { loadCameraKeys(path, cameras.all); }), "Unknown attribute 'roll'.");
    EXPECT_EQ(cameras.at(2).keys(), (std::vector<Key>{{0.0f, -20.0f}}));
}

TEST_F(CameraKeysFileTest, EmptyNameRaisesExpectedAttributeName)
{
    std::string bytes;
    appendI32(bytes, 1);
    appendRecord(bytes, "", {{0, 1.0f}});
    Cameras cameras;
    const std::string path = write("empty.keys", bytes);
    EXPECT_EQ(ioMessage([&] { loadCameraKeys(path, cameras.all); }), "Expected: attribute name");
}

TEST_F(CameraKeysFileTest, CutInsideTheThirdRecordsKeysKeepsWhatWasRead)
{
    Cameras cameras;
    cameras.at(3).setKeys({{0.0f, 45.0f}, {99.0f, 60.0f}}); // fov: replaced by the cut record
    cameras.at(4).setKeys({{7.0f, 7.0f}});                 // lookAt.x: named by no record
    std::string bytes;
    appendI32(bytes, 3);
    appendRecord(bytes, "azimuth", {{0, 0.5f}, {10, 1.0f}});
    appendRecord(bytes, "dolly", {{0, -30.0f}, {20, -10.0f}});
    appendRecord(bytes, "fov", {{30, 40.0f}, {0, 50.0f}, {60, 55.0f}});
    // Keep the first two keys of "fov" and half of the third.
    const std::size_t cut = bytes.size() - 8 + 4;
    const std::string path = write("cut.keys", bytes.substr(0, cut));

    const std::string message = readErrorMessage([&] { loadCameraKeys(path, cameras.all); });
    const std::string prefix = "Error reading file '" + path + "': ";
    EXPECT_EQ(message.substr(0, prefix.size()), prefix) << message;
    EXPECT_GT(message.size(), prefix.size()) << "the reason follows";
    EXPECT_EQ(cameras.at(0).keys(), (std::vector<Key>{{0.0f, 0.5f}, {10.0f, 1.0f}}));
    EXPECT_EQ(cameras.at(2).keys(), (std::vector<Key>{{0.0f, -30.0f}, {20.0f, -10.0f}}));
    EXPECT_EQ(cameras.at(3).keys(), (std::vector<Key>{{0.0f, 50.0f}, {30.0f, 40.0f}})) << "the keys read, in order";
    EXPECT_EQ(cameras.at(4).keys(), (std::vector<Key>{{7.0f, 7.0f}}));
}

TEST_F(CameraKeysFileTest, EveryTruncationEndsInAReadErrorWithTheRecordsBeforeIt)
{
    // Records as the file holds them, with a record whose keys are out of order.
    const std::vector<CameraKeysRecord> records = {
        {"azimuth", {{0, 0.5f}, {10, 1.0f}}}, {"dolly", {}}, {"fov", {{60, 55.0f}, {0, 40.0f}, {30, 50.0f}}}};
    const std::string bytes = encodeCameraKeys(records);
    {
        // The bytes, field by field, built independently of the encoder.
        std::string expected;
        appendI32(expected, 3);
        appendRecord(expected, "azimuth", {{0, 0.5f}, {10, 1.0f}});
        appendRecord(expected, "dolly", {});
        appendRecord(expected, "fov", {{60, 55.0f}, {0, 40.0f}, {30, 50.0f}});
        ASSERT_EQ(bytes, expected);
    }
    const std::string whole = write("whole.keys", bytes);
    EXPECT_EQ(readCameraKeysRecords(whole), records);

    // Every shorter prefix: a read error, never another failure, after handing over the
    // records before the cut whole and the cut record with its whole keys.
    class Recorder : public CameraKeysSink {
    public:
        void beginRecord(const std::string& name) override { records.push_back({name, {}}); }
        void endRecord(std::vector<CameraKeysRecord::Key> keys) override { records.back().keys = std::move(keys); }
        std::vector<CameraKeysRecord> records;
    };
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const std::string path = write("prefix.keys", bytes.substr(0, size));
        Recorder recorder;
        EXPECT_EQ(readErrorMessage([&] { readCameraKeysFile(path, recorder); }).rfind("Error reading file '" + path + "': ", 0),
                  0u)
            << "prefix of " << size << " bytes";
        ASSERT_LE(recorder.records.size(), records.size()) << size;
        for (std::size_t r = 0; r < recorder.records.size(); ++r) {
            const CameraKeysRecord& got = recorder.records[r];
            const CameraKeysRecord& full = records[r];
            EXPECT_EQ(got.name, full.name) << size;
            ASSERT_LE(got.keys.size(), full.keys.size()) << size;
            EXPECT_TRUE(std::equal(got.keys.begin(), got.keys.end(), full.keys.begin())) << size;
            if (r + 1 < recorder.records.size()) EXPECT_EQ(got.keys, full.keys) << "records before the cut are whole";
        }
    }
}

TEST_F(CameraKeysFileTest, WholeTimesReadBackAndOthersAreTruncatedTowardZero)
{
    Cameras saved;
    saved.at(1).setKeys({{-3.75f, 1.0f}, {12.0f, 2.0f}, {20.9f, 3.0f}});
    const std::string path = (m_directory / "times.keys").string();
    ASSERT_NO_THROW(saveCameraKeys(path, saved.all));
    Cameras loaded;
    ASSERT_NO_THROW(loadCameraKeys(path, loaded.all));
    EXPECT_EQ(loaded.at(1).keys(), (std::vector<Key>{{-3.0f, 1.0f}, {12.0f, 2.0f}, {20.0f, 3.0f}}));
}

// Counts are checked against the bytes left before anything is allocated for them: no read of
// these few bytes asks for a megabyte (the stream's own buffer is 8 kB), whatever the counts claim.
TEST_F(CameraKeysFileTest, HugeCountsAndLengthsFailBeforeAllocatingForThem)
{
    Cameras cameras;
    const auto expectReadError = [&](const std::string& name, const std::string& bytes) {
        const std::string path = write(name, bytes);
        std::string message;
        {
            const AllocationProbe probe;
            message = readErrorMessage([&] { loadCameraKeys(path, cameras.all); });
            EXPECT_LT(probe.largest(), std::size_t(1) << 20) << name;
        }
        EXPECT_EQ(message.rfind("Error reading file '" + path + "': ", 0), 0u) << name << ": " << message;
    };
    std::string bytes;
    appendI32(bytes, 0x7FFFFFFF);
    appendRecord(bytes, "dolly", {{0, 1.0f}});
    expectReadError("records.keys", bytes);
    EXPECT_EQ(cameras.at(2).keys(), (std::vector<Key>{{0.0f, 1.0f}})) << "the one record present is read";

    bytes.clear();
    appendI32(bytes, 1);
    appendI32(bytes, 0x7FFFFFFF);
    bytes += "dolly";
    expectReadError("namelength.keys", bytes);

    bytes.clear();
    appendI32(bytes, 1);
    appendI32(bytes, -5);
    expectReadError("negativelength.keys", bytes);

    bytes.clear();
    appendI32(bytes, 1);
    appendI32(bytes, 3);
    bytes += "fov";
    appendI32(bytes, 0x7FFFFFFF);
    appendI32(bytes, 4);
    appendF32(bytes, 9.0f);
    expectReadError("keycount.keys", bytes);
    EXPECT_EQ(cameras.at(3).keys(), (std::vector<Key>{{4.0f, 9.0f}}));

    bytes.clear();
    appendI32(bytes, 1);
    appendI32(bytes, 3);
    bytes += "fov";
    appendI32(bytes, -1);
    expectReadError("negativecount.keys", bytes);
    EXPECT_TRUE(cameras.at(3).keys().empty()) << "the old keys are dropped before the count is read";

    expectReadError("empty.keys", "");
}

// Past the most keys a list may hold, reading stops: the keys up to the limit stay and the
// read fails naming the limit, however much more the file has. At the limit the list is whole.
// Names longer than any attribute's are refused before they are read.
TEST_F(CameraKeysFileTest, KeyListsAndNamesStopAtTheirLimits)
{
    const std::uint32_t limit = AttributeWithKeys::kMaxKeys;
    std::vector<std::pair<std::int32_t, float>> keys;
    for (std::uint32_t i = 0; i < limit + 2; ++i) keys.emplace_back(static_cast<std::int32_t>(i), 1.0f);
    for (const std::uint32_t count : {limit, limit + 1}) {
        std::string bytes;
        appendI32(bytes, 1);
        appendRecord(bytes, "fov", keys);
        // The record's key count, after the record count, the name length and the name.
        std::string countBytes;
        appendI32(countBytes, static_cast<std::int32_t>(count));
        bytes.replace(4 + 4 + 3, 4, countBytes);
        Cameras cameras;
        cameras.at(3).setKeys({{5.0f, 5.0f}});
        std::istringstream in(bytes);
        const std::string message = readErrorMessage([&] { loadCameraKeys(in, bytes.size(), "big.keys", cameras.all); });
        if (count > limit)
            EXPECT_EQ(message, "Error reading file 'big.keys': key count " + std::to_string(count) +
                                   " of attribute 'fov' exceeds the " + std::to_string(limit) +
                                   " keys an attribute may have");
        else
            EXPECT_EQ(message, "<no CameraKeysReadError>");
        ASSERT_EQ(cameras.at(3).keys().size(), limit) << count;
        EXPECT_EQ(cameras.at(3).keys().back().time, float(limit - 1)) << count;
    }
    for (const std::int32_t length : {1024, 1025}) {
        std::string bytes;
        appendI32(bytes, 1);
        appendRecord(bytes, std::string(static_cast<std::size_t>(length), 'x'), {});
        std::istringstream in(bytes);
        Cameras cameras;
        const std::string message = readErrorMessage([&] { loadCameraKeys(in, bytes.size(), "name.keys", cameras.all); });
        EXPECT_EQ(message, length > 1024 ? "Error reading file 'name.keys': attribute name length 1025 exceeds the "
                                           "1024 bytes a name may have"
                                         : "<not a read error> Unknown attribute '" + std::string(1024, 'x') + "'.");
    }
}

TEST_F(CameraKeysFileTest, OpeningErrorsRaiseWithThePath)
{
    Cameras cameras;
    const std::string missing = (m_directory / "missing.keys").string();
    EXPECT_EQ(ioMessage([&] { loadCameraKeys(missing, cameras.all); }),
              "Error opening keys file '" + missing + "' for reading.");
    const std::string unwritable = (m_directory / "no-such-directory" / "out.keys").string();
    EXPECT_EQ(ioMessage([&] { saveCameraKeys(unwritable, cameras.all); }),
              "Error opening keys file '" + unwritable + "' for writing.");
}

TEST_F(CameraKeysFileTest, AFailedSaveLeavesNoTemporaryFileAndReportsTheWriteError)
{
    // A directory in the way: the temporary file is written but cannot replace it.
    const fs::path target = m_directory / "taken.keys";
    fs::create_directories(target / "inside");
    Cameras cameras;
    const std::string message = ioMessage([&] { saveCameraKeys(target.string(), cameras.all); });
    EXPECT_EQ(message.rfind("Error writing file '" + target.string() + "': ", 0), 0u) << message;
    EXPECT_EQ(std::distance(fs::directory_iterator(m_directory), fs::directory_iterator()), 1)
        << "only the directory in the way is left";
    EXPECT_TRUE(fs::is_directory(target / "inside"));
}
