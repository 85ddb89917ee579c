#include "render/FrameStamps.h"
#include "render/StatisticsTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

TEST(FormatCountTest, ThousandStaysWholeAndLargerCountsScaleWithOneDecimal)
{
    EXPECT_EQ(formatCount(0), "0");
    EXPECT_EQ(formatCount(999), "999");
    EXPECT_EQ(formatCount(1000), "1000");
    EXPECT_EQ(formatCount(1001), "1.0k");
    EXPECT_EQ(formatCount(160600), "160.6k");
    EXPECT_EQ(formatCount(1000000), "1000.0k");
    EXPECT_EQ(formatCount(1000001), "1.0m");
    EXPECT_EQ(formatCount(1000000000), "1000.0m");
    EXPECT_EQ(formatCount(1000000001), "1.0bn");
    EXPECT_EQ(formatCount(12345678901234ull), "12345.7bn");
}

TEST(AnimalsTextTest, PluralUnlessOneAndHerdsInOrder)
{
    EXPECT_EQ(animalsText(12, {{10, "horse"}, {2, "elephant"}}), "12 (10 horses, 2 elephants)");
    EXPECT_EQ(animalsText(1, {{1, "cow"}, {0, "dog"}}), "1 (1 cow, 0 dogs)");
    EXPECT_EQ(animalsText(0, {}), "0 ()");
}

TEST(StatisticsRowsTest, LabelsOrderAndFormats)
{
    StatisticsFigures figures;
    figures.framesPerSecond = 59.84;
    figures.averageDrawTime = 0.01234;
    figures.totalAnimals = 12;
    figures.herds = {{10, "horse"}, {2, "elephant"}};
    figures.triangles = 1001;
    figures.vertices = 1000;
    const auto rows = statisticsRows(figures);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], std::make_pair(std::string("fps"), std::string("59.8")));
    EXPECT_EQ(rows[1], std::make_pair(std::string("time/frame"), std::string("12.3ms")));
    EXPECT_EQ(rows[2], std::make_pair(std::string("animals"), std::string("12 (10 horses, 2 elephants)")));
    EXPECT_EQ(rows[3], std::make_pair(std::string("triangles"), std::string("1.0k")));
    EXPECT_EQ(rows[4], std::make_pair(std::string("vertices"), std::string("1000")));
    // 59.84 x 1001 = 59899.84, truncated to 59899.
    EXPECT_EQ(rows[5], std::make_pair(std::string("triangle throughput"), std::string("59.9k")));
}

TEST(StatisticsRowsTest, ThroughputOfAnUnmeasuredRateIsNotANumber)
{
    StatisticsFigures figures;
    figures.framesPerSecond = std::nan("");
    figures.triangles = 500;
    const auto rows = statisticsRows(figures);
    EXPECT_EQ(rows[0].second, "nan");
    EXPECT_EQ(rows[5].second, "nan");
    figures.triangles = 0;
    EXPECT_EQ(statisticsRows(figures)[5].second, "nan") << "NaN x 0 is still NaN";
}

TEST(FrameStampsTest, NeedsTwoStampsAndKeepsThirty)
{
    FrameStamps stamps;
    EXPECT_TRUE(std::isnan(stamps.framesPerSecond()));
    stamps.push(1000);
    EXPECT_TRUE(std::isnan(stamps.framesPerSecond()));
    stamps.push(1100);
    // Two stamps 0.1 s apart: 2 / 0.1.
    EXPECT_DOUBLE_EQ(stamps.framesPerSecond(), 20.0);
    for (int i = 2; i < 40; ++i) stamps.push(1000 + 100 * i);
    EXPECT_EQ(stamps.size(), FrameStamps::kCapacity);
    // Stamps 1000 + 100 x (10..39): 30 over 2.9 s.
    EXPECT_DOUBLE_EQ(stamps.framesPerSecond(), 30.0 / 2.9);
    stamps.clear();
    EXPECT_EQ(stamps.size(), 0u);
    EXPECT_TRUE(std::isnan(stamps.framesPerSecond()));
}

// The stamps are milliseconds of the monotonic clock: read between two readings of that clock
// in milliseconds, a stamp lies between them. Seconds, microseconds, processor time or the
// calendar clock would fall outside.
TEST(FrameStampsTest, StampsAreMillisecondsOfTheMonotonicClock)
{
    using namespace std::chrono;
    const auto monotonicMilliseconds = [] {
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
    for (int i = 0; i < 100; ++i) {
        const std::int64_t before = monotonicMilliseconds();
        const std::int64_t stamp = FrameStamps::nowMilliseconds();
        const std::int64_t after = monotonicMilliseconds();
        ASSERT_LE(before, stamp);
        ASSERT_LE(stamp, after);
    }
}

TEST(FrameStampsTest, StampsOfOneMillisecondAreAnInfiniteRate)
{
    FrameStamps stamps;
    stamps.push(500);
    stamps.push(500);
    EXPECT_TRUE(std::isinf(stamps.framesPerSecond()));
    stamps.push(750);
    // Three stamps over 0.25 s.
    EXPECT_DOUBLE_EQ(stamps.framesPerSecond(), 12.0);
}
