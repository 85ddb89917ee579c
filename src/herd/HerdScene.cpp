#include "herd/HerdScene.h"

#include "foundation/Exception.h"
#include "herd/GaussianHerdCreator.h"
#include "herd/HerdCollection.h"
#include "herd/HerdCreator.h"

#include <algorithm>

HerdScene::HerdScene()
    : m_creator(std::make_shared<GaussianHerdCreator>()), m_collection(std::make_shared<HerdCollection>())
{
}

HerdScene::HerdScene(std::int32_t seed) : HerdScene()
{
    reseed(seed);
}

void HerdScene::reseed(std::int32_t seed)
{
    m_seed = seed;
    m_random = RandomGenerator(seed);
    m_herdsMade = 0;
}

std::shared_ptr<Herd> HerdScene::createHerd(const std::shared_ptr<Skin>& skin)
{
    if (!m_seed) return m_creator->create(skin);
    // The picks draw from the seed itself; herds take the derived streams 1, 2, ...
    return m_creator->create(skin, RandomGenerator(RandomGenerator::derivedSeed(*m_seed, ++m_herdsMade)));
}

HerdScene::~HerdScene() = default;

std::shared_ptr<HierarchicalHerd> HerdScene::addSkin(const std::vector<std::shared_ptr<Skin>>& levelSkins,
                                                     const std::filesystem::path& directory)
{
    if (levelSkins.empty()) return nullptr;
    // Made first, so that a failure leaves the scene and its random streams as they were.
    std::shared_ptr<Skin> band = m_bandSkinMaker ? m_bandSkinMaker(*levelSkins.back()) : nullptr;
    auto herd = std::make_shared<HierarchicalHerd>(levelSkins, createHerd(levelSkins.front()));
    herd->setBandSkin(std::move(band));
    m_collection->add(herd);
    m_herds.push_back(herd);
    m_directories.push_back(directory);
    return herd;
}

void HerdScene::clear()
{
    m_collection = std::make_shared<HerdCollection>();
    m_herds.clear();
    m_directories.clear();
}

void HerdScene::setHerdCreator(std::shared_ptr<HerdCreator> creator)
{
    if (!creator || (m_creator && creator->equals(*m_creator))) return;
    m_creator = std::move(creator);
    for (const auto& herd : m_herds) {
        herd->setHerd(createHerd(herd->skin()));
        for (int i = 0; i < 10; ++i) herd->addAnimal(*m_collection);
    }
}

unsigned HerdScene::totalAnimalCount() const
{
    unsigned total = 0;
    for (const auto& herd : m_herds) total += herd->instanceCount();
    return total;
}

unsigned HerdScene::maxLevelCount() const
{
    unsigned levels = 1;
    for (const auto& herd : m_herds) levels = std::max(levels, herd->levelCount());
    return levels;
}

void HerdScene::setAnimalCount(unsigned n)
{
    if (m_herds.empty()) return;
    const unsigned current = totalAnimalCount();
    const unsigned herdCount = static_cast<unsigned>(m_herds.size());
    if (n > current) {
        for (unsigned k = current; k < n; ++k) m_herds[m_random.uniformIndex(herdCount)]->addAnimal(*m_collection);
    } else if (n < current) {
        // Only picks of non-empty herds count. Some herd stays non-empty until enough picks
        // have counted, since each counted pick removes at most one animal.
        unsigned removals = 0;
        while (removals < current - n) {
            HierarchicalHerd& herd = *m_herds[m_random.uniformIndex(herdCount)];
            if (herd.instanceCount() == 0) continue;
            herd.removeAnimal();
            ++removals;
        }
    }
}

void HerdScene::addRandomAnimal()
{
    if (m_herds.empty()) return;
    m_herds[m_random.uniformIndex(static_cast<unsigned>(m_herds.size()))]->addAnimal(*m_collection);
}

void HerdScene::removeRandomAnimal()
{
    if (m_herds.empty()) return;
    HierarchicalHerd* herd = nullptr;
    for (int pick = 0; pick < 101; ++pick) {
        herd = m_herds[m_random.uniformIndex(static_cast<unsigned>(m_herds.size()))].get();
        if (herd->instanceCount() != 0) break;
    }
    herd->removeAnimal();
}

void HerdScene::setFrame(int frame, bool moving)
{
    for (const auto& herd : m_herds) herd->setFrame(frame, moving);
}
