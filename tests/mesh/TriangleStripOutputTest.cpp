// Pins the exact output of the strip builder: every primitive's type and every index, in
// order, on a handful of generated meshes. The strips a skin draws are part of its behaviour
// (index batches, vertex cache misses, exported files), so work on the builder's speed must
// leave them untouched. Each mesh's output is reduced to a 64-bit FNV-1a digest; the digests
// below were recorded from the builder before its data structures were reworked for speed.
// A changed digest means a changed strip, a changed tie-break or a changed leftover list.
//
// The meshes are generated without the standard library's distributions, whose results
// differ between library implementations, so the digests depend on the builder alone.

#include "StripTestMeshes.h"
#include "mesh/TriangleStripBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Small, fully specified generator (SplitMix64).
class SplitMix {
public:
    explicit SplitMix(uint64_t seed)
        : m_state(seed)
    {
    }
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Uniform enough below bound for shuffling test meshes.
    uint32_t below(uint32_t bound) { return static_cast<uint32_t>(next() % bound); }

private:
    uint64_t m_state;
};

struct Digest {
    uint64_t hash = 0xcbf29ce484222325ull;
    void add(uint32_t value)
    {
        for (int b = 0; b < 4; ++b) {
            hash ^= (value >> (8 * b)) & 0xffu;
            hash *= 0x100000001b3ull;
        }
    }
};

// What the builder produced, reduced to a few counts and one digest over all of it.
struct OutputSummary {
    size_t primitives = 0;
    size_t strips = 0;
    size_t stripTriangles = 0;
    size_t listTriangles = 0;
    uint64_t digest = 0;

    bool operator==(const OutputSummary&) const = default;
};

std::ostream& operator<<(std::ostream& out, const OutputSummary& s)
{
    return out << "{" << s.primitives << ", " << s.strips << ", " << s.stripTriangles << ", " << s.listTriangles
               << ", 0x" << std::hex << s.digest << std::dec << "ull}";
}

OutputSummary summarise(const std::vector<StripPrimitive>& primitives)
{
    OutputSummary summary;
    Digest digest;
    digest.add(static_cast<uint32_t>(primitives.size()));
    for (const StripPrimitive& p : primitives) {
        bool strip = p.type == StripPrimitive::Type::TriangleStrip;
        digest.add(strip ? 1u : 0u);
        digest.add(static_cast<uint32_t>(p.indices.size()));
        for (uint32_t i : p.indices)
            digest.add(i);
        ++summary.primitives;
        if (strip) {
            ++summary.strips;
            summary.stripTriangles += p.indices.size() - 2;
        } else {
            summary.listTriangles += p.indices.size() / 3;
        }
    }
    summary.digest = digest.hash;
    return summary;
}

// The triangles in another order; with rotate, each triangle also starts at another corner
// (the winding is kept).
std::vector<uint32_t> shuffled(const std::vector<uint32_t>& indices, uint64_t seed, bool rotate)
{
    SplitMix random(seed);
    size_t count = indices.size() / 3;
    std::vector<uint32_t> order(count);
    for (size_t t = 0; t < count; ++t)
        order[t] = static_cast<uint32_t>(t);
    for (size_t t = count; t > 1; --t)
        std::swap(order[t - 1], order[random.below(static_cast<uint32_t>(t))]);
    std::vector<uint32_t> out;
    out.reserve(indices.size());
    for (uint32_t t : order) {
        uint32_t r = rotate ? random.below(3) : 0;
        for (uint32_t k = 0; k < 3; ++k)
            out.push_back(indices[3 * size_t(t) + (r + k) % 3]);
    }
    return out;
}

// A grid whose vertex numbers leave gaps (vertices no triangle uses), with degenerate,
// duplicated and reversed triangles mixed in.
std::vector<uint32_t> gridWithFaults()
{
    std::vector<uint32_t> indices = stripmesh::grid(30, 20);
    for (uint32_t& i : indices)
        i = 3 * i + 5;
    std::vector<uint32_t> out;
    size_t triangles = indices.size() / 3;
    for (size_t t = 0; t < triangles; ++t) {
        uint32_t a = indices[3 * t], b = indices[3 * t + 1], c = indices[3 * t + 2];
        out.insert(out.end(), {a, b, c});
        if (t % 17 == 3)
            out.insert(out.end(), {a, a, b}); // two corners alike
        if (t % 23 == 7)
            out.insert(out.end(), {c, c, c}); // a point
        if (t % 29 == 11)
            out.insert(out.end(), {b, c, a}); // the same triangle again
        if (t % 31 == 13)
            out.insert(out.end(), {a, c, b}); // the same triangle turned over
    }
    out.insert(out.end(), {5000, 5001, 5002}); // an island of its own
    return out;
}

// Few vertices, many random triangles: edges shared by many triangles either way.
std::vector<uint32_t> soup(uint32_t vertices, uint32_t triangles, uint64_t seed)
{
    SplitMix random(seed);
    std::vector<uint32_t> out(3 * size_t(triangles));
    for (uint32_t& i : out)
        i = random.below(vertices);
    return out;
}

// Two apexes shared by hundreds of triangles each.
std::vector<uint32_t> doubleCone(uint32_t ring)
{
    std::vector<uint32_t> out;
    uint32_t top = 0, bottom = ring + 1;
    for (uint32_t i = 0; i < ring; ++i) {
        uint32_t a = 1 + i, b = 1 + (i + 1) % ring;
        out.insert(out.end(), {top, a, b, bottom, b, a});
    }
    return out;
}

// Vertex numbers far apart, as a mesh cut out of a much larger one would have them.
std::vector<uint32_t> sparse(std::vector<uint32_t> indices)
{
    for (uint32_t& i : indices)
        i = 1000u + i * 70000001u;
    return indices;
}

OutputSummary build(const std::vector<uint32_t>& indices, TriangleStripBuilder::Settings settings = {})
{
    return summarise(TriangleStripBuilder(settings).build(indices));
}

} // namespace

TEST(TriangleStripOutput, DigestSeesEveryIndexTypeAndOrder)
{
    // The digest itself must tell apart outputs that differ in any detail.
    std::vector<StripPrimitive> base{{StripPrimitive::Type::TriangleStrip, {0, 1, 2, 3}},
                                     {StripPrimitive::Type::TriangleList, {4, 5, 6}}};
    uint64_t reference = summarise(base).digest;
    auto changed = base;
    changed[0].indices[3] = 7;
    EXPECT_NE(summarise(changed).digest, reference);
    changed = base;
    changed[1].type = StripPrimitive::Type::TriangleStrip;
    EXPECT_NE(summarise(changed).digest, reference);
    changed = base;
    std::swap(changed[0], changed[1]);
    EXPECT_NE(summarise(changed).digest, reference);
    changed = base;
    changed[0].indices = {0, 1, 2};
    changed[1].indices = {3, 4, 5, 6};
    EXPECT_NE(summarise(changed).digest, reference);
}

TEST(TriangleStripOutput, RegularMeshes)
{
    EXPECT_EQ(build(stripmesh::sphere(40, 31)), (OutputSummary{382, 381, 2397, 3, 0x22dc612f8fd37702ull}));
    EXPECT_EQ(build(stripmesh::torus(60, 25)), (OutputSummary{421, 420, 2993, 7, 0x4257f0dabf381dabull}));
    EXPECT_EQ(build(stripmesh::grid(64, 48)), (OutputSummary{831, 830, 6138, 6, 0x18c509caf39e19b2ull}));
    EXPECT_EQ(build(stripmesh::torus(300, 100)), (OutputSummary{7058, 7057, 59960, 40, 0x6b04a68baa50d6cbull}));
}

TEST(TriangleStripOutput, ShuffledMeshes)
{
    EXPECT_EQ(build(shuffled(stripmesh::sphere(40, 31), 11, false)), (OutputSummary{382, 381, 2397, 3, 0xa8512fbfce22be12ull}));
    EXPECT_EQ(build(shuffled(stripmesh::torus(60, 25), 12, true)), (OutputSummary{605, 604, 2999, 1, 0xa526ea204d343d89ull}));
}

TEST(TriangleStripOutput, FaultyAndIrregularMeshes)
{
    EXPECT_EQ(build(gridWithFaults()), (OutputSummary{283, 282, 1229, 175, 0x65b97d2043e7ea27ull}));
    EXPECT_EQ(build(soup(40, 900, 21)), (OutputSummary{328, 327, 756, 144, 0x522d62843cfdeb7full}));
    EXPECT_EQ(build(doubleCone(400)), (OutputSummary{353, 352, 798, 2, 0x86e45116c9d311b5ull}));
    EXPECT_EQ(build(sparse(shuffled(stripmesh::sphere(20, 12), 13, true))), (OutputSummary{101, 100, 439, 1, 0xbf5e5d70fb7b5588ull}));
}

TEST(TriangleStripOutput, OtherSettings)
{
    std::vector<uint32_t> mesh = shuffled(stripmesh::torus(40, 20), 14, true);
    TriangleStripBuilder::Settings smallCache;
    smallCache.cacheSize = 6;
    EXPECT_EQ(build(mesh, smallCache), (OutputSummary{558, 557, 1592, 8, 0xa16a9693b06d75aaull}));
    TriangleStripBuilder::Settings longStrips;
    longStrips.minStripSize = 5;
    EXPECT_EQ(build(mesh, longStrips), (OutputSummary{271, 270, 1533, 67, 0xe69512ef069f3f28ull}));
    TriangleStripBuilder::Settings largeCache;
    largeCache.cacheSize = 32;
    EXPECT_EQ(build(mesh, largeCache), (OutputSummary{177, 176, 1595, 5, 0xb087c0d27361fbd7ull}));
}
