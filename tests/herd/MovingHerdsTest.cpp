#include "HerdTestSkins.h"

#include "herd/BoxRules.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/GridHerd.h"
#include "herd/HerdCollection.h"
#include "herd/LineRandomHerd.h"
#include "herd/RandomGenerator.h"
#include "herd/SimpleHerd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

using herdtest::animalSkin;
using herdtest::boxSkin;

namespace {

// Every pair of boxes keeps the collision tolerance apart.
void expectNoTwoTouch(const std::vector<BoundingBox>& boxes)
{
    for (std::size_t a = 0; a < boxes.size(); ++a)
        for (std::size_t b = a + 1; b < boxes.size(); ++b)
            if (overlap(boxes[a], boxes[b], kCollisionTolerance)) {
                ADD_FAILURE() << "animals " << a << " and " << b << " touch";
                return;
            }
}

std::vector<BoundingBox> sceneBoxes(const Herd& herd)
{
    std::vector<BoundingBox> boxes;
    for (unsigned i = 0; i < herd.instanceCount(); ++i) boxes.push_back(herd.instance(i).box);
    return boxes;
}

bool bruteForceIntersects(const Herd& herd, const BoundingBox& box)
{
    for (unsigned i = 0; i < herd.instanceCount(); ++i)
        if (overlap(box, herd.instance(i).box, kCollisionTolerance)) return true;
    return false;
}

void expectOrderedByDecreasingMinimumZ(const LineRandomHerd& herd)
{
    for (unsigned i = 1; i < herd.instanceCount(); ++i)
        ASSERT_GE(herd.placement(i - 1).box.minimum.z, herd.placement(i).box.minimum.z) << "at " << i;
}

} // namespace

TEST(RandomGenerator, SeededGeneratorsRepeatAndSystemSeedsAreNeverZero)
{
    RandomGenerator a(1234), b(1234), c(-1234);
    for (int i = 0; i < 20; ++i) {
        const double value = a.uniformReal(0, 1);
        EXPECT_EQ(value, b.uniformReal(0, 1));
        // The engine is seeded with |seed|.
        EXPECT_EQ(value, c.uniformReal(0, 1));
    }
    // The operating system's seeds: never 0, and not one fixed number (eight equal 32-bit
    // draws would happen once in 2^224 runs), so unseeded herds differ from run to run.
    std::set<std::int32_t> seeds;
    for (int i = 0; i < 8; ++i) seeds.insert(RandomGenerator::systemSeed());
    EXPECT_EQ(seeds.count(0), 0u);
    EXPECT_GT(seeds.size(), 1u) << "the operating system's seed is a constant";
    RandomGenerator extreme(std::numeric_limits<std::int32_t>::min());
    EXPECT_LT(extreme.uniformIndex(3), 3u);
}

TEST(RandomGenerator, DistributionsStayInRangeAndEmptyIntervalsReturn)
{
    RandomGenerator random(77);
    for (int i = 0; i < 1000; ++i) {
        const unsigned index = random.uniformIndex(4);
        EXPECT_LT(index, 4u);
        const double real = random.uniformReal(-2.0, -1.0);
        EXPECT_GE(real, -2.0);
        EXPECT_LT(real, -1.0);
    }
    // Boost would redraw forever on these; a band of width 0 gives its only value.
    EXPECT_EQ(random.uniformReal(3.0, 3.0), 3.0);
    EXPECT_EQ(random.uniformReal(-0.0, 0.0), 0.0);
    const double swapped = random.uniformReal(1.0, -1.0);
    EXPECT_GE(swapped, -1.0);
    EXPECT_LT(swapped, 1.0);
    EXPECT_EQ(random.normal(0.0), 0.0);
    EXPECT_EQ(random.uniformIndex(1), 0u);
}

TEST(GridHerd, LaysOutRowsAndColumnsNearTheGridPoints)
{
    const BoundingBox box({-1.0f, 0.0f, -0.4f}, {1.0f, 1.5f, 0.4f});
    GridHerd herd(boxSkin("grid", 8, box), 3, 2, RandomGenerator(5));
    ASSERT_EQ(herd.instanceCount(), 6u);
    const float dx = 2.5f * 2.0f, dz = 4.0f * 0.8f;
    for (unsigned k = 0; k < 6; ++k) {
        const unsigned i = k / 2, j = k % 2; // rows outer, columns inner
        const HerdInstance instance = herd.instance(k);
        EXPECT_NEAR(instance.transform(0, 3), dx * i, 0.5f) << k;
        EXPECT_NEAR(instance.transform(2, 3), dz * j, 0.5f) << k;
        EXPECT_EQ(instance.transform(1, 3), 0.0f);
        EXPECT_LE(instance.frame, 3u) << "offsets are 0..3 and show at time 0";
        EXPECT_EQ(instance.box, transformBox(box, instance.transform));
    }
    {
        herd.setFrame(6, true);
        for (unsigned k = 0; k < 6; ++k) {
            EXPECT_EQ(herd.instance(k).frame, (herd.placement(k).frame + 6) % 8);
            EXPECT_EQ(herd.instance(k).transform, herd.placement(k).transform) << "a grid never walks";
        }
    }
    {
        HerdCollection collection;
        herd.addAnimal(collection);
        herd.removeAnimal();
        EXPECT_EQ(herd.instanceCount(), 6u);
        EXPECT_FALSE(herd.intersects(herd.instance(0).box));
    }
}

TEST(GridHerd, NegativeCountsMakeAnEmptyGrid)
{
    GridHerd herd(animalSkin(), -3, 4, RandomGenerator(5));
    EXPECT_EQ(herd.instanceCount(), 0u);
}

TEST(MovingHerds, WalkingTranslatesEveryAnimalAndKeepsTheFrames)
{
    auto skin = animalSkin("walker", 30);
    GaussianRandomHerd gaussian(skin, RandomGenerator(3));
    LineRandomHerd line(skin, 10.0, RandomGenerator(4));
    HerdCollection collection;
    collection.add(std::shared_ptr<Herd>(&gaussian, [](Herd*) {}));
    collection.add(std::shared_ptr<Herd>(&line, [](Herd*) {}));
    for (int i = 0; i < 6; ++i) {
        gaussian.addAnimal(collection);
        line.addAnimal(collection);
    }
    for (MovingHerd* herd : {static_cast<MovingHerd*>(&gaussian), static_cast<MovingHerd*>(&line)}) {
        herd->setFrame(10, false);
        std::vector<HerdInstance> still;
        for (unsigned i = 0; i < herd->instanceCount(); ++i) still.push_back(herd->instance(i));
        herd->setFrame(10, true);
        for (unsigned i = 0; i < herd->instanceCount(); ++i) {
            const HerdInstance moving = herd->instance(i);
            EXPECT_EQ(moving.frame, still[i].frame);
            EXPECT_NEAR(moving.transform(2, 3) - still[i].transform(2, 3), 1.67364776f, 1e-5f);
            EXPECT_EQ(moving.transform(0, 3), still[i].transform(0, 3));
            EXPECT_NEAR(moving.box.minimum.z - still[i].box.minimum.z, 1.67364776f, 1e-5f);
        }
        // The walk moves the whole crowd: the queries follow it.
        const BoundingBox walkedBox = herd->instance(0).box;
        EXPECT_TRUE(herd->intersects(walkedBox));
        EXPECT_EQ(herd->intersects(walkedBox), bruteForceIntersects(*herd, walkedBox));
    }
}

TEST(MovingHerds, FramesAdvanceFromEachAnimalsOffset)
{
    GaussianRandomHerd herd(boxSkin("eight", 8, BoundingBox({0, 0, 0}, {1, 1, 1})), RandomGenerator(1));
    herd.addInstance(5, Matrix4f::identity());
    herd.setFrame(0, false);
    EXPECT_EQ(herd.instance(0).frame, 5u);
    herd.setFrame(12, false);
    EXPECT_EQ(herd.instance(0).frame, 1u);
    herd.setFrame(12, true);
    EXPECT_EQ(herd.instance(0).frame, 1u);

    GaussianRandomHerd still(boxSkin("still", 0, BoundingBox({0, 0, 0}, {1, 1, 1})), RandomGenerator(1));
    still.addInstance(5, Matrix4f::identity());
    still.setFrame(12, false);
    EXPECT_EQ(still.instance(0).frame, 0u) << "a skin without frames shows frame 0";
}

TEST(GaussianRandomHerd, FirstAnimalRebuildsToTheSmallestGrid)
{
    auto herd = std::make_shared<GaussianRandomHerd>(animalSkin(), RandomGenerator(9));
    EXPECT_FLOAT_EQ(herd->spread(), 2.0f) << "starts at the skin's larger footprint";
    EXPECT_EQ(herd->gridResolution(), 0);
    HerdCollection collection;
    collection.add(herd);
    herd->addAnimal(collection);
    ASSERT_EQ(herd->instanceCount(), 1u);
    EXPECT_EQ(herd->gridResolution(), 1);
    EXPECT_EQ(herd->cellCount(), 4u);
    EXPECT_FALSE(herd->isStale());
    {
        // The herd box holds the animal with room around it; the spread now follows the crowd
        // (a tenth of the single animal's 2-unit footprint).
        const BoundingBox animal = herd->placement(0).box;
        EXPECT_FLOAT_EQ(herd->spread(), 0.2f);
        EXPECT_NEAR(herd->herdBox().minimum.x, animal.minimum.x - 0.2f - 0.04f, 1e-5f);
        EXPECT_NEAR(herd->herdBox().maximum.z, animal.maximum.z + 0.2f + 0.04f, 1e-5f);
    }
}

TEST(GaussianRandomHerd, GridResolutionFollowsTheSquareRootOfTheCount)
{
    const struct {
        unsigned animals;
        int resolution;
    } cases[] = {{1, 1}, {2, 1}, {3, 1}, {4, 2}, {10, 3}, {15, 3}, {16, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.animals);
        GaussianRandomHerd herd(animalSkin(), RandomGenerator(2));
        for (unsigned i = 0; i < c.animals; ++i) herd.addInstance(0, Matrix4f::translation({5.0f * i, 0, 0}));
        herd.rebuild();
        EXPECT_EQ(herd.gridResolution(), c.resolution);
        EXPECT_EQ(herd.cellCount(), static_cast<std::size_t>((c.resolution + 1) * (c.resolution + 1)));
    }
}

TEST(GaussianRandomHerd, AddedInstancesCountOnlyAfterARebuild)
{
    auto herd = std::make_shared<GaussianRandomHerd>(animalSkin(), RandomGenerator(2));
    herd->addInstance(3, Matrix4f::translation({4, 0, 0}));
    herd->addInstance(4, Matrix4f::translation({-4, 0, 0}));
    EXPECT_TRUE(herd->isStale());
    EXPECT_EQ(herd->instanceCount(), 2u);
    EXPECT_EQ(herd->placement(1).box, transformBox(herd->skin()->boundingBox(), Matrix4f::translation({-4, 0, 0})));
    const BoundingBox atFirst = herd->instance(0).box;
    EXPECT_FALSE(herd->intersects(atFirst));
    herd->rebuild();
    EXPECT_FALSE(herd->isStale());
    EXPECT_TRUE(herd->intersects(atFirst));
    {
        // A removal while stale rebuilds first, so the grid never holds a stale index.
        herd->addInstance(5, Matrix4f::translation({0, 0, 9}));
        const BoundingBox third = herd->instance(2).box;
        herd->removeAnimal();
        EXPECT_FALSE(herd->isStale());
        EXPECT_EQ(herd->instanceCount(), 2u);
        EXPECT_FALSE(herd->intersects(third));
        EXPECT_TRUE(herd->intersects(atFirst));
    }
}

TEST(GaussianRandomHerd, GridQueriesAgreeWithCheckingEveryAnimal)
{
    auto herd = std::make_shared<GaussianRandomHerd>(animalSkin(), RandomGenerator(21));
    HerdCollection collection;
    collection.add(herd);
    for (int i = 0; i < 400; ++i) herd->addAnimal(collection);
    for (int i = 0; i < 37; ++i) herd->removeAnimal();
    RandomGenerator random(5);
    for (bool moving : {false, true}) {
        herd->setFrame(25, moving);
        const BoundingBox crowd = herd->herdBox();
        int hits = 0;
        for (int q = 0; q < 3000; ++q) {
            const float x = static_cast<float>(random.uniformReal(crowd.minimum.x - 3, crowd.maximum.x + 3));
            const float z = static_cast<float>(random.uniformReal(crowd.minimum.z - 3, crowd.maximum.z + 3 + 5));
            const float size = static_cast<float>(random.uniformReal(0.01, 1.5));
            const BoundingBox query({x, 0.2f, z}, {x + size, 0.3f, z + size});
            const bool expected = bruteForceIntersects(*herd, query);
            ASSERT_EQ(herd->intersects(query), expected) << "query " << q << " moving " << moving;
            hits += expected;
        }
        EXPECT_GT(hits, 100) << "the queries should exercise both answers";
    }
}

TEST(GaussianRandomHerd, RemovingFromAnEmptyHerdChangesNothing)
{
    GaussianRandomHerd herd(animalSkin(), RandomGenerator(2));
    herd.removeAnimal();
    EXPECT_EQ(herd.instanceCount(), 0u);
    EXPECT_EQ(herd.gridResolution(), 0);
    LineRandomHerd line(animalSkin(), 5.0, RandomGenerator(2));
    line.removeAnimal();
    EXPECT_EQ(line.instanceCount(), 0u);
    EXPECT_EQ(line.nextDepth(), 0.0);
}

TEST(GaussianRandomHerd, SkinWithoutFootprintStillFindsPlaces)
{
    // A skin whose box is a single point has spread 0; without a floor on the walk's step,
    // the second animal would retry at the origin forever.
    auto herd = std::make_shared<GaussianRandomHerd>(boxSkin("point", 1, BoundingBox({0, 0, 0}, {0, 0, 0})),
                                                     RandomGenerator(8));
    HerdCollection collection;
    collection.add(herd);
    for (int i = 0; i < 30; ++i) herd->addAnimal(collection);
    EXPECT_EQ(herd->instanceCount(), 30u);
    expectNoTwoTouch(sceneBoxes(*herd));
}

// A single box standing in the scene (as a skin with an absurd box would), counting the
// queries a walk makes against it.
class Obstacle : public SimpleHerd {
public:
    explicit Obstacle(const BoundingBox& box) : SimpleHerd(boxSkin("obstacle", 1, box))
    {
        HerdInstance instance;
        instance.box = box;
        append(instance);
    }
    bool intersects(const BoundingBox& box) const override
    {
        ++queries;
        return SimpleHerd::intersects(box);
    }
    mutable unsigned queries = 0;
};

bool isFinite(const BoundingBox& box)
{
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(box.minimum[axis]) || !std::isfinite(box.maximum[axis])) return false;
    return true;
}

// Walks get out of obstacles far larger than their steps, of any size up to the whole float
// range (a herd file may scale an animal by 3e38), in a bounded number of tries: 1000 at the
// walk's own pace, then one per doubling of the step, of which the float range allows about
// 134 from the smallest step (0.02) before a try lands beyond it. Doubling only every
// thousand tries took over a hundred thousand tries, half a second per animal beside such an
// obstacle.
constexpr unsigned kWalkBound = 1000 + 200;

TEST(GaussianRandomHerd, WalksOutOfObstaclesOfAnySizeInBoundedTries)
{
    const float sizes[] = {50.0f, 1e6f, 1e30f, 3e38f, INFINITY};
    for (float size : sizes) {
        SCOPED_TRACE(size);
        const BoundingBox giant({-size, -1, -size}, {size, 5, size});
        for (unsigned seed : {23u, 24u, 25u}) {
            auto herd = std::make_shared<GaussianRandomHerd>(animalSkin(), RandomGenerator(seed));
            auto obstacle = std::make_shared<Obstacle>(giant);
            HerdCollection collection;
            collection.add(obstacle);
            collection.add(herd);
            herd->addAnimal(collection);
            ASSERT_EQ(herd->instanceCount(), 1u);
            EXPECT_LE(obstacle->queries, kWalkBound) << "seed " << seed;
            const BoundingBox placed = herd->instance(0).box;
            EXPECT_FALSE(overlap(placed, giant, kCollisionTolerance)) << "seed " << seed;
            // Where the float range leaves room beside the obstacle, the walk ends there, not
            // at infinity; 50 units take more than the patient tries (steps of 2 units).
            if (size <= 1e30f) {
                EXPECT_TRUE(isFinite(placed)) << "seed " << seed;
            }
            if (size == 50.0f) {
                EXPECT_GT(obstacle->queries, 20u) << "seed " << seed;
            }
        }
    }
}

TEST(LineRandomHerd, PassesObstaclesOfAnyDepthInBoundedTries)
{
    const float depths[] = {1e6f, 1e30f, 3e38f};
    for (float depth : depths) {
        SCOPED_TRACE(depth);
        const BoundingBox deep({-50, -1, -depth}, {50, 5, 0});
        auto herd = std::make_shared<LineRandomHerd>(animalSkin(), 5.0, RandomGenerator(24));
        auto obstacle = std::make_shared<Obstacle>(deep);
        HerdCollection collection;
        collection.add(obstacle);
        collection.add(herd);
        herd->addAnimal(collection);
        ASSERT_EQ(herd->instanceCount(), 1u);
        EXPECT_LE(obstacle->queries, kWalkBound);
        const BoundingBox placed = herd->placement(0).box;
        EXPECT_FALSE(overlap(placed, deep, kCollisionTolerance));
        if (depth <= 1e30f) {
            EXPECT_TRUE(isFinite(placed));
            EXPECT_LT(placed.maximum.z, -depth);
        }
    }
}

TEST(LineRandomHerd, QueuesAnimalsBackwardsInDepthOrder)
{
    auto herd = std::make_shared<LineRandomHerd>(animalSkin(), 3.0, RandomGenerator(13));
    HerdCollection collection;
    collection.add(herd);
    double depth = herd->nextDepth();
    for (int i = 0; i < 60; ++i) {
        herd->addAnimal(collection);
        // Every try lowers the next depth by 0.02, and each addition takes at least one try.
        const double tries = (depth - herd->nextDepth()) / 0.02;
        EXPECT_NEAR(tries, std::round(tries), 1e-6);
        EXPECT_GE(std::round(tries), 1.0);
        depth = herd->nextDepth();
        const HerdInstance& newest = herd->placement(herd->instanceCount() - 1);
        EXPECT_LE(std::fabs(newest.transform(0, 3)), 3.0f);
        if (i % 7 == 6) herd->removeAnimal();
        expectOrderedByDecreasingMinimumZ(*herd);
    }
    EXPECT_LT(herd->nextDepth(), depth + 1e-9) << "removals never raise the next depth";
    expectNoTwoTouch(sceneBoxes(*herd));
    {
        // The rearmost animal goes first.
        const unsigned before = herd->instanceCount();
        const float rearmost = herd->placement(before - 1).box.minimum.z;
        herd->removeAnimal();
        for (unsigned i = 0; i + 1 < before; ++i) EXPECT_GE(herd->placement(i).box.minimum.z, rearmost);
    }
}

TEST(LineRandomHerd, RetriesBehindAnObstacle)
{
    // A wall across the band from z = -6 to z = 0: the first free place lies behind it.
    auto wallSkin = boxSkin("wall", 1, BoundingBox({-50, 0, -6}, {50, 3, 0}));
    auto wall = std::make_shared<SimpleHerd>(wallSkin);
    HerdInstance w;
    w.box = wallSkin->boundingBox();
    wall->append(w);
    auto herd = std::make_shared<LineRandomHerd>(animalSkin(), 0.0, RandomGenerator(13));
    HerdCollection collection;
    collection.add(wall);
    collection.add(herd);
    herd->addAnimal(collection);
    ASSERT_EQ(herd->instanceCount(), 1u);
    EXPECT_LT(herd->placement(0).box.maximum.z, -6.2f);
    EXPECT_LT(herd->nextDepth(), -5.0);
    EXPECT_EQ(herd->placement(0).transform(0, 3), 0.0f) << "a band of width 0 puts every animal at x = 0";
}

TEST(LineRandomHerd, QueriesAgreeWithCheckingEveryAnimal)
{
    // Varying box depths in one herd: the scan may stop early only where no box can reach.
    auto herd = std::make_shared<LineRandomHerd>(boxSkin("deep", 3, BoundingBox({-0.5f, 0, -2}, {0.5f, 1, 0})), 4.0,
                                                 RandomGenerator(17));
    HerdCollection collection;
    collection.add(herd);
    for (int i = 0; i < 300; ++i) herd->addAnimal(collection);
    RandomGenerator random(6);
    const float back = herd->placement(herd->instanceCount() - 1).box.minimum.z;
    for (bool moving : {false, true}) {
        herd->setFrame(30, moving);
        for (int q = 0; q < 3000; ++q) {
            const float x = static_cast<float>(random.uniformReal(-6, 6));
            const float z = static_cast<float>(random.uniformReal(back - 3, 8));
            const float depth = static_cast<float>(random.uniformReal(0.01, 4));
            const BoundingBox query({x, 0, z}, {x + 0.3f, 1, z + depth});
            ASSERT_EQ(herd->intersects(query), bruteForceIntersects(*herd, query)) << q;
        }
    }
}

TEST(MovingHerds, TwoThousandAnimalsOfTwoHerdsNeverTouch)
{
    auto skin = animalSkin("cow", 30);
    auto gaussian = std::make_shared<GaussianRandomHerd>(skin, RandomGenerator(100));
    auto line = std::make_shared<LineRandomHerd>(animalSkin("sheep", 20), 15.0, RandomGenerator(101));
    HerdCollection collection;
    collection.add(gaussian);
    collection.add(line);
    RandomGenerator pick(102);
    for (int i = 0; i < 2000; ++i) {
        if (i == 1000) {
            // Half-way the crowd walks on; new animals must avoid the moved ones.
            gaussian->setFrame(40, true);
            line->setFrame(40, true);
        }
        if (pick.uniformIndex(2) == 0)
            gaussian->addAnimal(collection);
        else
            line->addAnimal(collection);
    }
    EXPECT_EQ(gaussian->instanceCount() + line->instanceCount(), 2000u);
    std::vector<BoundingBox> boxes = sceneBoxes(*gaussian);
    const std::vector<BoundingBox> lineBoxes = sceneBoxes(*line);
    boxes.insert(boxes.end(), lineBoxes.begin(), lineBoxes.end());
    expectNoTwoTouch(boxes);
    expectOrderedByDecreasingMinimumZ(*line);
}
