#include "HerdTestSkins.h"
#include "TempDirectory.h"

#include "foundation/Exception.h"
#include "herd/BoxRules.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/HerdCollection.h"
#include "herd/HerdFile.h"
#include "herd/HerdScene.h"
#include "herd/LineHerdCreator.h"
#include "herd/SingleHerdCreator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>


namespace {

const BoundingBox kCowBox({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f});

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// The names in a directory: a writer leaves no temporary file beside its target.
std::set<std::string> entries(const std::filesystem::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

HerdFile::SkinFileLoader binaryLoader(std::vector<std::string>* opened = nullptr)
{
    return [opened](const std::string& path) {
        if (opened) opened->push_back(path);
        return loadBinarySkinFile(path);
    };
}

// Sixteen numbers of a translation, as an instance line writes them.
std::string translationEntries(float x, float z)
{
    std::ostringstream out;
    out << "1 0 0 " << x << " 0 1 0 0 0 0 1 " << z << " 0 0 0 1";
    return out.str();
}

// The message HerdFile::load throws for the text, read as a file named "h.herd".
std::string loadError(const std::string& text, HerdScene& scene, const std::string& skinPath)
{
    std::istringstream in(text);
    try {
        HerdFile::load(scene, in, "h.herd", [&](const std::string& path) {
            return loadBinarySkinFile(path == "cow.bin" ? skinPath : path);
        });
    } catch (const HerdFileException& e) {
        return e.message();
    }
    return "(no error)";
}

class HerdFileTest : public ::testing::Test {
protected:
    HerdFileTest() : m_dir("herdfile")
    {
        m_cows = m_dir.file("cows.bin");
        m_sheep = m_dir.file("sheep.bin");
        herdtest::writeBoxSkinFile(m_cows, "cow", 2, 30, kCowBox);
        herdtest::writeBoxSkinFile(m_sheep, "sheep", 3, 12, BoundingBox({-0.5f, 0, -0.3f}, {0.5f, 1, 0.3f}));
    }

    // A scene of cows and sheep as loaded by the viewer, with some animals.
    void fill(HerdScene& scene, unsigned animals)
    {
        for (const std::string& path : {m_cows, m_sheep}) {
            const SkinFile file = loadBinarySkinFile(path);
            scene.addSkin(file.skins, file.directory);
        }
        scene.setAnimalCount(animals);
    }

    TempDirectory m_dir;
    std::string m_cows;
    std::string m_sheep;
};

void expectSameInstances(const Herd& saved, const Herd& loaded)
{
    ASSERT_EQ(loaded.instanceCount(), saved.instanceCount());
    for (unsigned i = 0; i < saved.instanceCount(); ++i) {
        const HerdInstance a = saved.instance(i), b = loaded.instance(i);
        EXPECT_EQ(b.frame, a.frame) << i;
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(b.transform.m[k], a.transform.m[k], 1e-7f * (1.0f + std::fabs(a.transform.m[k]))) << i;
    }
}

} // namespace

TEST_F(HerdFileTest, RoundTripAtTimeZero)
{
    HerdScene saved(1);
    fill(saved, 60);
    const std::string path = m_dir.file("scene.herd");
    HerdFile::write(saved, path);
    EXPECT_EQ(entries(m_dir.path()), (std::set<std::string>{"cows.bin", "sheep.bin", "scene.herd"}));

    HerdScene loaded(2);
    std::vector<std::string> opened;
    EXPECT_NO_THROW(HerdFile::load(loaded, path, binaryLoader(&opened)));
    EXPECT_EQ(opened, (std::vector<std::string>{m_cows, m_sheep}));
    ASSERT_EQ(loaded.herds().size(), 2u);
    EXPECT_EQ(loaded.herds()[0]->levelCount(), 2u);
    EXPECT_EQ(loaded.herds()[1]->levelCount(), 3u);
    EXPECT_EQ(loaded.herds()[1]->skin()->fileName(), m_sheep);
    for (int h = 0; h < 2; ++h) expectSameInstances(*saved.herds()[h], *loaded.herds()[h]);
    EXPECT_EQ(loaded.collection()->size(), 2u);
}

TEST_F(HerdFileTest, ASkinFileNamedAgainIsReadOnceAndItsSkinsShared)
{
    const std::string text = m_cows + "\n0 " + translationEntries(0, 0) + "\n" + m_sheep + "\n" + m_cows + "\n0 " +
                             translationEntries(9, 9) + "\n" + m_cows + "\n";
    std::istringstream in(text);
    HerdScene scene(3);
    std::vector<std::string> opened;
    EXPECT_NO_THROW(HerdFile::load(scene, in, "h.herd", binaryLoader(&opened)));
    EXPECT_EQ(opened, (std::vector<std::string>{m_cows, m_sheep}));
    ASSERT_EQ(scene.herds().size(), 4u);
    EXPECT_EQ(scene.herds()[2]->skin(), scene.herds()[0]->skin());
    EXPECT_EQ(scene.herds()[3]->skin(), scene.herds()[0]->skin());
    EXPECT_NE(scene.herds()[1]->skin(), scene.herds()[0]->skin());
    // The herds are their own all the same: each keeps the animals of its lines.
    EXPECT_EQ(scene.herds()[0]->instanceCount(), 1u);
    EXPECT_EQ(scene.herds()[2]->instanceCount(), 1u);
    EXPECT_EQ(scene.herds()[3]->instanceCount(), 0u);
}

TEST_F(HerdFileTest, RoundTripAtALaterTimeStartsWhereTheAnimalsWere)
{
    HerdScene saved(3);
    fill(saved, 40);
    saved.setFrame(37, true);
    const std::string path = m_dir.file("later.herd");
    HerdFile::write(saved, path);

    HerdScene loaded(4);
    EXPECT_NO_THROW(HerdFile::load(loaded, path, binaryLoader()));
    ASSERT_EQ(loaded.herds().size(), 2u);
    // Loaded at time 0 and standing still, the animals show the saved frames and places.
    for (int h = 0; h < 2; ++h) expectSameInstances(*saved.herds()[h], *loaded.herds()[h]);
    {
        // And they go on from there.
        saved.setFrame(40, false);
        loaded.setFrame(3, false);
        for (int h = 0; h < 2; ++h)
            for (unsigned i = 0; i < loaded.herds()[h]->instanceCount(); ++i)
                EXPECT_EQ(loaded.herds()[h]->instance(i).frame, saved.herds()[h]->instance(i).frame);
    }
}

TEST_F(HerdFileTest, WritesOffsetTwoSpacesAndSixteenNumbersAtEightDigits)
{
    HerdScene scene(5);
    const SkinFile file = loadBinarySkinFile(m_cows);
    const auto herd = scene.addSkin(file.skins, file.directory);
    auto gaussian = std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd());
    Matrix4f placement = Matrix4f::translation({0.123456789f, 0.0f, -3.0f});
    gaussian->addInstance(5, placement);
    gaussian->addInstance(31, Matrix4f::translation({1e-9f, 0.0f, 12345678.9f}));
    const std::string path = m_dir.file("format.herd");
    HerdFile::write(scene, path);
    EXPECT_EQ(readFile(path), m_cows + "\n5  1 0 0 0.12345679 0 1 0 0 0 0 1 -3 0 0 0 1\n" +
                                  "1  1 0 0 9.9999997e-10 0 1 0 0 0 0 1 12345679 0 0 0 1\n");
}

TEST_F(HerdFileTest, SkinPathsStartingWithADigitReadBack)
{
    const std::filesystem::path oldDirectory = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    std::filesystem::copy_file(m_cows, m_dir.path() / "2cows.bin");
    HerdScene scene(6);
    const SkinFile file = loadBinarySkinFile("2cows.bin");
    scene.addSkin(file.skins, file.directory);
    scene.setAnimalCount(3);
    HerdFile::write(scene, "digits.herd");
    const std::string text = readFile("digits.herd");
    HerdScene loaded(7);
    EXPECT_NO_THROW(HerdFile::load(loaded, "digits.herd", binaryLoader()));
    std::filesystem::current_path(oldDirectory);
    EXPECT_EQ(text.substr(0, 12), "./2cows.bin\n");
    ASSERT_EQ(loaded.herds().size(), 1u);
    EXPECT_EQ(loaded.totalAnimalCount(), 3u);
}

TEST_F(HerdFileTest, RefusesHerdsItCannotStoreWithoutTouchingTheFile)
{
    const std::string path = m_dir.file("keep.herd");
    writeFile(path, "old contents\n");
    {
        HerdScene scene(8);
        scene.setHerdCreator(std::make_shared<LineHerdCreator>(3.0));
        fill(scene, 4);
        try {
            HerdFile::write(scene, path);
            FAIL() << "a band herd was saved";
        } catch (const IOException& e) {
            EXPECT_EQ(e.message(), "Cannot save the herd of skin '" + m_cows + "' in '" + path +
                                       "': herd files store only randomly scattered (\"Round\") herds.");
        }
    }
    {
        // A skin made in memory has no file to name.
        HerdScene scene(9);
        scene.addSkin({herdtest::animalSkin("memory")}, "");
        try {
            HerdFile::write(scene, path);
            FAIL() << "a skin without a file was saved";
        } catch (const IOException& e) {
            EXPECT_EQ(e.message(), "Cannot save the herd of skin 'memory' in '" + path +
                                       "': the skin was not read from a file.");
        }
    }
    EXPECT_EQ(readFile(path), "old contents\n");
}

TEST_F(HerdFileTest, ReportsFilesThatCannotBeOpened)
{
    HerdScene scene(10);
    fill(scene, 5);
    {
        const std::string path = m_dir.file("missing/dir/out.herd");
        try {
            HerdFile::write(scene, path);
            FAIL();
        } catch (const IOException& e) {
            EXPECT_EQ(e.message(), "Unable to open file '" + path + "' for writing.\n");
        }
    }
    {
        // Writing goes to a temporary file first; when it cannot take the place of the target
        // (here a directory), the target stays and the temporary file goes.
        const std::string path = m_dir.file("taken");
        std::filesystem::create_directory(path);
        try {
            HerdFile::write(scene, path);
            FAIL();
        } catch (const IOException& e) {
            EXPECT_EQ(e.message().rfind("Error writing file '" + path + "': ", 0), 0u) << e.message();
        }
        EXPECT_TRUE(std::filesystem::is_directory(path));
        EXPECT_EQ(entries(m_dir.path()), (std::set<std::string>{"cows.bin", "sheep.bin", "taken"}));
    }
    for (const std::string& path : {m_dir.file("missing.herd"), m_dir.path().string()}) {
        try {
            HerdFile::load(scene, path, binaryLoader());
            FAIL();
        } catch (const HerdFileException& e) {
            EXPECT_EQ(e.message(), "Unable to open file '" + path + "' for reading.\n");
        }
        EXPECT_EQ(scene.herds().size(), 2u) << "a file that cannot be opened leaves the scene alone";
    }
}

TEST_F(HerdFileTest, ReaderMessagesNameTheLineAndTheFile)
{
    HerdScene scene(11);
    const std::string entries = translationEntries(1, 2);
    auto error = [&](const std::string& text) { return loadError(text, scene, m_cows); };
    {
        // Blank lines count: the instance line is line 3.
        EXPECT_EQ(error("\n   \n0  " + entries + "\n"), "Invalid line 3 in file 'h.herd': expected skin filename.");
    }
    {
        EXPECT_EQ(error("cow.bin\n4 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"),
                  "Invalid line 2 in file 'h.herd': expected 16 entries and found 15");
        EXPECT_EQ(error("cow.bin\n4 " + entries + " 17\n"),
                  "Invalid line 2 in file 'h.herd': expected 16 entries and found 17");
        // An exponent mark without digits ends the numbers there.
        EXPECT_EQ(error("cow.bin\n4 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 1e\n"),
                  "Invalid line 2 in file 'h.herd': expected 16 entries and found 15");
    }
    {
        EXPECT_EQ(error("cow.bin\n7\n"), "Invalid line 2 in file 'h.herd'.");
        EXPECT_EQ(error("cow.bin\n7 x 1 2\n"), "Invalid line 2 in file 'h.herd'.");
        EXPECT_EQ(error("cow.bin\n4294967296 " + entries + "\n"), "Invalid line 2 in file 'h.herd'.")
            << "the offset must fit 32 bits";
    }
    {
        EXPECT_EQ(error("cow.bin\n1 1 0 0 1e39 0 1 0 0 0 0 1 0 0 0 0 1\n"),
                  "Invalid line 2 in file 'h.herd': entry 4 is too large for a single-precision number.");
        EXPECT_EQ(error("cow.bin\n1 1 0 0 1e999 0 1 0 0 0 0 1 0 0 0 0 1\n"),
                  "Invalid line 2 in file 'h.herd': entry 4 is too large for a single-precision number.");
    }
    {
        // The herd made before the bad line stays, with the animals read before it.
        EXPECT_EQ(error("cow.bin\n4 " + entries + "\n3 " + entries + "\ncow.bin\n2 " + entries + "\n2 1\n"),
                  "Invalid line 6 in file 'h.herd': expected 16 entries and found 1");
        EXPECT_EQ(scene.herds().size(), 2u);
        EXPECT_EQ(scene.herds()[0]->instanceCount(), 2u);
        EXPECT_EQ(scene.herds()[1]->instanceCount(), 1u);
    }
}

TEST_F(HerdFileTest, InstanceLinesNeedARoundHerdAbove)
{
    HerdScene scene(12);
    scene.setHerdCreator(std::make_shared<SingleHerdCreator>());
    EXPECT_EQ(loadError("cow.bin\n0 " + translationEntries(0, 0) + "\n", scene, m_cows),
              "Invalid line 2 in file 'h.herd': expected skin filename.");
    EXPECT_EQ(scene.herds().size(), 1u);
}

TEST_F(HerdFileTest, NumbersTakeTheLineGrammarsForms)
{
    HerdScene scene(13);
    std::istringstream in("cow.bin\r\n"
                          "12\t+1. 0 0 .5 -0 1 0 0 0 0 1e+0 -2.5E-1 0 0 0 1   trailing words are ignored\r\n");
    EXPECT_NO_THROW(HerdFile::load(scene, in, "h.herd", [&](const std::string& path) {
        EXPECT_EQ(path, "cow.bin") << "trailing white space (the CR too) is not part of the path";
        return loadBinarySkinFile(m_cows);
    }));
    ASSERT_EQ(scene.totalAnimalCount(), 1u);
    const auto herd = std::dynamic_pointer_cast<GaussianRandomHerd>(scene.herds()[0]->wrappedHerd());
    EXPECT_EQ(herd->placement(0).frame, 12u);
    EXPECT_EQ(herd->placement(0).transform, Matrix4f::translation({0.5f, 0.0f, -0.25f}));
}

TEST_F(HerdFileTest, LeadingWhiteSpaceMakesASkinLine)
{
    HerdScene scene(14);
    std::istringstream in("cow.bin\n1 " + translationEntries(0, 0) + "\n  5 " + translationEntries(3, 0) +
                          "\n1 " + translationEntries(9, 0) + "\n");
    std::vector<std::string> asked;
    std::string message = "(no error)";
    try {
        HerdFile::load(scene, in, "h.herd", [&](const std::string& path) {
            asked.push_back(path);
            return loadBinarySkinFile(path == "cow.bin" ? m_cows : path);
        });
    } catch (const CreationException& e) {
        message = e.message();
    }
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], "  5 " + translationEntries(3, 0));
    EXPECT_EQ(message, "Unable to open file '" + asked[1] + "' for reading.") << "that skin file does not exist";
    // Reading stopped at the failed skin: what came before stays, nothing after is read.
    ASSERT_EQ(scene.herds().size(), 1u);
    EXPECT_EQ(scene.totalAnimalCount(), 1u);
}

TEST_F(HerdFileTest, AnOverlongLineIsCutAndEndsReading)
{
    HerdScene scene(15);
    std::string longLine = "3 " + translationEntries(4, 4);
    longLine.resize(HerdFile::kMaxLineLength + 50, ' ');
    std::istringstream in("cow.bin\n" + longLine + "\n4 " + translationEntries(8, 8) + "\n");
    EXPECT_NO_THROW(HerdFile::load(scene, in, "h.herd", [&](const std::string&) { return loadBinarySkinFile(m_cows); }));
    EXPECT_EQ(scene.totalAnimalCount(), 1u);
    {
        // Exactly the longest line is an ordinary line.
        HerdScene exact(16);
        longLine.resize(HerdFile::kMaxLineLength);
        std::istringstream in2("cow.bin\n" + longLine + "\n4 " + translationEntries(8, 8));
        EXPECT_NO_THROW(HerdFile::load(exact, in2, "h.herd", [&](const std::string&) { return loadBinarySkinFile(m_cows); }));
        EXPECT_EQ(exact.totalAnimalCount(), 2u) << "a last line without a line feed counts too";
    }
}

TEST_F(HerdFileTest, LoadedAnimalsAreAvoidedByNewOnes)
{
    // Animals packed round the centre, where a new animal's walk starts.
    std::string text = "cow.bin\n";
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) text += "0 " + translationEntries(2.5f * (i - 2), 1.2f * (j - 2)) + "\n";
    HerdScene scene(17);
    std::istringstream in(text);
    EXPECT_NO_THROW(HerdFile::load(scene, in, "h.herd", [&](const std::string&) { return loadBinarySkinFile(m_cows); }));
    const auto herd = scene.herds()[0];
    EXPECT_FALSE(std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd())->isStale());
    scene.setAnimalCount(45);
    ASSERT_EQ(herd->instanceCount(), 45u);
    for (unsigned a = 25; a < 45; ++a)
        for (unsigned b = 0; b < a; ++b)
            ASSERT_FALSE(overlap(herd->instance(a).box, herd->instance(b).box, kCollisionTolerance)) << a << " " << b;
}

namespace {

// "Round" herds, seeded by the scene, that count the queries walks make against them.
class CountingGaussianHerd : public GaussianRandomHerd {
public:
    CountingGaussianHerd(std::shared_ptr<Skin> skin, RandomGenerator random, unsigned& queries)
        : GaussianRandomHerd(std::move(skin), std::move(random)), m_queries(queries)
    {
    }
    bool intersects(const BoundingBox& box) const override
    {
        ++m_queries;
        return GaussianRandomHerd::intersects(box);
    }

private:
    unsigned& m_queries;
};

class CountingGaussianCreator : public HerdCreator {
public:
    explicit CountingGaussianCreator(unsigned& queries) : m_queries(queries) {}
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin) const override
    {
        return create(std::move(skin), RandomGenerator(31));
    }
    // The seeded scene hands every herd its own generator.
    std::shared_ptr<Herd> create(std::shared_ptr<Skin> skin, RandomGenerator random) const override
    {
        return std::make_shared<CountingGaussianHerd>(std::move(skin), std::move(random), m_queries);
    }
    bool equals(const HerdCreator& other) const override { return &other == this; }

private:
    unsigned& m_queries;
};

} // namespace

TEST_F(HerdFileTest, AnAnimalScaledAcrossTheFloatRangeHoldsNoWalkForLong)
{
    // A cow stretched to 6e38 units wide by its transform; every new sheep has to walk out of
    // it. Each walk asks each herd at most once per try, and a walk takes at most about 1,200
    // tries however large the obstacle (it took over 100,000 before, half a second per animal).
    const std::string text = "cow.bin\n1 3e38 0 0 0 0 1 0 0 0 0 3e38 0 0 0 0 1\nsheep.bin\n";
    unsigned queries = 0;
    HerdScene scene(19);
    scene.setHerdCreator(std::make_shared<CountingGaussianCreator>(queries));
    std::istringstream in(text);
    ASSERT_NO_THROW(HerdFile::load(scene, in, "h.herd", [&](const std::string& path) {
        return loadBinarySkinFile(path == "cow.bin" ? m_cows : m_sheep);
    }));
    ASSERT_EQ(scene.herds().size(), 2u);
    queries = 0;
    const auto& sheep = scene.herds()[1];
    for (int i = 0; i < 3; ++i) sheep->addAnimal(*scene.collection());
    EXPECT_EQ(sheep->instanceCount(), 3u);
    EXPECT_LE(queries, 3 * 2 * 1200u);
    const BoundingBox giant = scene.herds()[0]->instance(0).box;
    for (unsigned i = 0; i < sheep->instanceCount(); ++i)
        EXPECT_FALSE(overlap(sheep->instance(i).box, giant, kCollisionTolerance));
}
