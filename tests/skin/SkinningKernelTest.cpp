// The packed, vectorised frame evaluation, for every instruction-set version the processor can
// run: against the rules worked out in double (accuracy), and against a scalar float rendering
// of the kernel's documented operation order, bit for bit (the same results on every machine).
#include "SkinRecordFixtures.h"

#include "skin/Skin.h"
#include "skin/SkinningKernel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
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

// The kernel rounds to float after every operation, the reference only once at the end: a
// vertex passes through a few dozen roundings of relative size 6e-8 each, on values up to the
// frame's largest coordinate (weights do not sum to one, so sums can cancel). 1e-5 of that
// magnitude leaves a wide margin over the ~1e-6 seen and still catches a wrong bone, weight,
// order of columns or a missed correction, all of which move vertices by far more.
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

std::string isaName(SkinningIsa isa)
{
    return isa == SkinningIsa::Sse2 ? "Sse2" : "Avx2";
}

class SkinningKernelTest : public ::testing::TestWithParam<SkinningIsa> {
protected:
    void SetUp() override
    {
        if (!skinningIsaSupported(GetParam()))
            GTEST_SKIP() << "NOT RUN: this processor cannot run the " << isaName(GetParam())
                         << " version, so its agreement with the others is unchecked here";
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

namespace {

// ---- Bit-for-bit agreement ----------------------------------------------------------------------
//
// The kernel promises one operation order whatever the instruction set: corrected rest data
// first (rest + k0 b0 + k1 b1 ..., left to right), then M, t = w0 B0 + w1 B1 ... over the list,
// position ((M0 px + M1 py) + M2 pz) + t, normal s / sqrt((sx sx + sy sy) + sz sz) with
// s = (M0 nx + M1 ny) + M2 nz when the squared length is positive, else the corrected rest
// normal. Written out here as scalar float code, one rounding per operation, which every
// version must reproduce exactly: any difference between versions is a difference between
// machines.

struct KernelCase {
    unsigned vertexCount = 0;
    unsigned boneCount = 0;
    std::vector<BoneInfluence> influences;
    std::vector<std::uint32_t> starts;
    std::vector<AffineTransform> bones;
    std::vector<float> restPositions; // 3V
    std::vector<float> restNormals;
    // Bases with a leading dimension above 3V and coefficients read with a stride, as the
    // skin hands over a row of its column-major coordinate matrix.
    std::vector<float> displacementBasis, normalBasis;
    std::vector<float> displacementCoefficients, normalCoefficients;
    std::size_t leadingDimension = 0;
    unsigned displacementCount = 0, normalCount = 0;
    static constexpr std::size_t kCoefficientStride = 3;
};

struct KernelOutput {
    std::vector<float> positions;
    std::vector<float> normals;
    float minimum[3];
    float maximum[3];
};

float scalarCorrected(const KernelCase& c, const std::vector<float>& rest, const std::vector<float>& basis,
                      const std::vector<float>& coefficients, unsigned count, std::size_t e)
{
    float a = rest[e];
    for (unsigned k = 0; k < count; ++k) {
        const float term = coefficients[k * KernelCase::kCoefficientStride] * basis[k * c.leadingDimension + e];
        a = a + term;
    }
    return a;
}

KernelOutput scalarKernel(const KernelCase& c)
{
    KernelOutput out;
    out.positions.resize(3 * std::size_t{c.vertexCount});
    out.normals.resize(3 * std::size_t{c.vertexCount});
    for (int k = 0; k < 3; ++k) {
        out.minimum[k] = FLT_MAX;
        out.maximum[k] = -FLT_MAX;
    }
    for (std::size_t v = 0; v < c.vertexCount; ++v) {
        float p[3], n[3];
        for (int k = 0; k < 3; ++k) {
            p[k] = scalarCorrected(c, c.restPositions, c.displacementBasis, c.displacementCoefficients,
                                   c.displacementCount, 3 * v + std::size_t(k));
            n[k] = scalarCorrected(c, c.restNormals, c.normalBasis, c.normalCoefficients, c.normalCount,
                                   3 * v + std::size_t(k));
        }
        float m[3][3] = {}, t[3] = {};
        for (std::uint32_t i = c.starts[v]; i < c.starts[v + 1]; ++i) {
            const BoneInfluence& influence = c.influences[i];
            const AffineTransform& bone = c.bones[std::size_t(influence.bone)];
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) {
                    const float term = influence.weight * bone.linear(row, col);
                    m[row][col] = m[row][col] + term;
                }
                const float term = influence.weight * bone.translation[row];
                t[row] = t[row] + term;
            }
        }
        float s[3];
        for (int row = 0; row < 3; ++row) {
            const float xy = m[row][0] * p[0] + m[row][1] * p[1];
            const float xyz = xy + m[row][2] * p[2];
            const float q = xyz + t[row];
            out.positions[3 * v + std::size_t(row)] = q;
            if (q < out.minimum[row]) out.minimum[row] = q;
            if (q > out.maximum[row]) out.maximum[row] = q;
            const float nxy = m[row][0] * n[0] + m[row][1] * n[1];
            s[row] = nxy + m[row][2] * n[2];
        }
        const float xx = s[0] * s[0], yy = s[1] * s[1], zz = s[2] * s[2];
        const float lengthSquared = (xx + yy) + zz;
        const float length = std::sqrt(lengthSquared);
        for (int k = 0; k < 3; ++k) out.normals[3 * v + std::size_t(k)] = lengthSquared > 0.0f ? s[k] / length : n[k];
    }
    return out;
}

KernelOutput runKernel(const KernelCase& c)
{
    SkinningKernel kernel(c.influences, c.starts, c.boneCount);
    for (unsigned b = 0; b < c.boneCount; ++b) kernel.setBone(b, c.bones[b]);
    SkinningFrame frame;
    frame.restPositions = c.restPositions.data();
    frame.restNormals = c.restNormals.data();
    auto corrections = [&](const std::vector<float>& basis, const std::vector<float>& coefficients, unsigned count) {
        FrameCorrections result;
        result.basis = basis.data();
        result.leadingDimension = c.leadingDimension;
        result.coefficients = coefficients.data();
        result.coefficientStride = KernelCase::kCoefficientStride;
        result.count = count;
        return result;
    };
    frame.displacements = corrections(c.displacementBasis, c.displacementCoefficients, c.displacementCount);
    frame.normalCorrections = corrections(c.normalBasis, c.normalCoefficients, c.normalCount);
    KernelOutput out;
    // Exactly 3V floats: the kernel must not write past the arrays it is given.
    out.positions.assign(3 * std::size_t{c.vertexCount}, -1.0f);
    out.normals.assign(3 * std::size_t{c.vertexCount}, -1.0f);
    frame.positions = out.positions.data();
    frame.normals = out.normals.data();
    const BoundingBox box = kernel.skinFrame(frame);
    for (int k = 0; k < 3; ++k) {
        out.minimum[k] = box.minimum[k];
        out.maximum[k] = box.maximum[k];
    }
    return out;
}

// Equal bits, except that any NaN equals any NaN: which NaN an operation returns depends on the
// order of its operands, which the promise does not cover.
bool sameFloat(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// A random skin whose values stress the rounding: magnitudes from 1e-3 to 1e3, weights that do
// not sum to one, 0 .. maxInfluences influences, and with `extremes` some bones that collapse,
// shrink normals into subnormal squares, overflow them to infinity or hold infinities and NaNs,
// and some zero rest normals.
KernelCase randomKernelCase(std::mt19937& random, unsigned vertexCount, unsigned maxInfluences, unsigned displacements,
                            unsigned normals, bool extremes)
{
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    auto integer = [&](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(random); };
    auto wide = [&] { return uniform(-1, 1) * std::exp2(float(integer(0, 20)) - 10.0f); };
    KernelCase c;
    c.vertexCount = vertexCount;
    c.boneCount = integer(1, 40);
    c.starts.push_back(0);
    for (unsigned v = 0; v < vertexCount; ++v) {
        const unsigned count = integer(0, maxInfluences);
        for (unsigned i = 0; i < count; ++i)
            c.influences.push_back({int(integer(0, c.boneCount - 1)), uniform(-0.2f, 1.0f)});
        c.starts.push_back(std::uint32_t(c.influences.size()));
    }
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (unsigned b = 0; b < c.boneCount; ++b) {
        AffineTransform t;
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) t.linear(row, col) = wide();
            t.translation[row] = wide();
        }
        if (extremes)
            switch (integer(0, 11)) {
            case 0: t.linear = Matrix3f::diagonal(0.0f); break;
            case 1: t.linear = Matrix3f::diagonal(1e-22f); break;
            case 2: t.linear = Matrix3f::diagonal(1e25f); break;
            case 3: t.linear(integer(0, 2), integer(0, 2)) = inf; break;
            case 4: t.translation[int(integer(0, 2))] = -inf; break;
            case 5: t.linear(integer(0, 2), integer(0, 2)) = nan; break;
            default: break;
            }
        c.bones.push_back(t);
    }
    for (unsigned e = 0; e < 3 * vertexCount; ++e) {
        c.restPositions.push_back(wide());
        c.restNormals.push_back(uniform(-1, 1));
    }
    if (extremes)
        for (unsigned v = 0; v < vertexCount; v += integer(1, 40))
            for (int k = 0; k < 3; ++k) c.restNormals[3 * v + std::size_t(k)] = 0.0f;
    c.leadingDimension = 3 * std::size_t{vertexCount} + integer(0, 5);
    c.displacementCount = displacements;
    c.normalCount = normals;
    for (unsigned e = 0; e < c.leadingDimension * displacements; ++e) c.displacementBasis.push_back(wide() * 0.01f);
    for (unsigned e = 0; e < c.leadingDimension * normals; ++e) c.normalBasis.push_back(uniform(-0.3f, 0.3f));
    for (unsigned e = 0; e < KernelCase::kCoefficientStride * displacements; ++e)
        c.displacementCoefficients.push_back(uniform(-2, 2));
    for (unsigned e = 0; e < KernelCase::kCoefficientStride * normals; ++e) c.normalCoefficients.push_back(uniform(-2, 2));
    return c;
}

// The first difference between kernel and reference, or an empty string.
std::string firstDifference(const KernelOutput& got, const KernelOutput& expected)
{
    std::ostringstream out;
    for (std::size_t e = 0; e < expected.positions.size(); ++e) {
        if (!sameFloat(got.positions[e], expected.positions[e]))
            out << "vertex " << e / 3 << " position[" << e % 3 << "] " << got.positions[e] << " (0x" << std::hex
                << std::bit_cast<std::uint32_t>(got.positions[e]) << "), expected " << expected.positions[e] << " (0x"
                << std::bit_cast<std::uint32_t>(expected.positions[e]) << ")";
        else if (!sameFloat(got.normals[e], expected.normals[e]))
            out << "vertex " << e / 3 << " normal[" << e % 3 << "] " << got.normals[e] << " (0x" << std::hex
                << std::bit_cast<std::uint32_t>(got.normals[e]) << "), expected " << expected.normals[e] << " (0x"
                << std::bit_cast<std::uint32_t>(expected.normals[e]) << ")";
        if (!out.str().empty()) return out.str();
    }
    for (int k = 0; k < 3; ++k)
        if (!sameFloat(got.minimum[k], expected.minimum[k]) || !sameFloat(got.maximum[k], expected.maximum[k]))
            out << "box axis " << k << ": [" << got.minimum[k] << ", " << got.maximum[k] << "], expected ["
                << expected.minimum[k] << ", " << expected.maximum[k] << "]";
    return out.str();
}

} // namespace

TEST_P(SkinningKernelTest, ReproducesTheScalarOperationOrderBitForBit)
{
    // Vertex counts around the four-vertex normal batches and the 256-vertex blocks; correction
    // counts around the vector widths of the correction pass.
    const unsigned vertexCounts[] = {1, 3, 4, 5, 255, 256, 257, 513, 1030};
    const unsigned corrections[][2] = {{0, 0}, {1, 0}, {0, 3}, {8, 8}};
    const std::uint32_t seed = 20240515;
    std::mt19937 random(seed);
    int cases = 0, nanPositions = 0, keptNormals = 0;
    for (bool extremes : {false, true})
        for (unsigned vertexCount : vertexCounts)
            for (const auto& [kd, kn] : corrections)
                for (unsigned maxInfluences : {1u, 4u, 9u}) {
                    const KernelCase c = randomKernelCase(random, vertexCount, maxInfluences, kd, kn, extremes);
                    const KernelOutput expected = scalarKernel(c);
                    const std::string difference = firstDifference(runKernel(c), expected);
                    ASSERT_EQ(difference, "") << "seed " << seed << ", case " << cases << ": V=" << vertexCount
                                              << " Kd=" << kd << " Kn=" << kn << " influences<=" << maxInfluences
                                              << (extremes ? " with extreme bones" : "");
                    ++cases;
                    for (float x : expected.positions) nanPositions += std::isnan(x);
                    for (unsigned v = 0; v < c.vertexCount; ++v)
                        keptNormals += c.starts[v] == c.starts[v + 1];
                }
    // The extremes really reached the special paths.
    EXPECT_GT(nanPositions, 0);
    EXPECT_GT(keptNormals, 0);
}

// Agreement between the versions through the whole skin, with the reader's own frame boxes.
TEST(SkinningKernelVersions, GiveTheSameFramesBitForBit)
{
    if (!skinningIsaSupported(SkinningIsa::Avx2))
        GTEST_SKIP() << "NOT RUN: this processor has no AVX2, only the SSE2 version runs here";
    RandomSkinShape shape;
    shape.vertexCount = 777;
    shape.displacementCount = 4;
    shape.normalCount = 4;
    const SkinRecord record = randomRecord(shape, 11);
    std::vector<std::vector<Vector3f>> positions[2], normals[2];
    std::vector<BoundingBox> boxes[2];
    const SkinningIsa isas[2] = {SkinningIsa::Sse2, SkinningIsa::Avx2};
    for (int i = 0; i < 2; ++i) {
        IsaScope scope(isas[i]);
        const auto skin = read(record);
        for (unsigned f = 0; f < shape.frames; ++f) {
            positions[i].push_back(skin->framePositions(f));
            normals[i].push_back(skin->frameNormals(f));
        }
        boxes[i] = skin->frameBoundingBoxes();
    }
    auto bits = [](const std::vector<Vector3f>& v) {
        return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(Vector3f));
    };
    for (unsigned f = 0; f < shape.frames; ++f) {
        EXPECT_EQ(bits(positions[0][f]), bits(positions[1][f])) << "frame " << f;
        EXPECT_EQ(bits(normals[0][f]), bits(normals[1][f])) << "frame " << f;
    }
    EXPECT_EQ(boxes[0], boxes[1]);
}

INSTANTIATE_TEST_SUITE_P(Versions, SkinningKernelTest, ::testing::Values(SkinningIsa::Sse2, SkinningIsa::Avx2),
                         [](const ::testing::TestParamInfo<SkinningIsa>& info) { return isaName(info.param); });
