#include "HerdTestSkins.h"

#include "herd/GaussianHerdCreator.h"
#include "herd/GaussianRandomHerd.h"
#include "herd/GridHerd.h"
#include "herd/GridHerdCreator.h"
#include "herd/HerdCollection.h"
#include "herd/HerdOfOne.h"
#include "herd/HerdScene.h"
#include "herd/LineHerdCreator.h"
#include "herd/LineRandomHerd.h"
#include "herd/SingleHerdCreator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <typeinfo>

using herdtest::animalSkin;

namespace {

// A scene with a fixed seed, so that its random picks repeat.
class RecordingScene : public HerdScene {
public:
    RecordingScene() : HerdScene(31) {}
};

std::vector<std::shared_ptr<Skin>> levels(const std::string& name, unsigned count)
{
    std::vector<std::shared_ptr<Skin>> skins;
    for (unsigned i = 0; i < count; ++i) skins.push_back(animalSkin(name + std::to_string(i)));
    return skins;
}

std::vector<unsigned> counts(const HerdScene& scene)
{
    std::vector<unsigned> result;
    for (const auto& herd : scene.herds()) result.push_back(herd->instanceCount());
    return result;
}

} // namespace

TEST(HerdCreators, EqualsComparesKindAndParameters)
{
    const SingleHerdCreator single;
    const GaussianHerdCreator gaussian;
    const LineHerdCreator line(2.5), otherLine(3.0), sameLine(2.5);
    const GridHerdCreator grid(3, 4), sameGrid(3, 4), transposed(4, 3);
    EXPECT_TRUE(single.equals(SingleHerdCreator()));
    EXPECT_TRUE(gaussian.equals(GaussianHerdCreator()));
    EXPECT_TRUE(line.equals(sameLine));
    EXPECT_FALSE(line.equals(otherLine));
    EXPECT_TRUE(grid.equals(sameGrid));
    EXPECT_FALSE(grid.equals(transposed));
    const HerdCreator* all[] = {&single, &gaussian, &line, &grid};
    for (const HerdCreator* a : all)
        for (const HerdCreator* b : all) EXPECT_EQ(a->equals(*b), a == b);
}

TEST(HerdCreators, CreateTheirKindOfHerd)
{
    auto skin = animalSkin();
    EXPECT_NE(std::dynamic_pointer_cast<HerdOfOne>(SingleHerdCreator().create(skin)), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<GaussianRandomHerd>(GaussianHerdCreator().create(skin)), nullptr);
    const auto line = std::dynamic_pointer_cast<LineRandomHerd>(LineHerdCreator(7.5).create(skin));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->halfWidth(), 7.5);
    const auto grid = GridHerdCreator(3, 5).create(skin);
    ASSERT_NE(std::dynamic_pointer_cast<GridHerd>(grid), nullptr);
    EXPECT_EQ(grid->instanceCount(), 15u);
    EXPECT_EQ(grid->skin(), skin);
}

TEST(HerdScene, AddSkinBuildsAHierarchicalHerdInTheCollection)
{
    RecordingScene scene;
    EXPECT_NE(std::dynamic_pointer_cast<GaussianHerdCreator>(scene.herdCreator()), nullptr) << "starts with Round";
    EXPECT_EQ(scene.maxLevelCount(), 1u);
    const auto skins = levels("cow", 3);
    const auto herd = scene.addSkin(skins, "/data/cows");
    ASSERT_NE(herd, nullptr);
    EXPECT_EQ(herd->levelCount(), 3u);
    EXPECT_EQ(herd->skin(), skins[0]);
    EXPECT_EQ(herd->levels()[2]->skin(), skins[2]);
    EXPECT_NE(std::dynamic_pointer_cast<GaussianRandomHerd>(herd->wrappedHerd()), nullptr);
    ASSERT_EQ(scene.herds().size(), 1u);
    EXPECT_EQ(scene.herds()[0], herd);
    EXPECT_EQ(scene.directoryOf(0), std::filesystem::path("/data/cows")) << "where its textures are found";
    EXPECT_EQ(scene.maxLevelCount(), 3u);
    {
        herd->addAnimal(*scene.collection());
        EXPECT_TRUE(scene.collection()->intersects(herd->instance(0).box)) << "the collection holds the new herd";
    }
    EXPECT_EQ(scene.addSkin({}, "x"), nullptr);
    EXPECT_EQ(scene.herds().size(), 1u);
}

TEST(HerdScene, ClearStartsAnEmptyCollection)
{
    RecordingScene scene;
    scene.addSkin(levels("cow", 1), "");
    scene.setAnimalCount(5);
    const auto old = scene.collection();
    scene.clear();
    EXPECT_TRUE(scene.herds().empty());
    EXPECT_NE(scene.collection(), old);
    EXPECT_EQ(scene.collection()->size(), 0u);
    EXPECT_EQ(scene.totalAnimalCount(), 0u);
}

TEST(HerdScene, SetAnimalCountGrowsAndShrinksAcrossHerds)
{
    RecordingScene scene;
    {
        scene.setAnimalCount(50);
        EXPECT_EQ(scene.totalAnimalCount(), 0u) << "no herds, nothing to do";
    }
    for (const char* name : {"cow", "sheep", "goat"}) scene.addSkin(levels(name, 2), "");
    {
        scene.setAnimalCount(300);
        EXPECT_EQ(scene.totalAnimalCount(), 300u);
        for (unsigned count : counts(scene)) EXPECT_GT(count, 50u) << "picks are spread over the herds";
    }
    {
        const auto before = counts(scene);
        scene.setAnimalCount(300);
        EXPECT_EQ(counts(scene), before) << "the current total changes nothing";
    }
    {
        scene.setAnimalCount(40);
        EXPECT_EQ(scene.totalAnimalCount(), 40u);
        scene.setAnimalCount(0);
        EXPECT_EQ(counts(scene), (std::vector<unsigned>{0, 0, 0}));
        scene.setAnimalCount(7);
        EXPECT_EQ(scene.totalAnimalCount(), 7u);
    }
}

TEST(HerdScene, HerdsThatCannotGrowTakeTheirTurnAndAddNothing)
{
    RecordingScene scene;
    const auto single = scene.addSkin(levels("statue", 1), "");
    scene.addSkin(levels("cow", 1), "");
    single->setHerd(std::make_shared<HerdOfOne>(single->skin()));
    scene.setAnimalCount(201);
    const unsigned total = scene.totalAnimalCount();
    EXPECT_LT(total, 201u);
    EXPECT_GT(total, 60u);
    EXPECT_EQ(single->instanceCount(), 1u);
    {
        // Shrinking: picks of the herd of one count as removals although nothing goes.
        scene.setAnimalCount(1);
        EXPECT_GE(scene.totalAnimalCount(), 1u);
        EXPECT_EQ(single->instanceCount(), 1u);
    }
}

TEST(HerdScene, SingleAnimalsComeAndGoOnRandomHerds)
{
    RecordingScene scene;
    scene.addRandomAnimal();
    scene.removeRandomAnimal();
    scene.addSkin(levels("cow", 1), "");
    scene.addSkin(levels("sheep", 1), "");
    for (int i = 0; i < 10; ++i) scene.addRandomAnimal();
    EXPECT_EQ(scene.totalAnimalCount(), 10u);
    for (int i = 0; i < 12; ++i) scene.removeRandomAnimal();
    EXPECT_EQ(scene.totalAnimalCount(), 0u) << "removing from empty herds removes nothing";
}

TEST(HerdScene, SetHerdCreatorRebuildsEveryHerdWithTenAnimals)
{
    RecordingScene scene;
    const auto cows = scene.addSkin(levels("cow", 2), "");
    const auto sheep = scene.addSkin(levels("sheep", 3), "");
    scene.setAnimalCount(30);
    const auto cowLevels = cows->levels();
    {
        scene.setHerdCreator(std::make_shared<GridHerdCreator>(2, 3));
        EXPECT_NE(std::dynamic_pointer_cast<GridHerd>(cows->wrappedHerd()), nullptr);
        EXPECT_NE(std::dynamic_pointer_cast<GridHerd>(sheep->wrappedHerd()), nullptr);
        EXPECT_EQ(counts(scene), (std::vector<unsigned>{6, 6})) << "grids take no extra animals";
        EXPECT_EQ(cows->levels(), cowLevels) << "levels, and the renderers on them, stay";
        EXPECT_EQ(scene.herds().size(), 2u) << "no herd is added by a change of kind";
    }
    {
        // An equal creator keeps every herd and its animals.
        const auto grid = cows->wrappedHerd();
        const HerdInstance first = grid->instance(0);
        scene.setHerdCreator(std::make_shared<GridHerdCreator>(2, 3));
        EXPECT_EQ(cows->wrappedHerd(), grid);
        EXPECT_EQ(grid->instance(0).transform, first.transform);
    }
    {
        scene.setHerdCreator(std::make_shared<LineHerdCreator>(4.0));
        EXPECT_EQ(counts(scene), (std::vector<unsigned>{10, 10}));
        EXPECT_NE(std::dynamic_pointer_cast<LineRandomHerd>(sheep->wrappedHerd()), nullptr);
        scene.setHerdCreator(nullptr);
        EXPECT_NE(std::dynamic_pointer_cast<LineHerdCreator>(scene.herdCreator()), nullptr);
    }
    {
        // New herds use the new kind.
        const auto goats = scene.addSkin(levels("goat", 1), "");
        EXPECT_NE(std::dynamic_pointer_cast<LineRandomHerd>(goats->wrappedHerd()), nullptr);
    }
}

TEST(HerdScene, PassesTimeToEveryHerd)
{
    RecordingScene scene;
    const auto a = scene.addSkin(levels("cow", 1), "");
    const auto b = scene.addSkin(levels("sheep", 1), "");
    scene.setFrame(12, true);
    EXPECT_EQ(std::dynamic_pointer_cast<MovingHerd>(a->wrappedHerd())->time(), 12);
    EXPECT_EQ(std::dynamic_pointer_cast<MovingHerd>(b->wrappedHerd())->motion()(2, 3),
              MovingHerd::kVelocity.z * 12.0f);
}

namespace {

// Every animal of every herd, in order: frame and placement.
std::vector<std::pair<unsigned, Matrix4f>> layout(const HerdScene& scene)
{
    std::vector<std::pair<unsigned, Matrix4f>> animals;
    for (const auto& herd : scene.herds())
        for (unsigned i = 0; i < herd->instanceCount(); ++i)
            animals.emplace_back(herd->instance(i).frame, herd->instance(i).transform);
    return animals;
}

// Two herds of the given kind, 25 animals, then the kind changed to lines: every way a scene
// makes herds (adding skins, changing the creator) and every way it draws (picks, placements).
std::vector<std::pair<unsigned, Matrix4f>> buildScene(HerdScene& scene, const std::shared_ptr<HerdCreator>& creator)
{
    scene.setHerdCreator(creator);
    scene.addSkin(levels("cow", 2), "");
    scene.addSkin(levels("sheep", 1), "");
    scene.setAnimalCount(25);
    auto animals = layout(scene);
    scene.setHerdCreator(std::make_shared<LineHerdCreator>(4.0));
    scene.setAnimalCount(31);
    const auto after = layout(scene);
    animals.insert(animals.end(), after.begin(), after.end());
    return animals;
}

} // namespace

namespace {

// Another seed near the given one, wrapping around at the largest instead of overflowing.
std::int32_t seedAfter(std::int32_t seed, std::uint32_t step)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(seed) + step);
}

} // namespace

TEST(HerdScene, ASeededSceneLaysEveryHerdOutTheSameWayOnEveryRun)
{
    EXPECT_FALSE(HerdScene().seed().has_value()) << "the viewer's scene is seeded by the operating system";
    const std::vector<std::shared_ptr<HerdCreator>> creators = {
        std::make_shared<GaussianHerdCreator>(), std::make_shared<GridHerdCreator>(2, 3),
        std::make_shared<SingleHerdCreator>()};
    for (const std::int32_t seed : {1, 77, -5, 2147483647}) {
        for (const auto& creator : creators) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", creator " + typeid(*creator).name());
            HerdScene first(seed), second(seed), other(seedAfter(seed, 1));
            EXPECT_EQ(first.seed(), std::optional<std::int32_t>(seed));
            const auto animals = buildScene(first, creator);
            ASSERT_GT(animals.size(), 30u);
            EXPECT_EQ(buildScene(second, creator), animals);
            EXPECT_NE(buildScene(other, creator), animals) << "another seed, another scene";

            // A scene seeded later draws as one made with the seed.
            HerdScene reseeded(seedAfter(seed, 2));
            reseeded.addSkin(levels("goat", 1), "");
            reseeded.setAnimalCount(4);
            reseeded.clear();
            reseeded.reseed(seed);
            EXPECT_EQ(buildScene(reseeded, creator), animals);
        }
    }
}

TEST(RandomGenerator, DerivedSeedsAreDistinctNonZeroAndFixed)
{
    std::set<std::int32_t> seen;
    for (const std::int32_t seed : {0, 1, 2, -1, 1000, 2147483647})
        for (std::uint32_t stream = 0; stream < 500; ++stream) {
            const std::int32_t derived = RandomGenerator::derivedSeed(seed, stream);
            EXPECT_GE(derived, 1);
            EXPECT_LE(derived, 2147483646);
            EXPECT_EQ(RandomGenerator::derivedSeed(seed, stream), derived);
            seen.insert(derived);
        }
    EXPECT_EQ(seen.size(), 6u * 500u) << "colliding streams would repeat a herd's layout";
    // SplitMix64's finaliser worked out independently: the same on every machine and build.
    EXPECT_EQ(RandomGenerator::derivedSeed(1, 1), 2120735756);
    EXPECT_EQ(RandomGenerator::derivedSeed(-5, 3), 489470646);
    EXPECT_EQ(RandomGenerator::derivedSeed(0, 0), 60845732);
}
