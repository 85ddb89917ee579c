#include "camera/AttributeWithKeys.h"
#include "camera/NaturalCubicSpline.h"
#include "camera/SimpleKeyable.h"
#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>

namespace {

using Key = AttributeWithKeys::Key;

// An attribute over a plain float, as a camera field would be.
struct Keyed {
    float field = -99.0f;
    AttributeWithKeys attribute{std::make_shared<SimpleKeyable<float>>("fov", &field)};

    float at(float frame)
    {
        attribute.apply(frame);
        return field;
    }
};

std::string keyBytes(std::int32_t count, const std::vector<std::pair<std::int32_t, float>>& keys)
{
    std::string bytes;
    auto put = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(static_cast<std::uint32_t>(count));
    for (const auto& [frame, value] : keys) {
        put(static_cast<std::uint32_t>(frame));
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        put(bits);
    }
    return bytes;
}

} // namespace

TEST(AttributeWithKeys, WithoutKeysLeavesTheParameterAlone)
{
    Keyed k;
    EXPECT_EQ(k.at(3.0f), -99.0f);
    EXPECT_EQ(k.attribute.endTime(), 0.0f);
    EXPECT_EQ(k.attribute.name(), "fov");
}

TEST(AttributeWithKeys, OneKeyHoldsEverywhere)
{
    Keyed k;
    k.attribute.setKeys({{5, 2}});
    for (float frame : {-10.0f, 0.0f, 5.0f, 6.0f, 1000.0f}) EXPECT_EQ(k.at(frame), 2.0f) << frame;
}

TEST(AttributeWithKeys, TwoKeysMakeAStraightLineWithHeldEnds)
{
    Keyed k;
    k.attribute.setKeys({{0, 0}, {10, 1}});
    EXPECT_FLOAT_EQ(k.at(4), 0.4f);
    EXPECT_EQ(k.at(-3), 0.0f);
    EXPECT_EQ(k.at(12), 1.0f);
    EXPECT_EQ(k.at(10), 1.0f);
}

TEST(AttributeWithKeys, ThreeKeysFollowTheNaturalSpline)
{
    Keyed k;
    k.attribute.setKeys({{0, 0}, {10, 10}, {20, 0}});
    EXPECT_FLOAT_EQ(k.at(5), 6.875f);
    EXPECT_FLOAT_EQ(k.at(15), 6.875f);
    EXPECT_FLOAT_EQ(k.at(10), 10.0f);
    EXPECT_TRUE(k.attribute.hasSpline());
    NaturalCubicSpline spline({{0, 0}, {10, 10}, {20, 0}});
    ASSERT_EQ(spline.nodes().size(), 3u);
    EXPECT_DOUBLE_EQ(spline.nodes()[1].m, -0.3);
    EXPECT_EQ(spline.nodes()[0].m, 0.0);
    EXPECT_EQ(spline.nodes()[2].m, 0.0);
}

TEST(AttributeWithKeys, KeysOutOfOrderOrAtOneTimeAreSortedAndMerged)
{
    {
        Keyed k;
        k.attribute.setKeys({{20, 0}, {0, 0}, {10, 10}});
        EXPECT_EQ(k.attribute.keys(), (std::vector<Key>{{0, 0}, {10, 10}, {20, 0}}));
        EXPECT_FLOAT_EQ(k.at(5), 6.875f);
        EXPECT_EQ(k.attribute.endTime(), 20.0f);
    }
    {
        // Of two keys at frame 10 the later one in the list wins; no division by zero.
        Keyed k;
        k.attribute.setKeys({{0, 0}, {10, 3}, {20, 0}, {10, 10}});
        EXPECT_EQ(k.attribute.keys(), (std::vector<Key>{{0, 0}, {10, 10}, {20, 0}}));
        EXPECT_FLOAT_EQ(k.at(15), 6.875f);
    }
    {
        // The same from a keys file.
        Keyed k;
        std::istringstream in(keyBytes(4, {{90, 1}, {30, 5}, {0, 2}, {30, 7}}));
        k.attribute.readKeys(in);
        EXPECT_TRUE(in.good());
        EXPECT_EQ(k.attribute.keys(), (std::vector<Key>{{0, 2}, {30, 7}, {90, 1}}));
        EXPECT_EQ(k.attribute.endTime(), 90.0f);
        EXPECT_EQ(k.at(-5), 2.0f);
        EXPECT_EQ(k.at(30), 7.0f);
    }
}

TEST(AttributeWithKeys, NewKeysReplaceTheSpline)
{
    Keyed k;
    k.attribute.setKeys({{0, 0}, {10, 10}, {20, 0}});
    EXPECT_FLOAT_EQ(k.at(5), 6.875f);
    std::istringstream in(keyBytes(3, {{0, 0}, {10, 20}, {20, 0}}));
    k.attribute.readKeys(in);
    EXPECT_FALSE(k.attribute.hasSpline());
    EXPECT_FLOAT_EQ(k.at(5), 13.75f);
    EXPECT_FLOAT_EQ(k.at(15), 13.75f);
}

TEST(AttributeWithKeys, KeyListsWriteAndReadBackLittleEndian)
{
    Keyed k;
    k.attribute.setKeys({{0, 1.5f}, {30, -2.0f}, {90, 0.25f}});
    std::ostringstream out;
    k.attribute.writeKeys(out);
    EXPECT_EQ(out.str(), keyBytes(3, {{0, 1.5f}, {30, -2.0f}, {90, 0.25f}}));
    Keyed back;
    std::istringstream in(out.str());
    back.attribute.readKeys(in);
    EXPECT_EQ(back.attribute.keys(), k.attribute.keys());
    EXPECT_EQ(back.attribute.endTime(), 90.0f);
    {
        // Times are written as whole frames, truncated towards zero.
        Keyed fractional;
        fractional.attribute.setKeys({{-2.7f, 1}, {4.9f, 2}});
        std::ostringstream bytes;
        fractional.attribute.writeKeys(bytes);
        EXPECT_EQ(bytes.str(), keyBytes(2, {{-2, 1}, {4, 2}}));
    }
}

TEST(AttributeWithKeys, BrokenKeyListsKeepWhatWasRead)
{
    {
        // Cut inside the third key: two keys stay, in order, and the stream reports the failure.
        Keyed k;
        std::string bytes = keyBytes(3, {{40, 1}, {10, 2}, {50, 3}});
        bytes.resize(bytes.size() - 2);
        std::istringstream in(bytes);
        k.attribute.readKeys(in);
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(k.attribute.keys(), (std::vector<Key>{{10, 2}, {40, 1}}));
    }
    {
        // A corrupt count allocates nothing up front: the stream's end stops the loop.
        Keyed k;
        std::istringstream in(keyBytes(0x7FFFFFFF, {{1, 1}, {2, 2}}));
        k.attribute.readKeys(in);
        EXPECT_TRUE(in.fail());
        EXPECT_EQ(k.attribute.keys().size(), 2u);
    }
    {
        // Past the most keys a list may hold, reading stops: the keys up to the limit stay and
        // the stream fails, however much more it has. At the limit the list is whole.
        for (const std::uint32_t count : {AttributeWithKeys::kMaxKeys, AttributeWithKeys::kMaxKeys + 1}) {
            std::vector<std::pair<std::int32_t, float>> keys;
            for (std::uint32_t i = 0; i < AttributeWithKeys::kMaxKeys + 2; ++i)
                keys.emplace_back(static_cast<std::int32_t>(i), 1.0f);
            Keyed k;
            std::istringstream in(keyBytes(static_cast<std::int32_t>(count), keys));
            k.attribute.readKeys(in);
            EXPECT_EQ(in.fail(), count > AttributeWithKeys::kMaxKeys) << count;
            EXPECT_EQ(k.attribute.keys().size(), AttributeWithKeys::kMaxKeys) << count;
            EXPECT_EQ(k.attribute.keys().back().time, float(AttributeWithKeys::kMaxKeys - 1)) << count;
        }
    }
    {
        Keyed k;
        k.attribute.setKeys({{1, 1}});
        std::istringstream in(keyBytes(-1, {{1, 1}}));
        k.attribute.readKeys(in);
        EXPECT_TRUE(in.fail());
        EXPECT_TRUE(k.attribute.keys().empty()) << "the old keys are dropped";
    }
    {
        // A stream that throws passes its failure on; the keys read so far stay sorted.
        Keyed k;
        std::string bytes = keyBytes(3, {{40, 1}, {10, 2}, {50, 3}});
        bytes.resize(bytes.size() - 6);
        std::istringstream in(bytes);
        in.exceptions(std::ios::failbit | std::ios::badbit);
        EXPECT_THROW(k.attribute.readKeys(in), std::ios_base::failure);
        EXPECT_EQ(k.attribute.keys(), (std::vector<Key>{{10, 2}, {40, 1}}));
    }
}

TEST(NaturalCubicSpline, PassesThroughItsPointsWithSmoothSlopes)
{
    const std::vector<std::pair<double, double>> points = {{0, 1}, {3, -2}, {4, 0.5}, {9, 4}, {10, 4}, {16, -1}};
    NaturalCubicSpline spline(points);
    for (const auto& [x, y] : points) EXPECT_NEAR(spline.evaluate(x), y, 1e-12);
    // A wrong second derivative would show as a kink: the slopes left and right of every inner
    // node agree.
    const double h = 1e-6;
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        const double x = points[i].first;
        const double left = (spline.evaluate(x) - spline.evaluate(x - h)) / h;
        const double right = (spline.evaluate(x + h) - spline.evaluate(x)) / h;
        EXPECT_NEAR(left, right, 1e-4) << "at node " << i;
    }
    EXPECT_EQ(spline.evaluate(-5), 1.0);
    EXPECT_EQ(spline.evaluate(50), -1.0);
    {
        // Straight data stays straight.
        NaturalCubicSpline line({{0, 1}, {2, 5}, {3, 7}, {7, 15}});
        for (const auto& node : line.nodes()) EXPECT_NEAR(node.m, 0.0, 1e-12);
        EXPECT_NEAR(line.evaluate(5.5), 12.0, 1e-12);
    }
}

TEST(NaturalCubicSpline, SolveFailuresBecomeLinearAlgebraExceptions)
{
    {
        std::vector<double> rhs = {1, 2};
        try {
            NaturalCubicSpline::solveTridiagonal({1}, {0, 1}, {1}, rhs);
            // dgtsv pivots: a zero first pivot with a non-zero sub-diagonal is solvable.
            EXPECT_NEAR(rhs[0], 1.0, 1e-12);
            EXPECT_NEAR(rhs[1], 1.0, 1e-12);
        } catch (const LinearAlgebraException& e) {
            FAIL() << e.message();
        }
    }
    {
        std::vector<double> rhs = {1, 2};
        try {
            NaturalCubicSpline::solveTridiagonal({0}, {0, 1}, {1}, rhs);
            FAIL() << "a singular system was solved";
        } catch (const LinearAlgebraException& e) {
            EXPECT_EQ(e.message(), "Tridiagonal solve failed because A(1, 1) is exactly 0.");
        }
    }
    {
        try {
            NaturalCubicSpline::checkSolveStatus(-3);
            FAIL();
        } catch (const LinearAlgebraException& e) {
            EXPECT_EQ(e.message(), "Tridiagonal solve failed due to invalid parameter #3");
        }
        EXPECT_NO_THROW(NaturalCubicSpline::checkSolveStatus(0));
    }
}
