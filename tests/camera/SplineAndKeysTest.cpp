#include "camera/AttributeWithKeys.h"
#include "camera/NaturalCubicSpline.h"
#include "camera/SimpleKeyable.h"
#include "foundation/Exception.h"

#include <gtest/gtest.h>


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
}

TEST(AttributeWithKeys, NewKeysReplaceTheSpline)
{
    Keyed k;
    k.attribute.setKeys({{0, 0}, {10, 10}, {20, 0}});
    EXPECT_FLOAT_EQ(k.at(5), 6.875f);
    k.attribute.setKeys({{0, 0}, {10, 20}, {20, 0}});
    EXPECT_FALSE(k.attribute.hasSpline());
    EXPECT_FLOAT_EQ(k.at(5), 13.75f);
    EXPECT_FLOAT_EQ(k.at(15), 13.75f);
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
