#pragma once

// VertexCacheFifo: a model of a GPU post-transform vertex cache that replaces its entries
// first-in first-out. It is the yardstick for index orders: the fewer misses it sees per
// triangle (the average cache miss ratio, ACMR), the fewer vertices the GPU re-shades.
// A hit leaves the entry where it is (unlike LRU), so only misses change the contents.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct StripPrimitive;

class VertexCacheFifo {
public:
    // Primitive kinds as the skin stores them.
    static constexpr int kKindList = 0;
    static constexpr int kKindStrip = 1;
    static constexpr int kKindFan = 2;

    // An empty cache of cacheSize entries (a size of 0 is treated as 1).
    explicit VertexCacheFifo(unsigned cacheSize = 16);

    // Looks the index up; a miss inserts it, evicting the oldest entry when full.
    // Returns true on a hit.
    bool access(uint32_t index);

    // Feeds a range of indices in draw order; returns the misses it caused.
    template <typename Iterator>
    size_t feed(Iterator begin, Iterator end)
    {
        size_t before = m_misses;
        for (; begin != end; ++begin)
            access(static_cast<uint32_t>(*begin));
        return m_misses - before;
    }
    size_t feed(std::span<const uint16_t> indices) { return feed(indices.begin(), indices.end()); }
    size_t feed(std::span<const uint32_t> indices) { return feed(indices.begin(), indices.end()); }

    // Feeds one primitive of the given kind and returns how many triangles it draws.
    template <typename Iterator>
    size_t feedPrimitive(int kind, Iterator begin, Iterator end)
    {
        size_t count = 0;
        for (Iterator it = begin; it != end; ++it) {
            access(static_cast<uint32_t>(*it));
            ++count;
        }
        return trianglesInPrimitive(kind, count);
    }

    // True when the index is currently held; does not count as an access.
    bool contains(uint32_t index) const;

    // Empties the cache and clears the hit and miss counters.
    void reset();

    unsigned cacheSize() const { return m_cacheSize; }
    size_t misses() const { return m_misses; }
    size_t hits() const { return m_hits; }

    // Triangles drawn by a primitive of kind 0 (list), 1 (strip) or 2 (fan) with
    // indexCount indices; unknown kinds and too short strips or fans draw none.
    static size_t trianglesInPrimitive(int kind, size_t indexCount);

private:
    std::vector<uint32_t> m_entries; // ring buffer, m_next is the oldest once full
    size_t m_next = 0;
    size_t m_used = 0;
    unsigned m_cacheSize;
    size_t m_misses = 0;
    size_t m_hits = 0;
};

// Misses per drawn triangle when every primitive is fed in order through one cache of
// cacheSize entries that starts empty. Returns 0 when nothing is drawn.
double averageCacheMissRatio(const std::vector<StripPrimitive>& primitives, unsigned cacheSize = 16);
