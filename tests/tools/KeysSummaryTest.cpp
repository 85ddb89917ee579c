// flexherd-info on camera keys files: the records as they stand in the file, and failures in
// the words of the viewer's "Load camera animation" command.

#include "KeysSummary.h"
#include "SkinSummary.h"
#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>

namespace {

// Little-endian record bytes, as the viewer writes them.
class KeysBytes {
public:
    KeysBytes& int32(std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xff));
        return *this;
    }
    KeysBytes& float32(float value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        return int32(static_cast<std::int32_t>(bits));
    }
    KeysBytes& name(const std::string& text)
    {
        int32(static_cast<std::int32_t>(text.size()));
        m_bytes += text;
        return *this;
    }
    // A record with keys at the frames, each valued frame / 10.
    KeysBytes& record(const std::string& text, const std::vector<std::int32_t>& frames)
    {
        name(text);
        int32(static_cast<std::int32_t>(frames.size()));
        for (const std::int32_t frame : frames) int32(frame).float32(static_cast<float>(frame) / 10.0f);
        return *this;
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

class KeysSummaryTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) { return m_scratch.write(name, bytes); }
    TempDirectory m_scratch;
};

nlohmann::ordered_json errorOf(const std::string& path, const std::string& caption, const std::string& message)
{
    return {{"file", path}, {"error", {{"caption", caption}, {"message", message}}}};
}

} // namespace

TEST_F(KeysSummaryTest, ListsEachRecordInFileOrderWithItsKeyCountAndFirstAndLastFrame)
{
    // Two azimuths (one per camera), keys out of order as a hand-made file may have them.
    const std::string path = write("flight.keys", KeysBytes()
                                                      .int32(3)
                                                      .record("azimuth", {0, 40, 100})
                                                      .record("dolly", {})
                                                      .record("azimuth", {30, 5})
                                                      .bytes());
    const auto report = describeFile(path);
    const nlohmann::ordered_json expected = {
        {"file", path},
        {"records",
         {{{"name", "azimuth"}, {"keys", 3}, {"first", 0}, {"last", 100}},
          {{"name", "dolly"}, {"keys", 0}, {"first", nullptr}, {"last", nullptr}},
          {{"name", "azimuth"}, {"keys", 2}, {"first", 30}, {"last", 5}}}}};
    EXPECT_EQ(report.dump(), expected.dump());

    std::ostringstream text;
    printFileReport(text, report);
    EXPECT_EQ(text.str(), path + "\n  'azimuth': 3 keys, frames 0 to 100\n  'dolly': 0 keys\n"
                                 "  'azimuth': 2 keys, frames 30 to 5\n");

    const std::string empty = write("empty.keys", KeysBytes().int32(0).bytes());
    EXPECT_EQ(describeFile(empty).dump(),
              (nlohmann::ordered_json{{"file", empty}, {"records", nlohmann::ordered_json::array()}}).dump());
}

TEST_F(KeysSummaryTest, ReportsFailuresWithTheLoadCommandsCaptionAndMessage)
{
    const std::string missing = (m_scratch.path() / "missing.keys").string();
    EXPECT_EQ(describeFile(missing).dump(),
              errorOf(missing, "Error loading camera keys", "Error opening keys file '" + missing + "' for reading.")
                  .dump());

    const std::string roll = write("roll.keys", KeysBytes().int32(1).record("roll", {1}).bytes());
    EXPECT_EQ(describeFile(roll).dump(),
              errorOf(roll, "Error loading camera keys", "Unknown attribute 'roll'.").dump());

    const std::string unnamed = write("unnamed.keys", KeysBytes().int32(1).record("", {1}).bytes());
    EXPECT_EQ(describeFile(unnamed).dump(),
              errorOf(unnamed, "Error loading camera keys", "Expected: attribute name").dump());

    // Cut inside the third record's keys: the viewer keeps two records and shows a read error.
    const std::string whole =
        KeysBytes().int32(3).record("fov", {0, 10}).record("dolly", {0}).record("elevation", {0, 5, 9}).bytes();
    const std::string cut = write("cut.keys", whole.substr(0, whole.size() - 6));
    const auto report = describeFile(cut);
    ASSERT_TRUE(report.contains("error")) << report.dump();
    EXPECT_EQ(report["error"]["caption"], "Error reading camera keys");
    EXPECT_EQ(report["error"]["message"].get<std::string>().rfind("Error reading file '" + cut + "': ", 0), 0u)
        << report["error"]["message"];
}

TEST_F(KeysSummaryTest, EveryPrefixOfAFileGivesAReport)
{
    const std::string whole = KeysBytes().int32(2).record("azimuth", {0, 10}).record("port", {3}).bytes();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const auto report = describeFile(write("prefix.keys", whole.substr(0, length)));
        EXPECT_TRUE(report.contains("error")) << length;
    }
    EXPECT_TRUE(describeFile(write("prefix.keys", whole)).contains("records"));
}
