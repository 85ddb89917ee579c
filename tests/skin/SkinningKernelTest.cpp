// The packed, vectorised frame evaluation against a plain rendering of the same rules, on
// random skins, for every instruction-set version the processor can run.
#include "SkinRecordFixtures.h"

#include "skin/Skin.h"
#include "skin/SkinningKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <sstream>

namespace {

struct RandomSkinShape {
    unsigned vertexCount = 1;
    unsigned maxInfluences = 6;
    unsigned displacementCount = 0;
    unsigned normalCount = 0;
    unsigned frames = 3;
    unsigned bones = 9;
};

std::string describe(const RandomSkinShape& shape)
{
    std::ostringstream out;
    out << "V=" << shape.vertexCount << " influences<=" << shape.maxInfluences << " Kd=" << shape.displacementCount
        << " Kn=" << shape.normalCount;
    return out.str();
}

// Random bone transforms are scaled rotations with a little shear, random weights are positive
// but do not sum to one, and each vertex has 0 .. maxInfluences influences.
SkinRecord randomRecord(const RandomSkinShape& shape, std::uint32_t seed)
{
    std::mt19937 random(seed);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    SkinRecord r;
    r.name = "random";
    const unsigned v = shape.vertexCount;
    for (unsigned i = 0; i < v; ++i) {
        r.positions.push_back({uniform(-5, 5), uniform(-5, 5), uniform(-5, 5)});
        Vector3f n{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
        r.normals.push_back(n.dot(n) > 1e-3f ? n.normalized() : Vector3f(0, 0, 1));
        r.vertexColors.push_back({1, 1, 1});
        std::vector<BoneInfluence> list(std::uniform_int_distribution<unsigned>(0, shape.maxInfluences)(random));
        for (BoneInfluence& influence : list) {
            influence.bone = std::uniform_int_distribution<int>(0, int(shape.bones) - 1)(random);
            influence.weight = uniform(0.05f, 1.0f);
        }
        r.influences.push_back(std::move(list));
    }
    for (unsigned i = 0; i + 2 < v; i += 3) r.triangles.push_back(Triangle{{i, i + 1, i + 2}});
    r.bones.resize(shape.bones);
    for (auto& bone : r.bones)
        for (unsigned f = 0; f < shape.frames; ++f) {
            const float angle = uniform(-3.1f, 3.1f), scale = uniform(0.5f, 2.0f);
            const float c = std::cos(angle) * scale, s = std::sin(angle) * scale;
            AffineTransform t{Matrix3f(c, -s, uniform(-0.2f, 0.2f), s, c, uniform(-0.2f, 0.2f), uniform(-0.2f, 0.2f),
                                       uniform(-0.2f, 0.2f), scale),
                              {uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)}};
            bone.push_back(t);
        }
    auto randomMatrix = [&](unsigned rows, unsigned columns, float range) {
        DenseMatrix m(rows, columns);
        for (unsigned c = 0; c < columns; ++c)
            for (unsigned row = 0; row < rows; ++row) m(row, c) = uniform(-range, range);
        return m;
    };
    r.displacementBasis = randomMatrix(3 * v, shape.displacementCount, 0.2f);
    r.displacementCoordinates = randomMatrix(shape.frames, shape.displacementCount, 1.0f);
    r.normalBasis = randomMatrix(3 * v, shape.normalCount, 0.2f);
    r.normalCoordinates = randomMatrix(shape.frames, shape.normalCount, 1.0f);
    r.meanLighting.assign(v, 0.5f);
    r.lightingBasis = randomMatrix(v, 1, 1.0f);
    r.lightingCoordinates = randomMatrix(1, shape.frames, 1.0f);
    // No frame boxes: the reader measures every frame while loading.
    return r;
}

struct ReferenceFrame {
    std::vector<Vector3f> positions;
    std::vector<Vector3f> normals;
    BoundingBox box;
    // Largest coordinate magnitude, the scale rounding errors are judged against.
    float magnitude = 1.0f;
};

// The rules written out plainly, in double so that it is the more accurate of the two.
ReferenceFrame referenceFrame(const SkinRecord& r, unsigned f)
{
    const std::size_t v = r.positions.size();
    std::vector<double> p(3 * v), n(3 * v);
    for (std::size_t i = 0; i < v; ++i)
        for (int k = 0; k < 3; ++k) {
            p[3 * i + k] = r.positions[i][k];
            n[3 * i + k] = r.normals[i][k];
        }
    for (unsigned c = 0; c < r.displacementBasis.columns(); ++c)
        for (unsigned e = 0; e < 3 * v; ++e) p[e] += double(r.displacementCoordinates(f, c)) * r.displacementBasis(e, c);
    for (unsigned c = 0; c < r.normalBasis.columns(); ++c)
        for (unsigned e = 0; e < 3 * v; ++e) n[e] += double(r.normalCoordinates(f, c)) * r.normalBasis(e, c);

    ReferenceFrame out;
    for (std::size_t i = 0; i < v; ++i) {
        double m[3][3] = {}, t[3] = {};
        for (const BoneInfluence& influence : r.influences[i]) {
            const AffineTransform& bone = r.bones[std::size_t(influence.bone)][f];
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) m[row][col] += double(influence.weight) * bone.linear(row, col);
                t[row] += double(influence.weight) * bone.translation[row];
            }
        }
        double q[3], s[3];
        for (int row = 0; row < 3; ++row) {
            q[row] = t[row];
            s[row] = 0;
            for (int col = 0; col < 3; ++col) {
                q[row] += m[row][col] * p[3 * i + col];
                s[row] += m[row][col] * n[3 * i + col];
            }
        }
        const Vector3f position{float(q[0]), float(q[1]), float(q[2])};
        out.positions.push_back(position);
        out.box.grow(position);
        for (int k = 0; k < 3; ++k) out.magnitude = std::max(out.magnitude, std::fabs(position[k]));
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        if (length > 0)
            out.normals.push_back({float(s[0] / length), float(s[1] / length), float(s[2] / length)});
        else
            out.normals.push_back({float(n[3 * i]), float(n[3 * i + 1]), float(n[3 * i + 2])});
    }
    return out;
}

std::shared_ptr<Skin> read(const SkinRecord& record)
{
    std::istringstream in(fixtures::bytesOf({record}));
    return std::make_shared<Skin>(in);
}

// Selects one kernel version for the test's duration.
class IsaScope {
public:
    explicit IsaScope(SkinningIsa isa) : m_previous(skinningIsa()) { setSkinningIsa(isa); }
    ~IsaScope() { setSkinningIsa(m_previous); }
    IsaScope(const IsaScope&) = delete;
    IsaScope& operator=(const IsaScope&) = delete;

private:
    SkinningIsa m_previous;
};

constexpr float kRelativeTolerance = 1e-5f;

// Compares frame f of the skin with the reference; returns false after the first mismatch so
// that a broken kernel reports a few lines instead of thousands.
bool matchesReference(const Skin& skin, const SkinRecord& record, unsigned f)
{
    const ReferenceFrame expected = referenceFrame(record, f);
    const std::vector<Vector3f>& positions = skin.framePositions(f);
    const std::vector<Vector3f>& normals = skin.frameNormals(f);
    EXPECT_EQ(positions.size(), expected.positions.size());
    EXPECT_EQ(normals.size(), expected.normals.size());
    if (positions.size() != expected.positions.size() || normals.size() != expected.normals.size()) return false;

    const float positionTolerance = kRelativeTolerance * expected.magnitude;
    BoundingBox fromPositions;
    for (std::size_t v = 0; v < positions.size(); ++v) {
        fromPositions.grow(positions[v]);
        for (int k = 0; k < 3; ++k) {
            if (std::fabs(positions[v][k] - expected.positions[v][k]) > positionTolerance) {
                ADD_FAILURE() << "frame " << f << " vertex " << v << " position[" << k << "] = " << positions[v][k]
                              << ", expected " << expected.positions[v][k];
                return false;
            }
            if (std::fabs(normals[v][k] - expected.normals[v][k]) > 4 * kRelativeTolerance) {
                ADD_FAILURE() << "frame " << f << " vertex " << v << " normal[" << k << "] = " << normals[v][k]
                              << ", expected " << expected.normals[v][k];
                return false;
            }
        }
        if (record.influences[v].empty() && !(positions[v] == Vector3f(0, 0, 0))) {
            ADD_FAILURE() << "frame " << f << " vertex " << v << " has no influences but is not at the origin";
            return false;
        }
    }
    const BoundingBox& box = skin.frameBoundingBoxes()[f];
    // The box is grown from exactly the cached positions, so it matches them bit for bit.
    EXPECT_EQ(box, fromPositions) << "frame " << f;
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(box.minimum[k], expected.box.minimum[k], positionTolerance) << "frame " << f;
        EXPECT_NEAR(box.maximum[k], expected.box.maximum[k], positionTolerance) << "frame " << f;
    }
    return !::testing::Test::HasFailure();
}

class SkinningKernelTest : public ::testing::TestWithParam<SkinningIsa> {
protected:
    void SetUp() override
    {
        if (!skinningIsaSupported(GetParam())) GTEST_SKIP() << "the processor cannot run this version";
        m_isa.emplace(GetParam());
    }

    std::optional<IsaScope> m_isa;
};

} // namespace

TEST_P(SkinningKernelTest, MatchesPlainSkinningOnRandomSkins)
{
    const unsigned vertexCounts[] = {1, 2, 7, 255, 256, 257, 1001};
    const unsigned corrections[][2] = {{0, 0}, {3, 2}, {8, 0}, {0, 5}, {8, 8}};
    std::uint32_t seed = 1234;
    for (unsigned vertexCount : vertexCounts)
        for (const auto& [kd, kn] : corrections) {
            RandomSkinShape shape;
            shape.vertexCount = vertexCount;
            shape.displacementCount = kd;
            shape.normalCount = kn;
            const SkinRecord record = randomRecord(shape, ++seed);
            const auto skin = read(record);
            SCOPED_TRACE(describe(shape));
            ASSERT_EQ(skin->frameCount(), shape.frames);
            // Frames as measured while loading, then evaluated once more from a used cache.
            for (unsigned f = 0; f < shape.frames; ++f) ASSERT_TRUE(matchesReference(*skin, record, f));
            for (unsigned f = 0; f < shape.frames; ++f) {
                skin->evaluateFrame(f);
                ASSERT_TRUE(matchesReference(*skin, record, f));
            }
        }
}

TEST_P(SkinningKernelTest, LongInfluenceListsSpanSeveralGroups)
{
    RandomSkinShape shape;
    shape.vertexCount = 61;
    shape.maxInfluences = 13;
    shape.displacementCount = 2;
    shape.normalCount = 1;
    const SkinRecord record = randomRecord(shape, 99);
    const auto skin = read(record);
    EXPECT_EQ(skin->maxInfluenceCount() > 8, true) << "the seed should give some vertex three groups";
    for (unsigned f = 0; f < shape.frames; ++f) ASSERT_TRUE(matchesReference(*skin, record, f));
}

TEST_P(SkinningKernelTest, PaddingIgnoresBonesHoldingInfinities)
{
    // Bone 0 blows up in frame 1, but no vertex uses it: the unused slots of short influence
    // lists must not pick it up, since 0 * infinity is NaN.
    RandomSkinShape shape;
    shape.vertexCount = 37;
    shape.maxInfluences = 3;
    SkinRecord record = randomRecord(shape, 7);
    for (auto& list : record.influences)
        for (BoneInfluence& influence : list) influence.bone = 1 + influence.bone % int(shape.bones - 1);
    const float inf = std::numeric_limits<float>::infinity();
    record.bones[0][1] = AffineTransform{Matrix3f::diagonal(inf), {inf, -inf, inf}};
    const auto skin = read(record);
    for (unsigned f = 0; f < shape.frames; ++f) ASSERT_TRUE(matchesReference(*skin, record, f));
}

TEST_P(SkinningKernelTest, NormalMappedToZeroKeepsItsCorrectedValue)
{
    SkinRecord record = fixtures::quad("flat", 2);
    // Bone 1 collapses everything onto its translation in frame 1; vertex 2 follows it alone.
    record.bones[1][1] = AffineTransform{Matrix3f::diagonal(0.0f), {2, 3, 4}};
    record.influences[2] = {{1, 1.0f}};
    record.normalBasis.resize(12, 1);
    record.normalBasis(3 * 2 + 0, 0) = 1.0f;
    record.normalCoordinates.resize(2, 1);
    record.normalCoordinates(1, 0) = 0.5f;
    const auto skin = read(record);
    EXPECT_EQ(skin->framePositions(1)[2], Vector3f(2, 3, 4));
    EXPECT_EQ(skin->frameNormals(1)[2], Vector3f(0.5f, 0, 1)) << "corrected, not renormalised";
    ASSERT_TRUE(matchesReference(*skin, record, 1));
}

TEST_P(SkinningKernelTest, TinyBlendedNormalsStillNormalise)
{
    // A bone shrinking by 1e-20 leaves normals whose squared length is subnormal: too small for
    // a reciprocal square root estimate, but still greater than zero.
    SkinRecord record = fixtures::quad("tiny", 2);
    record.bones[1][1] = AffineTransform{Matrix3f::diagonal(1e-20f), {0, 0, 0}};
    record.influences[1] = {{1, 1.0f}};
    record.normals[1] = {0, 0.6f, 0.8f};
    const auto skin = read(record);
    const Vector3f n = skin->frameNormals(1)[1];
    EXPECT_NEAR(n.y, 0.6f, 1e-5f);
    EXPECT_NEAR(n.z, 0.8f, 1e-5f);
    ASSERT_TRUE(matchesReference(*skin, record, 1));
}

TEST_P(SkinningKernelTest, ReevaluationReusesTheCachedStorage)
{
    RandomSkinShape shape;
    shape.vertexCount = 300;
    shape.displacementCount = 2;
    const SkinRecord record = randomRecord(shape, 5);
    const auto skin = read(record);
    const Vector3f* positions = skin->framePositions(2).data();
    const Vector3f* normals = skin->frameNormals(2).data();
    const std::vector<Vector3f> before = skin->framePositions(2);
    skin->evaluateFrame(2);
    EXPECT_EQ(skin->framePositions(2).data(), positions);
    EXPECT_EQ(skin->frameNormals(2).data(), normals);
    EXPECT_EQ(skin->framePositions(2), before);
}

TEST(SkinningKernelVersions, AgreeWithEachOther)
{
    if (!skinningIsaSupported(SkinningIsa::Avx2Fma)) GTEST_SKIP() << "only the SSE2 version runs here";
    RandomSkinShape shape;
    shape.vertexCount = 777;
    shape.displacementCount = 4;
    shape.normalCount = 4;
    const SkinRecord record = randomRecord(shape, 11);
    const auto skin = read(record);
    std::vector<Vector3f> sse2Positions, sse2Normals;
    {
        IsaScope scope(SkinningIsa::Sse2);
        skin->evaluateFrame(1);
        sse2Positions = skin->framePositions(1);
        sse2Normals = skin->frameNormals(1);
    }
    IsaScope scope(SkinningIsa::Avx2Fma);
    skin->evaluateFrame(1);
    const float tolerance = kRelativeTolerance * referenceFrame(record, 1).magnitude;
    for (std::size_t v = 0; v < sse2Positions.size(); ++v)
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(skin->framePositions(1)[v][k], sse2Positions[v][k], tolerance) << v;
            ASSERT_NEAR(skin->frameNormals(1)[v][k], sse2Normals[v][k], 4 * kRelativeTolerance) << v;
        }
}

INSTANTIATE_TEST_SUITE_P(Versions, SkinningKernelTest, ::testing::Values(SkinningIsa::Sse2, SkinningIsa::Avx2Fma),
                         [](const ::testing::TestParamInfo<SkinningIsa>& info) {
                             return info.param == SkinningIsa::Sse2 ? std::string("Sse2") : std::string("Avx2Fma");
                         });
