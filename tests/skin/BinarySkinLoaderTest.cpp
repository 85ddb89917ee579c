#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class BinarySkinLoaderTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) { return m_scratch.write(name, bytes); }

    TempDirectory m_scratch;
    const std::filesystem::path& m_dir = m_scratch.path();
};

// The message of the CreationException that f throws (the skin file itself is unusable), or a
// note that none came.
template <typename F>
std::string creationMessage(F f)
{
    try {
        f();
    } catch (const CreationException& e) {
        return e.message();
    } catch (const Exception& e) {
        return "<not a CreationException> " + e.message();
    }
    return "<no exception>";
}

} // namespace

TEST_F(BinarySkinLoaderTest, EveryRecordIsALevelWithTheFileName)
{
    SkinRecord fine = fixtures::quad("fine", 2);
    fine.nextSkin = std::make_shared<SkinRecord>(fixtures::quad("fine shadow", 2));
    const std::string path = write("two.bin", fixtures::bytesOf({fine, fixtures::quad("coarse", 2)}));
    const SkinFile file = loadBinarySkinFile(path);
    ASSERT_EQ(file.skins.size(), 2u) << "a nested next skin is not a level of its own";
    EXPECT_EQ(file.skins[0]->name(), "fine");
    EXPECT_EQ(file.skins[0]->nextSkin()->name(), "fine shadow");
    EXPECT_EQ(file.skins[1]->name(), "coarse");
    EXPECT_EQ(file.skins[0]->fileName(), path);
    EXPECT_EQ(file.skins[1]->fileName(), path);
    EXPECT_EQ(file.directory, m_dir);
}

TEST_F(BinarySkinLoaderTest, TruncationInFirstRecordFailsInLaterRecordIsSilent)
{
    const std::string one = fixtures::bytesOf({fixtures::quad("first", 2)});
    const std::string two = fixtures::bytesOf({fixtures::quad("second", 2)});
    {
        const std::string path = write("a.bin", one.substr(0, one.size() / 2));
        EXPECT_EQ(creationMessage([&] { loadBinarySkinFile(path); }), "Caught exception reading file.");
    }
    {
        const SkinFile file = loadBinarySkinFile(write("b.bin", one + two.substr(0, two.size() - 3)));
        ASSERT_EQ(file.skins.size(), 1u);
        EXPECT_EQ(file.skins[0]->name(), "first");
    }
    {
        SkinRecord bad = fixtures::quad("bad", 2);
        bad.meanLighting.clear();
        const SkinFile file = loadBinarySkinFile(write("c.bin", one + fixtures::bytesOf({bad}) + two));
        ASSERT_EQ(file.skins.size(), 1u) << "a bad later record drops itself and what follows";
    }
}

TEST_F(BinarySkinLoaderTest, UnreadableAndEmptyFilesAreReported)
{
    {
        const std::string path = (m_dir / "missing.bin").string();
        EXPECT_EQ(creationMessage([&] { loadBinarySkinFile(path); }), "Unable to open file '" + path + "' for reading.");
    }
    {
        const std::string path = write("empty.bin", "");
        EXPECT_EQ(creationMessage([&] { loadBinarySkinFile(path); }), "The file '" + path + "' holds no skin.");
    }
    {
        SkinRecord bad = fixtures::quad("bad", 2);
        bad.lightingCoordinates.resize(1, 1);
        const std::string path = write("bad.bin", fixtures::bytesOf({bad}));
        EXPECT_EQ(creationMessage([&] { loadBinarySkinFile(path); }),
                  "Found 1 frames in lighting data  but animation has 2 frames.");
    }
}
