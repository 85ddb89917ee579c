#include "HerdTestSkins.h"

#include "herd/BoxRules.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/HerdCollection.h"
#include "herd/HerdOfOne.h"
#include "herd/HierarchicalHerd.h"
#include "herd/SimpleHerd.h"
#include "render/MatrixScreenSpaceConverter.h"

#include <gtest/gtest.h>

#include <cmath>

using herdtest::animalSkin;
using herdtest::boxSkin;

namespace {

// A herd whose instances carry the given boxes directly (SimpleHerd keeps them as stored).
std::shared_ptr<SimpleHerd> herdOfBoxes(const std::vector<BoundingBox>& boxes)
{
    auto herd = std::make_shared<SimpleHerd>(animalSkin());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        HerdInstance instance;
        instance.frame = static_cast<std::uint32_t>(i);
        instance.box = boxes[i];
        herd->append(instance);
    }
    return herd;
}

// A square of the given side centred on the origin in the plane z = 0: with identity matrices
// normalized device coordinates are object coordinates, so its area on screen is side^2.
BoundingBox square(double side)
{
    const float h = static_cast<float>(side / 2);
    return BoundingBox({-h, -h, 0}, {h, h, 0});
}

std::vector<std::shared_ptr<Skin>> levelSkins(unsigned count)
{
    std::vector<std::shared_ptr<Skin>> skins;
    for (unsigned i = 0; i < count; ++i) skins.push_back(animalSkin("level" + std::to_string(i)));
    return skins;
}

// The frames (used as ids here) each level holds.
std::vector<std::vector<std::uint32_t>> levelContents(const HierarchicalHerd& herd)
{
    std::vector<std::vector<std::uint32_t>> contents;
    for (const auto& level : herd.levels()) {
        contents.emplace_back();
        for (unsigned i = 0; i < level->instanceCount(); ++i) contents.back().push_back(level->instance(i).frame);
    }
    return contents;
}

HierarchicalHerd::ConverterFactory identityView()
{
    return [] {
        return std::make_unique<MatrixScreenSpaceConverter>(Matrix4f::identity(), Matrix4f::identity(),
                                                            Viewport{0, 0, 640, 480});
    };
}

using Levels = std::vector<std::vector<std::uint32_t>>;

} // namespace

TEST(HerdCollection, AnswersForAnyOfItsHerds)
{
    HerdCollection collection;
    EXPECT_FALSE(collection.intersects(BoundingBox({-1e6f, -1e6f, -1e6f}, {1e6f, 1e6f, 1e6f})));
    auto first = herdOfBoxes({BoundingBox({0, 0, 0}, {1, 1, 1})});
    auto second = herdOfBoxes({BoundingBox({10, 0, 0}, {11, 1, 1})});
    collection.add(first);
    collection.add(second);
    EXPECT_EQ(collection.size(), 2u);
    EXPECT_TRUE(collection.intersects(BoundingBox({10.5f, 0, 0}, {10.6f, 1, 1}))) << "only the second is touched";
    EXPECT_TRUE(collection.intersects(BoundingBox({0.5f, 0, 0}, {0.6f, 1, 1})));
    EXPECT_FALSE(collection.intersects(BoundingBox({5, 0, 0}, {6, 1, 1})));
}

TEST(HierarchicalHerd, LevelForAreaFollowsTheWorkedExamples)
{
    {
        // Scale 0.5 (moderate): the whole window, a hundredth, a ten-thousandth of it.
        EXPECT_EQ(HierarchicalHerd::levelForArea(4.0, 0.5, 6), 0u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(0.01, 0.5, 6), 2u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(0.0001, 0.5, 6), 4u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(0.0001, 0.5, 3), 2u) << "clamped to the last level";
    }
    {
        // Larger scales send the same size to coarser levels.
        EXPECT_EQ(HierarchicalHerd::levelForArea(0.01, 0.25, 6), 1u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(0.01, 0.75, 6), 3u);
    }
    {
        // Sizes that measure nothing useful stay on the finest level.
        EXPECT_EQ(HierarchicalHerd::levelForArea(0.0, 0.5, 6), 0u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(-1.0, 0.5, 6), 0u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(std::nan(""), 0.5, 6), 0u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(INFINITY, 0.5, 6), 0u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(1e-300, 0.75, 6), 5u);
        EXPECT_EQ(HierarchicalHerd::levelForArea(1e6, 0.75, 6), 0u) << "larger than the window";
    }
}

TEST(HierarchicalHerd, DistributesByProjectedArea)
{
    auto wrapped = herdOfBoxes({square(2.0), square(0.1), square(0.01), square(0.5)});
    HierarchicalHerd herd(levelSkins(3), wrapped);
    herd.setConverterFactory(identityView());
    {
        herd.setMode(1);
        herd.update();
        // Areas 4, 0.01, 1e-4 (clamped to level 2) and 0.25 (ln = -1.39, t = 0).
        EXPECT_EQ(levelContents(herd), (Levels{{0, 3}, {}, {1, 2}}));
    }
    {
        herd.setMode(2); // scale 0.75: 0.25 gives t = -1
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{0}, {3}, {1, 2}}));
    }
    {
        herd.setMode(0); // scale 0.25: 0.01 gives t = -1
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{0, 3}, {1}, {2}}));
    }
    {
        // Level herds hold copies: the wrapped herd may change, the levels keep the last
        // distribution until the next one.
        wrapped->clear();
        EXPECT_EQ(levelContents(herd), (Levels{{0, 3}, {1}, {2}}));
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{}, {}, {}}));
    }
}

TEST(HierarchicalHerd, WholeWindowInstancesStayFinestInEveryMode)
{
    auto wrapped = herdOfBoxes({square(2.0), square(50.0)});
    HierarchicalHerd herd(levelSkins(4), wrapped);
    herd.setConverterFactory(identityView());
    for (int mode : {0, 1, 2, 7}) {
        herd.setMode(mode);
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{0, 1}, {}, {}, {}})) << mode;
    }
}

TEST(HierarchicalHerd, OneLevelTakesEverything)
{
    auto wrapped = herdOfBoxes({square(2.0), square(0.01), square(1e-5)});
    HierarchicalHerd herd(levelSkins(1), wrapped);
    herd.setConverterFactory(identityView());
    for (int mode : {0, 1, 2}) {
        herd.setMode(mode);
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{0, 1, 2}}));
    }
    herd.setFixedLevel(3);
    EXPECT_EQ(levelContents(herd), (Levels{{0, 1, 2}}));
}

TEST(HierarchicalHerd, FixedLevelsClampAndModesReturnToScreenSize)
{
    auto wrapped = herdOfBoxes({square(2.0), square(0.01)});
    HierarchicalHerd herd(levelSkins(3), wrapped);
    herd.setConverterFactory(identityView());
    {
        herd.setFixedLevel(7);
        EXPECT_TRUE(herd.isFixed());
        EXPECT_EQ(levelContents(herd), (Levels{{}, {}, {0, 1}})) << "distributed at once, to the last level";
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{}, {}, {0, 1}}));
    }
    {
        herd.setFixedLevel(-1);
        EXPECT_EQ(levelContents(herd), (Levels{{}, {}, {0, 1}})) << "a negative level compares as a huge one";
        herd.setFixedLevel(1);
        EXPECT_EQ(levelContents(herd), (Levels{{}, {0, 1}, {}}));
    }
    {
        herd.setFixedLevel(2);
        herd.setMode(1);
        EXPECT_FALSE(herd.isFixed());
        EXPECT_DOUBLE_EQ(herd.scale(), 0.5);
        herd.update();
        EXPECT_EQ(levelContents(herd), (Levels{{0}, {}, {1}}));
    }
}

TEST(HierarchicalHerd, UsesOneConverterPerUpdateAndLevelZeroWithoutOne)
{
    auto wrapped = herdOfBoxes({square(2.0), square(0.01), square(0.001)});
    HierarchicalHerd herd(levelSkins(3), wrapped);
    herd.setMode(1);
    herd.update();
    EXPECT_EQ(levelContents(herd), (Levels{{0, 1, 2}, {}, {}})) << "no way to measure: all finest";
    int made = 0;
    herd.setConverterFactory([&made] {
        ++made;
        return identityView()();
    });
    herd.update();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(levelContents(herd), (Levels{{0}, {}, {1, 2}}));
}

TEST(HierarchicalHerd, PassesEverythingElseToTheWrappedHerd)
{
    auto skin = animalSkin("cow", 30);
    auto wrapped = std::make_shared<GaussianRandomHerd>(skin, RandomGenerator(4));
    auto herd = std::make_shared<HierarchicalHerd>(levelSkins(2), wrapped);
    EXPECT_EQ(herd->skin(), skin);
    EXPECT_EQ(herd->wrappedHerd(), wrapped);
    EXPECT_EQ(herd->levelCount(), 2u);
    HerdCollection collection;
    collection.add(herd);
    for (int i = 0; i < 5; ++i) herd->addAnimal(collection);
    EXPECT_EQ(wrapped->instanceCount(), 5u);
    herd->removeAnimal();
    EXPECT_EQ(herd->instanceCount(), 4u);
    herd->setFrame(17, true);
    EXPECT_EQ(wrapped->time(), 17);
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_EQ(herd->instance(i).transform, wrapped->instance(i).transform);
        EXPECT_EQ(herd->instance(i).frame, wrapped->instance(i).frame);
    }
    EXPECT_TRUE(herd->intersects(wrapped->instance(2).box));
    EXPECT_FALSE(herd->intersects(BoundingBox({500, 0, 500}, {501, 1, 501})));
}

TEST(HierarchicalHerd, SetHerdKeepsTheLevelsAndRefillsThemAtOnce)
{
    auto skin = animalSkin("cow", 30);
    HierarchicalHerd herd(levelSkins(3), herdOfBoxes({square(1), square(1)}));
    const auto originalSkin = herd.skin();
    const auto before = herd.levels();
    herd.setMode(1);
    herd.setHerd(std::make_shared<HerdOfOne>(skin));
    const auto after = herd.levels();
    ASSERT_EQ(after.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(after[i], before[i]) << "renderers keep drawing the same levels";
    EXPECT_EQ(levelContents(herd), (Levels{{0}, {}, {}}));
    EXPECT_EQ(herd.skin(), originalSkin) << "the base skin is kept";
    EXPECT_NE(herd.skin(), skin);
    EXPECT_EQ(herd.instanceCount(), 1u);
    {
        // The returned list is a copy.
        auto copy = herd.levels();
        copy.clear();
        EXPECT_EQ(herd.levelCount(), 3u);
    }
}

TEST(HierarchicalHerd, NoLevelSkinsMeansOneLevelOfTheWrappedSkin)
{
    auto wrapped = herdOfBoxes({square(1)});
    HierarchicalHerd herd({}, wrapped);
    ASSERT_EQ(herd.levelCount(), 1u);
    EXPECT_EQ(herd.levels()[0]->skin(), wrapped->skin());
    herd.update();
    EXPECT_EQ(levelContents(herd), (Levels{{0}}));
}
