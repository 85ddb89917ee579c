// Packing of primitive groups into 16-bit index buffers: where batches split, what each draw
// range points at, and that a group is never cut in two.

#include "foundation/Exception.h"
#include "render/IndexBatches.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

PrimitiveGroup group(std::int32_t kind, std::size_t count, std::uint16_t first = 0)
{
    PrimitiveGroup g;
    g.kind = kind;
    g.indices.resize(count);
    std::iota(g.indices.begin(), g.indices.end(), first);
    return g;
}

// Every group must appear exactly once, whole, as one range of one batch, in group order.
void expectGroupsIntact(const std::vector<PrimitiveGroup>& groups, const std::vector<IndexBatchPlan>& batches)
{
    std::size_t g = 0;
    for (const IndexBatchPlan& batch : batches) {
        std::size_t covered = 0;
        for (const DrawRange& range : batch.ranges) {
            while (g < groups.size() && groups[g].indices.empty()) ++g;
            ASSERT_LT(g, groups.size());
            ASSERT_EQ(range.count, groups[g].indices.size());
            ASSERT_EQ(range.byteOffset, 2 * covered) << "ranges must follow each other without gaps";
            const auto begin = batch.indices.begin() + static_cast<std::ptrdiff_t>(covered);
            EXPECT_TRUE(std::equal(groups[g].indices.begin(), groups[g].indices.end(), begin));
            covered += range.count;
            ++g;
        }
        EXPECT_EQ(covered, batch.indices.size()) << "no index outside a range";
    }
    while (g < groups.size() && groups[g].indices.empty()) ++g;
    EXPECT_EQ(g, groups.size()) << "every group drawn";
}

} // namespace

TEST(IndexBatchesTest, StripsSplitBeforeTheGroupThatWouldPassTheLimit)
{
    const std::vector<PrimitiveGroup> groups = {group(1, 60000), group(1, 30000, 7), group(1, 20000, 3),
                                                group(0, 6, 1)};
    const auto batches = planStripBatches(groups);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].indices.size(), 90000u);
    EXPECT_EQ(batches[1].indices.size(), 20006u);
    EXPECT_EQ(batches[1].ranges[1], (DrawRange{kGLTriangles, 40000, 6}));
    expectGroupsIntact(groups, batches);
}

TEST(IndexBatchesTest, AGroupReachingTheLimitExactlyStaysInTheBatch)
{
    const std::vector<PrimitiveGroup> groups = {group(1, 50000), group(1, 50000), group(1, 1)};
    const auto batches = planStripBatches(groups);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].indices.size(), kMaxBatchIndices);
    EXPECT_EQ(batches[1].indices.size(), 1u);
}

TEST(IndexBatchesTest, AnOversizedGroupGetsABatchOfItsOwnAndNoBatchIsEmpty)
{
    const std::vector<PrimitiveGroup> groups = {group(1, 150000), group(1, 10), group(1, 120000), group(1, 4)};
    const auto batches = planStripBatches(groups);
    ASSERT_EQ(batches.size(), 4u);
    for (const IndexBatchPlan& batch : batches) {
        EXPECT_FALSE(batch.indices.empty());
        EXPECT_FALSE(batch.ranges.empty());
    }
    EXPECT_EQ(batches[0].indices.size(), 150000u);
    EXPECT_EQ(batches[2].indices.size(), 120000u);
    expectGroupsIntact(groups, batches);
}

TEST(IndexBatchesTest, ManySmallGroupsFillBatchesUpToTheLimit)
{
    std::vector<PrimitiveGroup> groups;
    for (int i = 0; i < 100; ++i) groups.push_back(group(i % 3, 7 + i, static_cast<std::uint16_t>(i)));
    const auto batches = planStripBatches(groups, 500);
    ASSERT_GT(batches.size(), 1u);
    for (std::size_t b = 0; b < batches.size(); ++b) {
        EXPECT_LE(batches[b].indices.size(), 500u);
        if (b + 1 < batches.size()) {
            // The next batch starts only because its first group did not fit.
            EXPECT_GT(batches[b].indices.size() + batches[b + 1].ranges.front().count, 500u);
        }
    }
    expectGroupsIntact(groups, batches);
}

TEST(IndexBatchesTest, KindsMapToPrimitiveModesAndUnknownKindsThrow)
{
    const auto batches = planStripBatches({group(0, 3), group(1, 5), group(2, 4)});
    ASSERT_EQ(batches.size(), 1u);
    ASSERT_EQ(batches[0].ranges.size(), 3u);
    EXPECT_EQ(batches[0].ranges[0].mode, kGLTriangles);
    EXPECT_EQ(batches[0].ranges[1].mode, kGLTriangleStrip);
    EXPECT_EQ(batches[0].ranges[2].mode, kGLTriangleFan);

    try {
        planStripBatches({group(1, 3), group(3, 3)});
        FAIL() << "kind 3 accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Shouldn't reach here.");
    }
}

TEST(IndexBatchesTest, EmptyGroupsAndEmptyMeshesMakeNoRangesOrBatches)
{
    EXPECT_TRUE(planStripBatches({}).empty());
    EXPECT_TRUE(planStripBatches({group(1, 0), group(0, 0)}).empty());
    const auto batches = planStripBatches({group(1, 0), group(0, 3), group(1, 0)});
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].ranges.size(), 1u);
    EXPECT_TRUE(planTriangleBatch({}).empty());
}

TEST(IndexBatchesTest, TrianglesMakeOneUnsplitListInTriangleOrder)
{
    std::vector<Triangle> triangles;
    for (std::uint32_t t = 0; t < 40000; ++t) triangles.push_back(Triangle{{t, t + 1, 65535}});
    const auto batches = planTriangleBatch(triangles);
    ASSERT_EQ(batches.size(), 1u) << "no 100,000 split for plain triangles";
    ASSERT_EQ(batches[0].ranges.size(), 1u);
    EXPECT_EQ(batches[0].ranges[0], (DrawRange{kGLTriangles, 0, 120000}));
    ASSERT_EQ(batches[0].indices.size(), 120000u);
    EXPECT_EQ(batches[0].indices[3 * 123], 123);
    EXPECT_EQ(batches[0].indices[3 * 123 + 1], 124);
    EXPECT_EQ(batches[0].indices[3 * 123 + 2], 65535);
}
