#include "mesh/TriangleStripBuilder.h"
#include "mesh/VertexCacheFifo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(VertexCacheFifo, EvictsOldestAndHitsDoNotRefresh)
{
    {
        VertexCacheFifo cache(3);
        std::vector<uint32_t> sequence{1, 2, 3, 1, 4, 1};
        // 1 2 3 miss; 1 hits but stays oldest; 4 evicts 1; so 1 misses again (LRU would hit).
        EXPECT_EQ(cache.feed(sequence.begin(), sequence.end()), 5u);
        EXPECT_EQ(cache.misses(), 5u);
        EXPECT_EQ(cache.hits(), 1u);
        EXPECT_FALSE(cache.contains(2));
        EXPECT_TRUE(cache.contains(3));
        EXPECT_TRUE(cache.contains(4));
        EXPECT_TRUE(cache.contains(1));
    }
    {
        VertexCacheFifo cache(3);
        EXPECT_FALSE(cache.access(7));
        EXPECT_TRUE(cache.access(7));
        EXPECT_FALSE(cache.access(8));
        EXPECT_FALSE(cache.access(9));
        EXPECT_FALSE(cache.access(10)); // evicts 7
        EXPECT_FALSE(cache.contains(7));
        EXPECT_TRUE(cache.access(8));
        EXPECT_FALSE(cache.access(7)); // evicts 8
        EXPECT_FALSE(cache.contains(8));
        EXPECT_EQ(cache.misses(), 5u);
        EXPECT_EQ(cache.hits(), 2u);
    }
    {
        // A cache of one entry hits only on immediate repeats.
        VertexCacheFifo cache(0);
        EXPECT_EQ(cache.cacheSize(), 1u);
        std::vector<uint32_t> sequence{5, 5, 6, 5};
        EXPECT_EQ(cache.feed(sequence.begin(), sequence.end()), 3u);
    }
}

TEST(VertexCacheFifo, FeedsAnyIndexWidthAndResets)
{
    std::vector<uint16_t> narrow{0, 1, 2, 2, 1, 3, 0, 4, 5, 6, 0};
    std::vector<uint32_t> wide(narrow.begin(), narrow.end());
    VertexCacheFifo a(4), b(4);
    size_t narrowMisses = a.feed(std::span<const uint16_t>(narrow));
    size_t wideMisses = b.feed(std::span<const uint32_t>(wide));
    // 0 1 2 3 miss, 0 hits, 4 evicts 0, 5 evicts 1, 6 evicts 2, 0 misses (evicting 3).
    EXPECT_EQ(narrowMisses, 8u);
    EXPECT_EQ(wideMisses, narrowMisses);

    a.reset();
    EXPECT_EQ(a.misses(), 0u);
    EXPECT_EQ(a.hits(), 0u);
    EXPECT_FALSE(a.contains(6));
    EXPECT_FALSE(a.access(6));
}

TEST(VertexCacheFifo, TrianglesPerPrimitiveKind)
{
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindList, 9), 3u);
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindList, 7), 2u);
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindStrip, 7), 5u);
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindStrip, 2), 0u);
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindFan, 5), 3u);
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(VertexCacheFifo::kKindFan, 0), 0u);
    EXPECT_EQ(VertexCacheFifo::trianglesInPrimitive(3, 9), 0u);

    VertexCacheFifo cache(16);
    std::vector<uint16_t> fan{0, 1, 2, 3, 4};
    EXPECT_EQ(cache.feedPrimitive(VertexCacheFifo::kKindFan, fan.begin(), fan.end()), 3u);
    EXPECT_EQ(cache.misses(), 5u);
}

TEST(VertexCacheFifo, AverageMissRatioSharesOneCacheAcrossPrimitives)
{
    using Type = StripPrimitive::Type;
    std::vector<StripPrimitive> primitives{
        {Type::TriangleStrip, {0, 1, 2, 3}}, // 2 triangles, 4 misses
        {Type::TriangleList, {0, 1, 4}},     // 1 triangle
    };
    // With 16 entries 0 and 1 are still held: 5 misses for 3 triangles.
    EXPECT_DOUBLE_EQ(averageCacheMissRatio(primitives, 16), 5.0 / 3.0);
    // With 3 entries 3 evicted 0, then 0 evicts 1 and 1 evicts 2: 7 misses.
    EXPECT_DOUBLE_EQ(averageCacheMissRatio(primitives, 3), 7.0 / 3.0);
    // A strip's first two indices go through the cache like the rest.
    std::vector<StripPrimitive> restarted{
        {Type::TriangleStrip, {0, 1, 2, 3}},
        {Type::TriangleStrip, {6, 7, 2}},
    };
    EXPECT_DOUBLE_EQ(averageCacheMissRatio(restarted, 16), 6.0 / 3.0);
    EXPECT_DOUBLE_EQ(averageCacheMissRatio({}, 16), 0.0);
}
