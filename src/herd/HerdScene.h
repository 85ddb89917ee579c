#pragma once

#include "herd/HierarchicalHerd.h"
#include "herd/RandomGenerator.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class HerdCollection;
class HerdCreator;
class Skin;

// The herds of the view's scene without the drawing: the current herd creator, one
// HierarchicalHerd per animal type in load order, the collection they avoid each other
// through, and the scene's own random generator (which picks herds when animals are added or
// removed). It answers the view's herd operations: changing the herd kind and counting and
// setting the number of animals; HerdFile saves and loads it.
//
// An unseeded scene (the viewer's) seeds its generator and every herd's from the operating
// system. A seeded scene draws everything from its seed: its picks, and each herd its creators
// make gets a seed derived from the scene's seed and the herd's number, so the same calls lay
// the same animals out on every run.
//
// The viewer core holds one; the frame renderer makes the renderers of its herds. Nothing here
// touches GL. Owns the collection and shares the herds and the creator with whoever else holds
// them.
class HerdScene {
public:
    // An empty scene with the start-up creator ("Round"), seeded from the operating system.
    HerdScene();
    // The same seeded: reproducible picks and herds (tests, benchmarks, fuzzing).
    explicit HerdScene(std::int32_t seed);
    ~HerdScene();
    HerdScene(const HerdScene&) = delete;
    HerdScene& operator=(const HerdScene&) = delete;

    // Makes a herd for the first skin with the current creator, wraps it with all the level
    // skins in a HierarchicalHerd (with the band skin the band maker makes of the last level
    // skin, when one is installed), and adds that to the collection and the herd list. Returns
    // the new herd, or null when no skins are given. Throws what the band maker throws (the
    // viewer's makes no band instead).
    std::shared_ptr<HierarchicalHerd> addSkin(const std::vector<std::shared_ptr<Skin>>& levelSkins,
                                              const std::filesystem::path& directory);
    // Makes a herd's band skin from its coarsest level skin (HierarchicalHerd::setBandSkin);
    // null for none. The viewer installs one; the herd layer cannot simplify meshes itself.
    using BandSkinMaker = std::function<std::shared_ptr<Skin>(const Skin& coarsest)>;
    void setBandSkinMaker(BandSkinMaker maker) { m_bandSkinMaker = std::move(maker); }

    // Drops every herd and starts a new, empty collection.
    void clear();

    // Installs a creator unless it equals the current one; then every herd gets a new herd
    // of the new kind (levels and renderers stay) and ten animals. Null is ignored.
    void setHerdCreator(std::shared_ptr<HerdCreator> creator);
    const std::shared_ptr<HerdCreator>& herdCreator() const { return m_creator; }

    // The sum of the herds' animal counts.
    unsigned totalAnimalCount() const;
    // The largest level count among the herds, at least 1.
    unsigned maxLevelCount() const;
    // Adds animals to (or removes them from) herds picked at random until the total is n;
    // herds that cannot grow take their turn and add nothing, so the total may stay below n.
    void setAnimalCount(unsigned n);
    // One animal more on a random herd (keypad +); nothing without herds.
    void addRandomAnimal();
    // One animal less on a random non-empty herd, giving up after 101 picks (keypad -).
    void removeRandomAnimal();
    // Passes the time to every herd.
    void setFrame(int frame, bool moving);

    // From now on the scene draws from this seed as a scene made with it would: its picks
    // restart from the seed and the next herd made is the first of the seed's herds. Herds
    // made before keep their animals and generators.
    void reseed(std::int32_t seed);
    // The seed of a seeded scene; none when the operating system seeds it.
    std::optional<std::int32_t> seed() const { return m_seed; }

    const std::deque<std::shared_ptr<HierarchicalHerd>>& herds() const { return m_herds; }
    // The directory of the skin file the index-th herd was made from (its textures are named
    // relative to it); index must be below herds().size().
    const std::filesystem::path& directoryOf(std::size_t index) const { return m_directories[index]; }
    const std::shared_ptr<HerdCollection>& collection() const { return m_collection; }
    RandomGenerator& random() { return m_random; }

private:
    // A new herd of the current creator's kind: OS-seeded, or seeded from the scene's seed.
    std::shared_ptr<Herd> createHerd(const std::shared_ptr<Skin>& skin);

    RandomGenerator m_random;
    std::optional<std::int32_t> m_seed;
    // Herds made since the scene was seeded: the stream number of the next herd's seed.
    std::uint32_t m_herdsMade = 0;
    std::shared_ptr<HerdCreator> m_creator;
    std::deque<std::shared_ptr<HierarchicalHerd>> m_herds;
    std::deque<std::filesystem::path> m_directories;
    std::shared_ptr<HerdCollection> m_collection;
    BandSkinMaker m_bandSkinMaker;
};
