#include "skin/FileDispatch.h"

#include <gtest/gtest.h>

TEST(FileExtensionTest, RunsFromTheLastDotOfTheLastComponent)
{
    EXPECT_EQ(fileExtension("model.bin"), ".bin");
    EXPECT_EQ(fileExtension("archive.tar.gz"), ".gz");
    EXPECT_EQ(fileExtension("/data/herds/cows.herd"), ".herd");
    EXPECT_EQ(fileExtension("a/b.c/d.txt"), ".txt");
}

TEST(FileExtensionTest, IsEmptyWithoutADotInTheLastComponent)
{
    EXPECT_EQ(fileExtension("noext"), "");
    EXPECT_EQ(fileExtension("dir.with.dot/file"), "");
    EXPECT_EQ(fileExtension("/opt/v1.2/skins/horse"), "");
    EXPECT_EQ(fileExtension(""), "");
    EXPECT_EQ(fileExtension("dir.d/"), "");
}

TEST(FileExtensionTest, KeepsATrailingDotAndLeadingDotNames)
{
    EXPECT_EQ(fileExtension("file."), ".");
    EXPECT_EQ(fileExtension("skins/.herd"), ".herd");
}

TEST(FileKindTest, DispatchesTheThreeLowerCaseExtensions)
{
    EXPECT_EQ(fileKindOf("x.keys"), FileKind::CameraKeys);
    EXPECT_EQ(fileKindOf("h.herd"), FileKind::Herd);
    EXPECT_EQ(fileKindOf("a.txt"), FileKind::TextSkin);
    EXPECT_EQ(fileKindOf("/tmp/some.dir/walk.keys"), FileKind::CameraKeys);
}

TEST(FileKindTest, EverythingElseIsABinarySkin)
{
    EXPECT_EQ(fileKindOf("horse.bin"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("model.TXT"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("model.Keys"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("model.HERD"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("noext"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("dir.with.dot/file"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("notes.txt/file"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("model.txt.bak"), FileKind::BinarySkin);
    EXPECT_EQ(fileKindOf("model.keysx"), FileKind::BinarySkin);
}
