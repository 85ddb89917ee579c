#include "HerdTestSkins.h"
#include "TempDirectory.h"

#include "HerdSummary.h"
#include "SkinSummary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>


namespace {

const BoundingBox kBox({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f});

std::string entries(float x)
{
    std::ostringstream out;
    out << "1 0 0 " << x << " 0 1 0 0 0 0 1 0 0 0 0 1";
    return out.str();
}

} // namespace

TEST(HerdSummary, ListsEachSkinLineWithItsLevelsAndInstances)
{
    TempDirectory dir("herdinfo");
    const std::string cows = dir.file("cows.bin"), sheep = dir.file("sheep.bin");
    herdtest::writeBoxSkinFile(cows, "cow", 2, 10, kBox);
    herdtest::writeBoxSkinFile(sheep, "sheep", 1, 10, kBox);
    const std::string path = dir.file("farm.herd");
    std::ofstream(path) << cows << "\n0 " << entries(0) << "\n3 " << entries(5) << "\n\n" << sheep << "\n" << cows << "\n2 "
                        << entries(9) << "\n";

    const auto report = describeFile(path);
    EXPECT_EQ(report.dump(), "{\"file\":\"" + path + "\",\"herds\":[{\"skin\":\"" + cows +
                                 "\",\"levels\":2,\"instances\":2},{\"skin\":\"" + sheep +
                                 "\",\"levels\":1,\"instances\":0},{\"skin\":\"" + cows +
                                 "\",\"levels\":2,\"instances\":1}]}");
    std::ostringstream text;
    printFileReport(text, report);
    EXPECT_EQ(text.str(), path + "\n  herd 0: skin '" + cows + "', 2 levels, 2 instances\n  herd 1: skin '" + sheep +
                              "', 1 level, 0 instances\n  herd 2: skin '" + cows + "', 2 levels, 1 instance\n");
}

TEST(HerdSummary, ReportsErrorsAsTheLoadHerdCommandShowsThem)
{
    TempDirectory dir("herdinfo");
    const std::string cows = dir.file("cows.bin");
    herdtest::writeBoxSkinFile(cows, "cow", 1, 10, kBox);
    {
        const std::string path = dir.file("missing.herd");
        EXPECT_EQ(describeFile(path).dump(), "{\"file\":\"" + path +
                                                 "\",\"error\":{\"caption\":\"Error reading herd\",\"message\":"
                                                 "\"Unable to open file '" + path + "' for reading.\\n\"}}");
    }
    {
        const std::string path = dir.file("bad.herd");
        std::ofstream(path) << cows << "\n5 1 2 3\n";
        const auto report = describeFile(path);
        EXPECT_EQ(report["error"]["caption"], "Error reading herd");
        EXPECT_EQ(report["error"]["message"],
                  "Invalid line 2 in file '" + path + "': expected 16 entries and found 3");
    }
    {
        // A skin that cannot be read shows the skin loader's own box.
        const std::string path = dir.file("noskin.herd");
        const std::string skin = dir.file("gone.bin");
        std::ofstream(path) << cows << "\n" << skin << "\n";
        const auto report = describeFile(path);
        EXPECT_EQ(report["error"]["caption"], "Error reading skin");
        EXPECT_EQ(report["error"]["message"], "Unable to open file '" + skin + "' for reading.");
    }
    {
        // Text skin lines go to the text skin reader, as in the open command.
        const std::string path = dir.file("text.herd");
        std::ofstream(path) << "horse.txt\n";
        const auto report = describeFile(path);
        EXPECT_EQ(report["error"]["caption"], "Error reading skin");
        EXPECT_EQ(report["error"]["message"], "Unable to open skin file 'horse.txt'.");
    }
    {
        // A text skin whose mesh is malformed: the OBJ reader's message under the file caption.
        std::ofstream(dir.file("bad.obj")) << "v 1 2\n";
        std::ofstream(dir.file("bad.txt")) << "*OBJFILENAME\nbad.obj\n";
        const std::string path = dir.file("badmesh.herd");
        std::ofstream(path) << dir.file("bad.txt") << "\n";
        const auto report = describeFile(path);
        EXPECT_EQ(report["error"]["caption"], "Error reading file");
        EXPECT_EQ(report["error"]["message"], "Invalid vertex");
    }
    {
        std::ofstream(dir.file("tri.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
        std::ofstream(dir.file("tri.txt")) << "*OBJFILENAME\ntri.obj\n";
        const std::string path = dir.file("tri.herd");
        std::ofstream(path) << dir.file("tri.txt") << "\n0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";
        const auto report = describeFile(path);
        ASSERT_FALSE(report.contains("error")) << report.dump();
        ASSERT_EQ(report["herds"].size(), 1u);
        EXPECT_EQ(report["herds"][0]["skin"], dir.file("tri.txt"));
        EXPECT_EQ(report["herds"][0]["instances"], 1);
    }
}
