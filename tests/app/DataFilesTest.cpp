#include "app/DataFiles.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

// A fresh directory with a working directory and two data directories in it; the process's
// working directory is moved into the first for the test's duration.
class DataFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_root / "work");
        fs::create_directories(m_root / "first");
        fs::create_directories(m_root / "second");
        m_previous = fs::current_path();
        fs::current_path(m_root / "work");
    }
    void TearDown() override
    {
        fs::current_path(m_previous);
    }
    void touch(const fs::path& path) { std::ofstream(path) << "x"; }
    std::vector<fs::path> dataDirectories() const { return {m_root / "first", m_root / "second"}; }

    TempDirectory m_scratch{"datafiles"};
    const fs::path& m_root = m_scratch.path();
    fs::path m_previous;
};

} // namespace

TEST_F(DataFilesTest, WorkingDirectoryComesFirstThenTheDataDirectoriesInOrder)
{
    touch(m_root / "second" / "quadruped.bin");
    EXPECT_EQ(findDataFile("quadruped.bin", dataDirectories()), (m_root / "second" / "quadruped.bin").string());
    touch(m_root / "first" / "quadruped.bin");
    EXPECT_EQ(findDataFile("quadruped.bin", dataDirectories()), (m_root / "first" / "quadruped.bin").string());
    touch(m_root / "work" / "quadruped.bin");
    EXPECT_EQ(findDataFile("quadruped.bin", dataDirectories()), "quadruped.bin") << "the user's own file wins";
}

TEST_F(DataFilesTest, UnknownAbsoluteAndEmptyNamesStayAsGiven)
{
    touch(m_root / "first" / "flyby.keys");
    EXPECT_EQ(findDataFile("missing.bin", dataDirectories()), "missing.bin") << "the loader reports it by its name";
    const std::string absolute = (m_root / "work" / "flyby.keys").string();
    EXPECT_EQ(findDataFile(absolute, dataDirectories()), absolute) << "an absolute path is never redirected";
    EXPECT_EQ(findDataFile("", dataDirectories()), "");
    EXPECT_EQ(findDataFile("flyby.keys", {}), "flyby.keys");
    // A directory of that name in a data directory is no data file.
    fs::create_directories(m_root / "first" / "herds.herd");
    EXPECT_EQ(findDataFile("herds.herd", dataDirectories()), "herds.herd");
}

TEST_F(DataFilesTest, RelativeNamesWithDirectoriesAreLookedUpBelowTheDataDirectory)
{
    fs::create_directories(m_root / "first" / "more");
    touch(m_root / "first" / "more" / "longneck.bin");
    EXPECT_EQ(findDataFile("more/longneck.bin", dataDirectories()), (m_root / "first" / "more" / "longneck.bin").string());
}

TEST(InstalledDataDirectories, NextToTheExecutableFirstThenTheConfiguredPrefix)
{
    const auto directories = installedDataDirectories(fs::path("/opt/herd/bin/flexherd"));
    ASSERT_GE(directories.size(), 1u);
    EXPECT_EQ(directories.front(), fs::path("/opt/herd/share/flexherd"));
    if (directories.size() == 2) {
        EXPECT_EQ(directories.back().filename(), "flexherd");
    }
    // Unknown executable: only the configured one.
    const auto configured = installedDataDirectories(fs::path());
    ASSERT_EQ(configured.size(), 1u);
    EXPECT_TRUE(configured.front().is_absolute());
    EXPECT_EQ(configured.front().filename(), "flexherd");
}
