#include "SkinSummary.h"
#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include "foundation/Exception.h"
#include "skin/Skin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class SkinSummaryTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) { return m_scratch.write(name, bytes); }

    TempDirectory m_scratch;
    const std::filesystem::path& m_dir = m_scratch.path();
};

} // namespace

TEST_F(SkinSummaryTest, DescribesEveryRecordAndItsNextSkins)
{
    SkinRecord fine = fixtures::quad("fine", 3);
    fine.nextSkin = std::make_shared<SkinRecord>(fixtures::grid("shadow", 3, 2));
    const std::string path = write("herd.bin", fixtures::bytesOf({fine, fixtures::grid("coarse", 4, 4)}));
    const auto report = describeFile(path);
    ASSERT_FALSE(report.contains("error")) << report.dump();
    EXPECT_EQ(report.begin().key(), "file") << "the file comes first";
    EXPECT_EQ(report["file"], path);
    ASSERT_EQ(report["skins"].size(), 2u);

    const auto& first = report["skins"][0];
    const std::vector<std::string> keys = {"name", "vertices", "triangles", "bones", "frames", "displacementBasis",
                                           "normalBasis", "lightingBasis", "lightingFrames", "maxInfluences",
                                           "textureFile", "boundingBox", "strips", "listTriangles", "acmr",
                                           "nextSkin"};
    std::vector<std::string> actual;
    for (auto it = first.begin(); it != first.end(); ++it) actual.push_back(it.key());
    EXPECT_EQ(actual, keys);
    EXPECT_EQ(first["name"], "fine");
    EXPECT_EQ(first["vertices"], 4);
    EXPECT_EQ(first["triangles"], 2);
    EXPECT_EQ(first["bones"], 2);
    EXPECT_EQ(first["frames"], 3);
    EXPECT_EQ(first["lightingBasis"], 1);
    EXPECT_EQ(first["lightingFrames"], 3);
    EXPECT_EQ(first["maxInfluences"], 2);
    EXPECT_EQ(first["textureFile"], "coat.png");
    EXPECT_EQ(first["boundingBox"], nlohmann::ordered_json::parse("[0.0,0.0,0.0,1.0,2.0,0.0]"));
    // Two triangles sharing an edge make one strip of four indices: four misses, two triangles.
    EXPECT_EQ(first["strips"], 1);
    EXPECT_EQ(first["listTriangles"], 0);
    EXPECT_DOUBLE_EQ(first["acmr"].get<double>(), 2.0);

    const auto& shadow = first["nextSkin"];
    ASSERT_TRUE(shadow.is_object());
    EXPECT_EQ(shadow["name"], "shadow");
    EXPECT_EQ(shadow["triangles"], 12);
    EXPECT_TRUE(shadow["nextSkin"].is_null());
    EXPECT_EQ(report["skins"][1]["name"], "coarse");
    EXPECT_LT(report["skins"][1]["acmr"].get<double>(), 1.0) << "a grid strips well";
}

TEST_F(SkinSummaryTest, ReportsFailuresAsTheErrorBoxWould)
{
    {
        const std::string path = (m_dir / "missing.bin").string();
        const auto report = describeFile(path);
        EXPECT_EQ(report.dump(), nlohmann::ordered_json({{"file", path},
                                                         {"error",
                                                          {{"caption", "Error reading skin"},
                                                           {"message", "Unable to open file '" + path +
                                                                           "' for reading."}}}})
                                     .dump());
    }
    {
        SkinRecord bad = fixtures::quad("bad", 2);
        bad.meanLighting.pop_back();
        const auto report = describeFile(write("bad.bin", fixtures::bytesOf({bad})));
        EXPECT_EQ(report["error"]["message"], "Mean lighting data does not match vertex data; found 3 vertices in "
                                              "lighting data but skin has 4 vertices.");
    }
    {
        // A name length the rest of the file cannot hold.
        const auto report = describeFile(write("walk.keys", "whatever"));
        EXPECT_EQ(report["error"]["caption"], "Error reading camera keys");
    }
}

TEST_F(SkinSummaryTest, MalformedFilesNeverCrashIt)
{
    SkinRecord fine = fixtures::quad("fine", 2);
    fine.nextSkin = std::make_shared<SkinRecord>(fixtures::quad("shadow", 2));
    const std::string bytes = fixtures::bytesOf({fine});
    // Every prefix, and every single byte flipped to 0xFF: each gives a report, never a crash.
    for (std::size_t length = 1; length < bytes.size(); length += 7) {
        const auto report = describeFile(write("cut.bin", bytes.substr(0, length)));
        ASSERT_TRUE(report.contains("error")) << length;
        EXPECT_EQ(report["error"]["message"], "Caught exception reading file.");
    }
    // A flipped byte may leave a readable file: the report then names the records the record
    // reader itself finds in the bytes; else it gives the reader's message for the first record.
    int readable = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(0xFF);
        const auto report = describeFile(write("flip.bin", flipped));

        std::istringstream in(flipped);
        std::vector<std::string> names;
        std::string failure;
        try {
            while (in.tellg() < std::streamoff(flipped.size())) names.push_back(Skin(in).name());
        } catch (const CreationException& e) {
            if (names.empty()) failure = e.message();
        }
        if (!failure.empty()) {
            ASSERT_TRUE(report.contains("error")) << "byte " << at << ": " << report.dump();
            EXPECT_EQ(report["error"]["message"], failure) << "byte " << at;
            continue;
        }
        ++readable;
        ASSERT_TRUE(report.contains("skins")) << "byte " << at << ": " << report.dump();
        ASSERT_EQ(report["skins"].size(), names.size()) << "byte " << at;
        for (std::size_t k = 0; k < names.size(); ++k) EXPECT_EQ(report["skins"][k]["name"], names[k]) << "byte " << at;
    }
    // Both outcomes occur: float fields take any bytes, counts and lengths do not.
    EXPECT_GT(readable, 0);
    EXPECT_LT(readable, int(bytes.size()));
}

TEST(SkinSummaryText, PrintsOneParagraphPerRecord)
{
    std::istringstream in(fixtures::bytesOf({fixtures::quad("quad", 3)}));
    const Skin skin(in);
    const nlohmann::ordered_json report = {{"file", "q.bin"}, {"skins", {describeSkin(skin)}}};
    std::ostringstream out;
    printFileReport(out, report);
    const std::string text = out.str();
    EXPECT_NE(text.find("q.bin\n  record 0:\n    name:               quad\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ACMR:               2.000"), std::string::npos) << text;
}
