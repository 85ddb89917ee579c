#include "HerdTestSkins.h"

#include "herd/BoxRules.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/HerdCollection.h"
#include "herd/HerdOfOne.h"
#include "herd/SimpleHerd.h"
#include "herd/WrapperHerd.h"

#include <gtest/gtest.h>

using herdtest::boxSkin;

namespace {

const BoundingBox kSkinBox({-1.0f, 0.0f, -0.5f}, {1.0f, 2.0f, 0.5f});

HerdInstance instanceAt(float x, float z, std::uint32_t frame = 0)
{
    HerdInstance instance;
    instance.frame = frame;
    instance.transform = Matrix4f::translation({x, 0.0f, z});
    instance.box = transformBox(kSkinBox, instance.transform);
    return instance;
}

} // namespace

TEST(HerdOfOne, ReportsTheFrameModuloTheFrameCount)
{
    HerdOfOne herd(boxSkin("ten", 10, kSkinBox));
    EXPECT_EQ(herd.instanceCount(), 1u);
    EXPECT_EQ(herd.instance(0).frame, 0u);
    herd.setFrame(23, true);
    EXPECT_EQ(herd.instance(0).frame, 3u);
    herd.setFrame(9, false);
    EXPECT_EQ(herd.instance(0).frame, 9u);
    herd.setFrame(10, false);
    EXPECT_EQ(herd.instance(0).frame, 0u);
    // The index is ignored: there is one animal.
    EXPECT_EQ(herd.instance(5).frame, 0u);
}

TEST(HerdOfOne, StandsAtTheOriginInTheSkinsBox)
{
    HerdOfOne herd(boxSkin("still", 0, kSkinBox));
    herd.setFrame(7, true);
    const HerdInstance one = herd.instance(0);
    EXPECT_EQ(one.frame, 0u) << "a skin without frames shows frame 0";
    EXPECT_EQ(one.transform, Matrix4f::identity()) << "it never walks, whatever moving says";
    EXPECT_EQ(one.box, kSkinBox);
}

TEST(HerdOfOne, IntersectsWithinTheToleranceOnly)
{
    HerdOfOne herd(boxSkin("one", 4, kSkinBox));
    const BoundingBox probe({0, 0, 0}, {0.5f, 0.5f, 0.5f});
    {
        // Nearest face 0.15 outside the skin's box on +x: touching; 0.25: clear.
        EXPECT_TRUE(herd.intersects(BoundingBox({1.15f, 0, 0}, {2, 1, 0.2f})));
        EXPECT_FALSE(herd.intersects(BoundingBox({1.25f, 0, 0}, {2, 1, 0.2f})));
    }
    {
        // And on -z.
        EXPECT_TRUE(herd.intersects(BoundingBox({0, 0, -3}, {0.2f, 1, -0.65f})));
        EXPECT_FALSE(herd.intersects(BoundingBox({0, 0, -3}, {0.2f, 1, -0.75f})));
    }
    EXPECT_TRUE(herd.intersects(probe));
    EXPECT_FALSE(herd.intersects(BoundingBox())) << "an empty query box touches nothing";
}

TEST(HerdOfOne, NeverGrowsOrShrinks)
{
    HerdOfOne herd(boxSkin("one", 4, kSkinBox));
    HerdCollection collection;
    herd.addAnimal(collection);
    herd.removeAnimal();
    herd.removeAnimal();
    EXPECT_EQ(herd.instanceCount(), 1u);
}

TEST(SimpleHerd, StoresFinishedInstancesAndIgnoresTime)
{
    SimpleHerd herd(boxSkin("level", 10, kSkinBox));
    EXPECT_EQ(herd.instanceCount(), 0u);
    herd.append(instanceAt(0, 0, 7));
    herd.append(instanceAt(5, 0, 12));
    herd.setFrame(3, true);
    HerdCollection collection;
    herd.addAnimal(collection);
    herd.removeAnimal();
    ASSERT_EQ(herd.instanceCount(), 2u);
    {
        // Stored values come back unchanged: no modulo, no motion.
        EXPECT_EQ(herd.instance(0).frame, 7u);
        EXPECT_EQ(herd.instance(1).frame, 12u);
        EXPECT_EQ(herd.instance(1).transform, Matrix4f::translation({5, 0, 0}));
        EXPECT_EQ(herd.instance(1).box, instanceAt(5, 0).box);
    }
    {
        // Near the second instance only.
        EXPECT_TRUE(herd.intersects(BoundingBox({6.1f, 0, 0}, {7, 1, 1})));
        EXPECT_FALSE(herd.intersects(BoundingBox({2.5f, 0, 0}, {3, 1, 1})));
    }
}

TEST(SimpleHerd, ClearEmptiesItCompletely)
{
    SimpleHerd herd(boxSkin("level", 10, kSkinBox));
    for (int i = 0; i < 10; ++i) herd.append(instanceAt(3.0f * i, 0));
    herd.clear();
    EXPECT_EQ(herd.instanceCount(), 0u);
    EXPECT_FALSE(herd.intersects(BoundingBox({-100, -100, -100}, {100, 100, 100})));
    herd.append(instanceAt(0, 0, 1));
    EXPECT_EQ(herd.instanceCount(), 1u);
}

TEST(WrapperHerd, FollowsTheWrappedHerdWithItsOwnSkinsBoxes)
{
    auto body = boxSkin("body", 8, kSkinBox);
    const BoundingBox shadowBox({-1.5f, 0.0f, -1.0f}, {1.5f, 0.01f, 1.0f});
    auto wrapped = std::make_shared<GaussianRandomHerd>(body, RandomGenerator(11));
    HerdCollection collection;
    collection.add(wrapped);
    WrapperHerd shadow(wrapped, boxSkin("shadow", 8, shadowBox));

    auto expectSame = [&]() {
        ASSERT_EQ(shadow.instanceCount(), wrapped->instanceCount());
        for (unsigned i = 0; i < shadow.instanceCount(); ++i) {
            const HerdInstance a = wrapped->instance(i), b = shadow.instance(i);
            EXPECT_EQ(b.frame, a.frame);
            EXPECT_EQ(b.transform, a.transform);
            EXPECT_EQ(b.box, transformBox(shadowBox, a.transform));
            EXPECT_NE(b.box, a.box);
        }
    };
    expectSame();
    for (int i = 0; i < 5; ++i) wrapped->addAnimal(collection);
    expectSame();
    {
        // Time and motion are the wrapped herd's; the wrapper's own setFrame changes nothing.
        wrapped->setFrame(13, true);
        shadow.setFrame(2, false);
        expectSame();
    }
    {
        // Adding through the wrapper adds nothing; removing from the wrapped herd shows at once.
        shadow.addAnimal(collection);
        EXPECT_EQ(shadow.instanceCount(), 5u);
        wrapped->removeAnimal();
        expectSame();
    }
    {
        // Queries go to the wrapped herd (its body boxes), not to the shadow's boxes.
        const HerdInstance first = wrapped->instance(0);
        EXPECT_TRUE(shadow.intersects(first.box));
        EXPECT_EQ(shadow.intersects(grow(first.box, 5.0f)), wrapped->intersects(grow(first.box, 5.0f)));
    }
}
