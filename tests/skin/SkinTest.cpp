#include "SkinRecordFixtures.h"

#include "mesh/TriangleStripBuilder.h"
#include "skin/Skin.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

std::shared_ptr<Skin> read(const SkinRecord& record)
{
    std::istringstream in(fixtures::bytesOf({record}));
    return std::make_shared<Skin>(in);
}

void expectNear(const Vector3f& actual, const Vector3f& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace

TEST(Skin, BlendsBonesLinearlyPerVertex)
{
    const auto skin = read(fixtures::quad("quad", 3));
    ASSERT_EQ(skin->frameCount(), 3u);
    const auto& p = skin->framePositions(2);
    ASSERT_EQ(p.size(), 4u);
    // Vertices 0 and 1 follow the fixed bone; 2 and 3 land halfway between the fixed
    // position and the one moved up by 2.
    expectNear(p[0], {0, 0, 0});
    expectNear(p[1], {1, 0, 0});
    expectNear(p[2], {1, 2, 0});
    expectNear(p[3], {0, 2, 0});
    // The box is exact although the points are checked with a tolerance: weights of 1 and 0.5 on
    // integer coordinates leave nothing to round.
    EXPECT_EQ(skin->frameBoundingBoxes()[2], BoundingBox({0, 0, 0}, {1, 2, 0}));
    for (const Vector3f& n : skin->frameNormals(2)) expectNear(n, {0, 0, 1});
}

TEST(Skin, WeightsAreUsedAsStoredAndNormalsRenormalised)
{
    SkinRecord record = fixtures::quad("scaled", 1);
    // Weights summing to 0.5 shrink the position; a scaling bone must not scale normals.
    record.influences[1] = {{0, 0.25f}, {1, 0.25f}};
    record.bones[1][0] = AffineTransform{Matrix3f::diagonal(3), {0, 0, 0}};
    record.normals[1] = {0, 0.6f, 0.8f};
    const auto skin = read(record);
    expectNear(skin->framePositions(0)[1], {1 * 0.25f + 3 * 0.25f, 0, 0});
    expectNear(skin->frameNormals(0)[1], {0, 0.6f, 0.8f});
}

TEST(Skin, VertexWithoutInfluencesEndsAtOriginWithFiniteNormal)
{
    SkinRecord record = fixtures::quad("loose", 2);
    record.influences[3].clear();
    const auto skin = read(record);
    expectNear(skin->framePositions(1)[3], {0, 0, 0});
    const Vector3f n = skin->frameNormals(1)[3];
    EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
    expectNear(n, {0, 0, 1});
}

TEST(Skin, CorrectionsAreAddedBeforeSkinning)
{
    SkinRecord record = fixtures::quad("corrected", 2);
    // Two displacement vectors: the first moves vertex 0 along x, the second vertex 1 along z.
    record.displacementBasis.resize(12, 2);
    record.displacementBasis(0, 0) = 1.0f;
    record.displacementBasis(3 * 1 + 2, 1) = 1.0f;
    record.displacementCoordinates.resize(2, 2);
    record.displacementCoordinates(1, 0) = 0.25f;
    record.displacementCoordinates(1, 1) = -2.0f;
    // One normal vector tilting vertex 2's normal along y; bones 0 and 1 are translations only,
    // so the skinned normal is the renormalised corrected one.
    record.normalBasis.resize(12, 1);
    record.normalBasis(3 * 2 + 1, 0) = 1.0f;
    record.normalCoordinates.resize(2, 1);
    record.normalCoordinates(1, 0) = 1.0f;
    const auto skin = read(record);
    EXPECT_EQ(skin->displacementBasisCount(), 2u);
    EXPECT_EQ(skin->normalBasisCount(), 1u);

    expectNear(skin->framePositions(0)[0], {0, 0, 0});
    expectNear(skin->framePositions(1)[0], {0.25f, 0, 0});
    expectNear(skin->framePositions(1)[1], {1, 0, -2});
    const float s = 1.0f / std::sqrt(2.0f);
    expectNear(skin->frameNormals(1)[2], {0, s, s});
    expectNear(skin->frameNormals(0)[2], {0, 0, 1});
}

TEST(Skin, EvaluatesEachFrameOnceUntilTheRestPoseChanges)
{
    const auto skin = read(fixtures::quad("cached", 2));
    const std::vector<Vector3f>* first = &skin->framePositions(1);
    const Vector3f before = (*first)[2];
    EXPECT_EQ(&skin->framePositions(1), first);
    EXPECT_EQ(skin->framePositions(1)[2], before) << "the cached frame is served again";

    std::vector<Vector3d> moved;
    for (const Vector3f& p : skin->restPositions()) moved.emplace_back(p.x, p.y, p.z + 1.0);
    skin->setRestPositions(moved);
    expectNear(skin->framePositions(1)[2], before + Vector3f(0, 0, 1));
}

TEST(Skin, SetRestPositionsRecomputesNormalsButKeepsDegenerateOnes)
{
    SkinRecord record = fixtures::quad("rest", 1);
    // A fifth vertex used only by a zero-area triangle keeps its stored normal.
    record.positions.push_back({5, 5, 5});
    record.normals.push_back({1, 0, 0});
    record.textureCoordinates.push_back({0, 0});
    record.vertexColors.push_back({1, 1, 1});
    record.influences.push_back({{0, 1.0f}});
    record.triangles.push_back(Triangle{{4, 4, 0}});
    record.meanLighting.push_back(0);
    record.lightingBasis.reshape(5, 1);
    const auto skin = read(record);

    std::vector<Vector3d> tilted;
    for (const Vector3f& p : skin->restPositions()) tilted.emplace_back(p.x, p.y, p.x); // plane z = x
    tilted[4] = {5, 5, 5};
    skin->setRestPositions(tilted);
    const float s = 1.0f / std::sqrt(2.0f);
    expectNear(skin->restNormals()[0], {-s, 0, s});
    expectNear(skin->restNormals()[2], {-s, 0, s});
    expectNear(skin->restNormals()[4], {1, 0, 0});
    expectNear(skin->restPositions()[1], {1, 0, 1});
    EXPECT_EQ(skin->boundingBox(), BoundingBox({0, 0, 0}, {1, 1, 0})) << "boxes are not recomputed";
}

TEST(Skin, ComputeBoundingBoxesCoversRestPoseAndEveryFrame)
{
    SkinRecord record = fixtures::quad("boxes", 3);
    record.frameBoxes.assign(3, BoundingBox({0, 0, 0}, {0, 0, 0})); // deliberately wrong
    record.boundingBox = BoundingBox({0, 0, 0}, {0, 0, 0});
    const auto skin = read(record);
    Skin& mutableSkin = *skin;
    mutableSkin.computeBoundingBoxes();
    EXPECT_EQ(skin->boundingBox(), BoundingBox({0, 0, 0}, {1, 2, 0}));
    ASSERT_EQ(skin->frameBoundingBoxes().size(), 3u);
    EXPECT_EQ(skin->frameBoundingBoxes()[1], BoundingBox({0, 0, 0}, {1, 1.5f, 0}));
}

TEST(Skin, SkinWithoutBonesHasNoFrames)
{
    SkinRecord record = fixtures::quad("still", 0);
    record.bones.clear();
    for (auto& list : record.influences) list.clear();
    const auto skin = read(record);
    EXPECT_EQ(skin->frameCount(), 0u);
    EXPECT_TRUE(skin->frameBoundingBoxes().empty());
    EXPECT_EQ(skin->boundingBox(), BoundingBox({0, 0, 0}, {1, 1, 0}));
}

TEST(Skin, PrimitiveGroupsCoverEveryTriangleOnce)
{
    const auto skin = read(fixtures::grid("grid", 12, 9));
    Skin& mutableSkin = *skin;
    {
        mutableSkin.buildPrimitiveGroups(false);
        ASSERT_EQ(skin->primitiveGroups().size(), 1u);
        const PrimitiveGroup& group = skin->primitiveGroups()[0];
        EXPECT_EQ(group.kind, PrimitiveGroup::TriangleList);
        ASSERT_EQ(group.indices.size(), 3 * skin->triangleCount());
        for (unsigned t = 0; t < skin->triangleCount(); ++t)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(group.indices[3 * t + k], skin->triangle(t).index[k]);
    }
    {
        mutableSkin.buildPrimitiveGroups(true);
        // Unstrip every group and compare with the triangles, windings included.
        auto canonical = [](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
            while (a > b || a > c) std::tie(a, b, c) = std::make_tuple(b, c, a);
            return std::make_tuple(a, b, c);
        };
        std::multiset<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> drawn, expected;
        bool anyStrip = false;
        for (const PrimitiveGroup& group : skin->primitiveGroups()) {
            const auto& ix = group.indices;
            if (group.kind == PrimitiveGroup::TriangleStrip) {
                anyStrip = true;
                for (std::size_t i = 2; i < ix.size(); ++i)
                    drawn.insert(i % 2 == 0 ? canonical(ix[i - 2], ix[i - 1], ix[i])
                                            : canonical(ix[i - 1], ix[i - 2], ix[i]));
            } else {
                ASSERT_EQ(group.kind, PrimitiveGroup::TriangleList);
                for (std::size_t i = 0; i + 2 < ix.size(); i += 3) drawn.insert(canonical(ix[i], ix[i + 1], ix[i + 2]));
            }
        }
        for (const Triangle& t : skin->triangles()) expected.insert(canonical(t.index[0], t.index[1], t.index[2]));
        EXPECT_EQ(drawn, expected);
        EXPECT_TRUE(anyStrip) << "a regular grid strips";
    }
}

TEST(Skin, PrimitiveGroupsAreTheStripBuildersOutputInOrder)
{
    // The groups carry the builder's primitives one for one, kinds and indices unchanged,
    // including the final list of leftovers; the reversed triangles of the record's second
    // half cannot join the strips of the first and leave some behind.
    SkinRecord record = fixtures::grid("grid", 20, 15);
    const std::size_t half = record.triangles.size() / 2;
    for (std::size_t t = half; t < record.triangles.size(); t += 3)
        std::swap(record.triangles[t].index[1], record.triangles[t].index[2]);
    const auto skin = read(record);
    std::vector<std::uint32_t> indices;
    for (const Triangle& t : skin->triangles()) indices.insert(indices.end(), t.index, t.index + 3);
    const std::vector<StripPrimitive> expected = TriangleStripBuilder().build(indices);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(expected.back().type, StripPrimitive::Type::TriangleList) << "the record leaves leftovers";

    ASSERT_EQ(skin->primitiveGroups().size(), expected.size());
    for (std::size_t g = 0; g < expected.size(); ++g) {
        const PrimitiveGroup& group = skin->primitiveGroups()[g];
        const bool strip = expected[g].type == StripPrimitive::Type::TriangleStrip;
        EXPECT_EQ(group.kind, strip ? PrimitiveGroup::TriangleStrip : PrimitiveGroup::TriangleList) << "group " << g;
        EXPECT_EQ(std::vector<std::uint32_t>(group.indices.begin(), group.indices.end()), expected[g].indices)
            << "group " << g;
    }
}

TEST(Skin, NoTrianglesGiveNoPrimitiveGroups)
{
    SkinRecord record = fixtures::grid("grid", 2, 2);
    record.triangles.clear();
    const auto skin = read(record);
    EXPECT_TRUE(skin->primitiveGroups().empty());
    Skin& mutableSkin = *skin;
    mutableSkin.buildPrimitiveGroups(false);
    EXPECT_TRUE(skin->primitiveGroups().empty());
}
