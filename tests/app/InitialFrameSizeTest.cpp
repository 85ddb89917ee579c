#include "app/InitialFrameSize.h"

#include <gtest/gtest.h>

TEST(InitialFrameSizeTest, LeavesFourEdgesOnEachAxis)
{
    const InitialFrameSize size = computeInitialFrameSize(1280, 1024, 2, 3);
    EXPECT_EQ(size.width, 1272);
    EXPECT_EQ(size.height, 1012);
}

TEST(InitialFrameSizeTest, UnknownEdgesCountAsNone)
{
    const InitialFrameSize both = computeInitialFrameSize(1920, 1050, -1, -1);
    EXPECT_EQ(both.width, 1920);
    EXPECT_EQ(both.height, 1050);

    const InitialFrameSize onlyX = computeInitialFrameSize(1920, 1050, -1, 5);
    EXPECT_EQ(onlyX.width, 1920);
    EXPECT_EQ(onlyX.height, 1030);
}

TEST(InitialFrameSizeTest, NeverNegative)
{
    const InitialFrameSize size = computeInitialFrameSize(6, 3, 2, 1);
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
}
