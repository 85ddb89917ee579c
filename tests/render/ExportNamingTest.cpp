#include "render/ExportNaming.h"

#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <climits>

TEST(SequenceFrameNameTest, NumbersGoBeforeTheLastDotWithAtLeastFourDigits)
{
    EXPECT_EQ(sequenceFrameName("frames.png", 0), "frames.0000.png");
    EXPECT_EQ(sequenceFrameName("frames.png", 1), "frames.0001.png");
    EXPECT_EQ(sequenceFrameName("frames.png", 123), "frames.0123.png");
    EXPECT_EQ(sequenceFrameName("frames.png", 9999), "frames.9999.png");
    EXPECT_EQ(sequenceFrameName("frames.png", 12345), "frames.12345.png");
    EXPECT_EQ(sequenceFrameName("/tmp/out/a.jpg", 7), "/tmp/out/a.0007.jpg");
}

TEST(SequenceFrameNameTest, OnlyTheLastDotOfTheFileNameCounts)
{
    EXPECT_EQ(sequenceFrameName("shots/run.final.png", 0), "shots/run.final.0000.png");
    EXPECT_EQ(sequenceFrameName("shots/run.final.png", 1), "shots/run.final.0001.png");
    EXPECT_EQ(sequenceFrameName("v1.2/clip.png", 5), "v1.2/clip.0005.png");
    EXPECT_EQ(sequenceFrameName("name.", 2), "name.0002.");
}

TEST(SequenceFrameNameTest, AFileNameWithoutADotIsInvalid)
{
    for (const std::string path : {"frames", "shots.d/run", "", "dir.v2/"}) {
        try {
            sequenceFrameName(path, 0);
            ADD_FAILURE() << "no exception for '" << path << "'";
        } catch (const IOException& e) {
            EXPECT_EQ(e.message(), "Invalid filename: " + path);
        }
    }
}

TEST(ParseLeadingIntegerTest, ReadsDigitsFromTheStartLikeAtoi)
{
    EXPECT_EQ(parseLeadingInteger("1440"), 1440);
    EXPECT_EQ(parseLeadingInteger("  720px"), 720);
    EXPECT_EQ(parseLeadingInteger("+15"), 15);
    EXPECT_EQ(parseLeadingInteger("-3"), -3);
    EXPECT_EQ(parseLeadingInteger("12 34"), 12);
    EXPECT_EQ(parseLeadingInteger("abc"), 0);
    EXPECT_EQ(parseLeadingInteger(""), 0);
    EXPECT_EQ(parseLeadingInteger("-"), 0);
    EXPECT_EQ(parseLeadingInteger("x12"), 0);
}

TEST(ParseLeadingIntegerTest, HugeNumbersSaturateInsteadOfWrappingIntoRange)
{
    EXPECT_EQ(parseLeadingInteger("99999999999999999999999"), LONG_MAX);
    EXPECT_EQ(parseLeadingInteger("-99999999999999999999999"), LONG_MIN);
    // 2^64 + 100 would wrap to 100 in unsigned 64-bit arithmetic.
    EXPECT_FALSE(isAcceptedImageSide(parseLeadingInteger("18446744073709551716")));
}

TEST(ImageSideTest, AcceptsOneTo19999)
{
    EXPECT_FALSE(isAcceptedImageSide(0));
    EXPECT_TRUE(isAcceptedImageSide(1));
    EXPECT_TRUE(isAcceptedImageSide(19999));
    EXPECT_FALSE(isAcceptedImageSide(20000));
    EXPECT_FALSE(isAcceptedImageSide(-1440));
}

TEST(FrameCountTest, ZeroFramesAreAskedForAgain)
{
    EXPECT_FALSE(isAcceptedFrameCount(0));
    EXPECT_FALSE(isAcceptedFrameCount(-1));
    EXPECT_TRUE(isAcceptedFrameCount(1));
    EXPECT_TRUE(isAcceptedFrameCount(300));
    EXPECT_TRUE(isAcceptedFrameCount(999999));
    EXPECT_FALSE(isAcceptedFrameCount(1000000));
}

TEST(TimedemoReportTest, WritesTheFiguresBetweenTheLiteralPieces)
{
    EXPECT_EQ(timedemoReport(200, 4.0),
              "timedemo complete.\n\tframes:\t200\n\ttotal time:\t4s\n\ttime per frame:\t0.02s/frame\n"
              "\taverage fps:\t50fps\n");
    // Six significant digits for the real values.
    EXPECT_EQ(timedemoReport(3, 1.0),
              "timedemo complete.\n\tframes:\t3\n\ttotal time:\t1s\n\ttime per frame:\t0.333333s/frame\n"
              "\taverage fps:\t3fps\n");
    EXPECT_EQ(timedemoReport(7, 0.123456789),
              "timedemo complete.\n\tframes:\t7\n\ttotal time:\t0.123457s\n\ttime per frame:\t0.0176367s/frame\n"
              "\taverage fps:\t56.7fps\n");
}
