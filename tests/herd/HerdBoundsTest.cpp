#include "herd/HerdBounds.h"

#include "herd/GridHerd.h"
#include "herd/HierarchicalHerd.h"
#include "herd/HerdOfOne.h"

#include "HerdTestSkins.h"

#include <gtest/gtest.h>

using herdtest::boxSkin;

TEST(InstanceBounds, IsTheUnionOfEveryAnimalsBoxOverAllHerds)
{
    const auto skin = boxSkin("box", 4, BoundingBox({-1.0f, 0.0f, -2.0f}, {1.0f, 3.0f, 2.0f}));
    auto grid = std::make_shared<GridHerd>(skin, 3, 4, RandomGenerator(12));
    ASSERT_EQ(grid->instanceCount(), 12u);

    BoundingBox expected;
    for (unsigned i = 0; i < grid->instanceCount(); ++i) expected.grow(grid->instance(i).box);
    const BoundingBox gridBounds = instanceBounds(*grid);
    EXPECT_EQ(gridBounds, expected);
    // Twelve animals on a grid cover more than one animal does.
    EXPECT_GT(gridBounds.maximum.x - gridBounds.minimum.x, 2.0f);
    EXPECT_GT(gridBounds.maximum.z - gridBounds.minimum.z, 4.0f);

    std::deque<std::shared_ptr<HierarchicalHerd>> herds;
    herds.push_back(std::make_shared<HierarchicalHerd>(std::vector<std::shared_ptr<Skin>>{skin}, grid));
    const auto lone = boxSkin("lone", 4, BoundingBox({100.0f, 0.0f, 100.0f}, {101.0f, 5.0f, 102.0f}));
    herds.push_back(std::make_shared<HierarchicalHerd>(std::vector<std::shared_ptr<Skin>>{lone},
                                                       std::make_shared<HerdOfOne>(lone)));
    const BoundingBox all = instanceBounds(herds);
    EXPECT_EQ(all.minimum, gridBounds.minimum);
    EXPECT_EQ(all.maximum, herds.back()->instance(0).box.maximum) << "the far animal stretches the union";
}

TEST(InstanceBounds, NoAnimalsGiveTheEmptyBox)
{
    EXPECT_TRUE(instanceBounds(std::deque<std::shared_ptr<HierarchicalHerd>>{}).isEmpty());
    const auto skin = boxSkin("box", 4, BoundingBox({-1.0f, 0.0f, -1.0f}, {1.0f, 1.0f, 1.0f}));
    const GridHerd empty(skin, 0, 0, RandomGenerator(13));
    ASSERT_EQ(empty.instanceCount(), 0u);
    EXPECT_TRUE(instanceBounds(empty).isEmpty());
}
