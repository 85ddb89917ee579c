#include "skin/SkinningKernel.h"

#include "skin/BoneInfluence.h"

#include <algorithm>
#include <cassert>

#if !defined(__x86_64__)
#error "the skinning kernel is written with x86-64 SSE2/AVX2 intrinsics"
#endif

#include <immintrin.h>

namespace {

// Vertices per block: the corrected rest positions and normals of a block (3 KB each) stay in
// L1 between the correction pass and the skinning pass.
constexpr unsigned kBlockVertices = 256;
// Floats in a per-block array: one float of slack after the last vertex, because vertices
// are loaded and stored as four floats.
constexpr std::size_t kBlockFloats = 3 * kBlockVertices + 4;

// One block's share of a frame. Inputs must allow reading, and outputs writing, one float past
// the block's last vertex: each vertex moves as four floats, the fourth being the next
// vertex's x, which is written again, correctly, right after.
struct BlockJob {
    unsigned count = 0;
    const float* positionsIn = nullptr;
    const float* normalsIn = nullptr;
    float* positionsOut = nullptr;
    float* normalsOut = nullptr;
    const std::uint32_t* groupCounts = nullptr;
    const InfluenceGroup* groups = nullptr;
    const float* palette = nullptr;
};

// The running box of a frame in the order of a vector register: x, y, z and an unused lane.
struct alignas(16) BoxState {
    float minimum[4];
    float maximum[4];
};

// Skins one block and returns the first influence group after it.
using BlockFunction = const InfluenceGroup* (*)(const BlockJob& job, BoxState& box);
// out[i] = rest[i] + sum over c of coefficients[c] * basis[c * leadingDimension + i], i < n,
// the columns added in order.
using CorrectionFunction = void (*)(float* out, const float* rest, std::size_t n, const float* basis,
                                    std::size_t leadingDimension, const float* coefficients, unsigned count);

// Every version computes each number with the same IEEE operations in the same order, so the
// frame comes out bit for bit the same whichever version the processor runs:
//   corrected = rest + k0 b0 + k1 b1 + ...                 (left to right, one rounding each)
//   M, t      = w0 B0 + w1 B1 + ...                        (bones in list order)
//   position  = ((M0 px + M1 py) + M2 pz) + t
//   normal    = s / sqrt((sx sx + sy sy) + sz sz), s = (M0 nx + M1 ny) + M2 nz
// with no fused multiply-add and no estimate instructions (rsqrt, rcp), whose results differ
// between processor makers.

// ---- Shared by every version ------------------------------------------------------------------

template <int lane>
inline __m128 splat(__m128 v)
{
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(lane, lane, lane, lane));
}

__attribute__((always_inline)) inline void growBox(__m128 position, __m128& boxMin, __m128& boxMax)
{
    // The new value as first operand: a NaN leaves the box alone, as in BoundingBox::grow.
    boxMin = _mm_min_ps(position, boxMin);
    boxMax = _mm_max_ps(position, boxMax);
}

// Renormalises the skinned normals of `count` (at most four) consecutive vertices, starting at
// vertex `first`, and stores them. Four at a time, transposed, so that one vector square root
// and three divisions serve four vertices without a trip through memory. A normal whose
// squared length is not positive (zero: no influences, or a transform that collapses it; or
// NaN) keeps its corrected rest value.
__attribute__((always_inline)) inline void storeNormals(__m128 n0, __m128 n1, __m128 n2, __m128 n3, unsigned count,
                                                        unsigned first, const BlockJob& job)
{
    _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
    const __m128 lengthSquared = _mm_add_ps(_mm_add_ps(_mm_mul_ps(n0, n0), _mm_mul_ps(n1, n1)), _mm_mul_ps(n2, n2));
    const unsigned positive =
        static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(lengthSquared, _mm_setzero_ps())));
    // Dividing by the length rounds once per component; a unit normal along an axis stays
    // exactly unit.
    const __m128 length = _mm_sqrt_ps(lengthSquared);
    __m128 x = _mm_div_ps(n0, length), y = _mm_div_ps(n1, length), z = _mm_div_ps(n2, length);
    __m128 unused = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(x, y, z, unused);
    const __m128 normals[4] = {x, y, z, unused};
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t at = 3 * std::size_t{first + i};
        _mm_storeu_ps(job.normalsOut + at, (positive >> i) & 1u ? normals[i] : _mm_loadu_ps(job.normalsIn + at));
    }
}

// Runs skinVertex(v, boxMin, boxMax), which stores vertex v's position and returns its skinned,
// unnormalised normal, over the block, and renormalises the normals four at a time.
template <typename SkinVertex>
__attribute__((always_inline)) inline void skinBlockInFours(const BlockJob& job, BoxState& box, SkinVertex skinVertex)
{
    __m128 boxMin = _mm_load_ps(box.minimum);
    __m128 boxMax = _mm_load_ps(box.maximum);
    unsigned v = 0;
    for (; v + 4 <= job.count; v += 4) {
        const __m128 n0 = skinVertex(v, boxMin, boxMax);
        const __m128 n1 = skinVertex(v + 1, boxMin, boxMax);
        const __m128 n2 = skinVertex(v + 2, boxMin, boxMax);
        const __m128 n3 = skinVertex(v + 3, boxMin, boxMax);
        storeNormals(n0, n1, n2, n3, 4, v, job);
    }
    if (v < job.count) {
        __m128 n[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
        const unsigned rest = job.count - v;
        for (unsigned i = 0; i < rest; ++i) n[i] = skinVertex(v + i, boxMin, boxMax);
        storeNormals(n[0], n[1], n[2], n[3], rest, v, job);
    }
    _mm_store_ps(box.minimum, boxMin);
    _mm_store_ps(box.maximum, boxMax);
}

// ---- SSE2: every x86-64 processor -------------------------------------------------------------

const InfluenceGroup* skinBlockSse2(const BlockJob& job, BoxState& box)
{
    const InfluenceGroup* group = job.groups;
    skinBlockInFours(job, box, [&](unsigned v, __m128& boxMin, __m128& boxMax) {
        __m128 column0 = _mm_setzero_ps(), column1 = column0, column2 = column0, translation = column0;
        for (std::uint32_t g = job.groupCounts[v]; g != 0; --g, ++group)
            for (int s = 0; s < 4; ++s) {
                const float* bone = job.palette + std::size_t{group->bone[s]} * SkinningKernel::kPaletteStride;
                const __m128 weight = _mm_set1_ps(group->weight[s]);
                column0 = _mm_add_ps(column0, _mm_mul_ps(_mm_load_ps(bone), weight));
                column1 = _mm_add_ps(column1, _mm_mul_ps(_mm_load_ps(bone + 4), weight));
                column2 = _mm_add_ps(column2, _mm_mul_ps(_mm_load_ps(bone + 8), weight));
                translation = _mm_add_ps(translation, _mm_mul_ps(_mm_load_ps(bone + 12), weight));
            }

        const __m128 p = _mm_loadu_ps(job.positionsIn + 3 * v);
        __m128 position = _mm_add_ps(_mm_mul_ps(column0, splat<0>(p)), _mm_mul_ps(column1, splat<1>(p)));
        position = _mm_add_ps(_mm_add_ps(position, _mm_mul_ps(column2, splat<2>(p))), translation);
        _mm_storeu_ps(job.positionsOut + 3 * v, position);
        growBox(position, boxMin, boxMax);

        const __m128 n = _mm_loadu_ps(job.normalsIn + 3 * v);
        const __m128 normal = _mm_add_ps(_mm_mul_ps(column0, splat<0>(n)), _mm_mul_ps(column1, splat<1>(n)));
        return _mm_add_ps(normal, _mm_mul_ps(column2, splat<2>(n)));
    });
    return group;
}

void addCorrectionsSse2(float* out, const float* rest, std::size_t n, const float* basis, std::size_t leadingDimension,
                        const float* coefficients, unsigned count)
{
    // Sixteen floats of every column per step: four independent sums in registers while the
    // columns stream past once.
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128 a0 = _mm_loadu_ps(rest + i), a1 = _mm_loadu_ps(rest + i + 4);
        __m128 a2 = _mm_loadu_ps(rest + i + 8), a3 = _mm_loadu_ps(rest + i + 12);
        const float* column = basis + i;
        for (unsigned c = 0; c < count; ++c, column += leadingDimension) {
            const __m128 k = _mm_set1_ps(coefficients[c]);
            a0 = _mm_add_ps(a0, _mm_mul_ps(k, _mm_loadu_ps(column)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(k, _mm_loadu_ps(column + 4)));
            a2 = _mm_add_ps(a2, _mm_mul_ps(k, _mm_loadu_ps(column + 8)));
            a3 = _mm_add_ps(a3, _mm_mul_ps(k, _mm_loadu_ps(column + 12)));
        }
        _mm_storeu_ps(out + i, a0);
        _mm_storeu_ps(out + i + 4, a1);
        _mm_storeu_ps(out + i + 8, a2);
        _mm_storeu_ps(out + i + 12, a3);
    }
    for (; i < n; ++i) {
        float a = rest[i];
        const float* column = basis + i;
        for (unsigned c = 0; c < count; ++c, column += leadingDimension) a += coefficients[c] * *column;
        out[i] = a;
    }
}

// ---- AVX2 -------------------------------------------------------------------------------------

// Compiled for AVX2 alone: without FMA in the target the compiler has no fused multiply-add to
// turn a product and a sum into, whatever the contraction setting.
#define FLEXHERD_AVX2 __attribute__((target("avx2")))

// A blended transform fills two registers: columns 0 and 1, then column 2 and the translation,
// so blending a bone costs two multiplies and two adds where the SSE2 version needs four of
// each; no gathers, which cost more than they save here.
FLEXHERD_AVX2 const InfluenceGroup* skinBlockAvx2(const BlockJob& job, BoxState& box)
{
    const __m256i selectXy = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256 one = _mm256_set1_ps(1.0f);
    const InfluenceGroup* group = job.groups;
    skinBlockInFours(job, box, [&](unsigned v, __m128& boxMin, __m128& boxMax) FLEXHERD_AVX2 {
        __m256 columns01 = _mm256_setzero_ps(), columns2t = columns01;
        for (std::uint32_t g = job.groupCounts[v]; g != 0; --g, ++group)
            for (int s = 0; s < 4; ++s) {
                const float* bone = job.palette + std::size_t{group->bone[s]} * SkinningKernel::kPaletteStride;
                const __m256 weight = _mm256_broadcast_ss(&group->weight[s]);
                columns01 = _mm256_add_ps(columns01, _mm256_mul_ps(_mm256_load_ps(bone), weight));
                columns2t = _mm256_add_ps(columns2t, _mm256_mul_ps(_mm256_load_ps(bone + 8), weight));
            }

        // The halves of one product hold c0 px and c1 py, those of the other c2 pz and t 1 = t;
        // they are summed in the SSE2 version's order.
        const __m256 p = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(job.positionsIn + 3 * v));
        const __m256 pxy = _mm256_permutevar_ps(p, selectXy);
        const __m256 pz1 = _mm256_blend_ps(_mm256_permute_ps(p, 0xAA), one, 0xF0);
        const __m256 terms01 = _mm256_mul_ps(columns01, pxy);
        const __m256 terms2t = _mm256_mul_ps(columns2t, pz1);
        __m128 position = _mm_add_ps(_mm256_castps256_ps128(terms01), _mm256_extractf128_ps(terms01, 1));
        position = _mm_add_ps(_mm_add_ps(position, _mm256_castps256_ps128(terms2t)), _mm256_extractf128_ps(terms2t, 1));
        _mm_storeu_ps(job.positionsOut + 3 * v, position);
        growBox(position, boxMin, boxMax);

        const __m128 n = _mm_loadu_ps(job.normalsIn + 3 * v);
        const __m256 nxy = _mm256_permutevar_ps(_mm256_set_m128(n, n), selectXy);
        const __m256 normalTerms = _mm256_mul_ps(columns01, nxy);
        const __m128 normal =
            _mm_add_ps(_mm256_castps256_ps128(normalTerms), _mm256_extractf128_ps(normalTerms, 1));
        return _mm_add_ps(normal, _mm_mul_ps(_mm256_castps256_ps128(columns2t), splat<2>(n)));
    });
    return group;
}

FLEXHERD_AVX2 void addCorrectionsAvx2(float* out, const float* rest, std::size_t n, const float* basis,
                                      std::size_t leadingDimension, const float* coefficients, unsigned count)
{
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256 a0 = _mm256_loadu_ps(rest + i), a1 = _mm256_loadu_ps(rest + i + 8);
        __m256 a2 = _mm256_loadu_ps(rest + i + 16), a3 = _mm256_loadu_ps(rest + i + 24);
        const float* column = basis + i;
        for (unsigned c = 0; c < count; ++c, column += leadingDimension) {
            const __m256 k = _mm256_broadcast_ss(coefficients + c);
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(k, _mm256_loadu_ps(column)));
            a1 = _mm256_add_ps(a1, _mm256_mul_ps(k, _mm256_loadu_ps(column + 8)));
            a2 = _mm256_add_ps(a2, _mm256_mul_ps(k, _mm256_loadu_ps(column + 16)));
            a3 = _mm256_add_ps(a3, _mm256_mul_ps(k, _mm256_loadu_ps(column + 24)));
        }
        _mm256_storeu_ps(out + i, a0);
        _mm256_storeu_ps(out + i + 8, a1);
        _mm256_storeu_ps(out + i + 16, a2);
        _mm256_storeu_ps(out + i + 24, a3);
    }
    for (; i + 8 <= n; i += 8) {
        __m256 a = _mm256_loadu_ps(rest + i);
        const float* column = basis + i;
        for (unsigned c = 0; c < count; ++c, column += leadingDimension)
            a = _mm256_add_ps(a, _mm256_mul_ps(_mm256_broadcast_ss(coefficients + c), _mm256_loadu_ps(column)));
        _mm256_storeu_ps(out + i, a);
    }
    for (; i < n; ++i) {
        float a = rest[i];
        const float* column = basis + i;
        for (unsigned c = 0; c < count; ++c, column += leadingDimension) a += coefficients[c] * *column;
        out[i] = a;
    }
}

#undef FLEXHERD_AVX2

// ---- Dispatch ---------------------------------------------------------------------------------

struct KernelVersion {
    BlockFunction skinBlock;
    CorrectionFunction addCorrections;
};

constexpr KernelVersion kSse2Version{skinBlockSse2, addCorrectionsSse2};
constexpr KernelVersion kAvx2Version{skinBlockAvx2, addCorrectionsAvx2};

bool processorHasAvx2()
{
    // The check includes the operating system's support for saving the wide registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

SkinningIsa& isaInUse()
{
    static SkinningIsa isa = processorHasAvx2() ? SkinningIsa::Avx2 : SkinningIsa::Sse2;
    return isa;
}

const KernelVersion& versionInUse()
{
    return isaInUse() == SkinningIsa::Avx2 ? kAvx2Version : kSse2Version;
}

void gatherCoefficients(const FrameCorrections& corrections, std::vector<float>& out)
{
    out.resize(corrections.count);
    for (unsigned c = 0; c < corrections.count; ++c) out[c] = corrections.coefficients[c * corrections.coefficientStride];
}

} // namespace

bool skinningIsaSupported(SkinningIsa isa)
{
    return isa == SkinningIsa::Sse2 || processorHasAvx2();
}

SkinningIsa skinningIsa()
{
    return isaInUse();
}

void setSkinningIsa(SkinningIsa isa)
{
    assert(skinningIsaSupported(isa));
    isaInUse() = isa;
}

SkinningKernel::SkinningKernel(std::span<const BoneInfluence> influences, std::span<const std::uint32_t> starts,
                               unsigned boneCount)
    : m_boneCount(boneCount), m_palette(static_cast<std::size_t>(boneCount) + 1)
{
    assert(!starts.empty() && starts.back() == influences.size());
    const std::size_t vertexCount = starts.size() - 1;
    m_groupCounts.resize(vertexCount);
    std::size_t groupTotal = 0;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const std::uint64_t count = starts[v + 1] - starts[v];
        m_groupCounts[v] = static_cast<std::uint32_t>((count + 3) / 4);
        groupTotal += m_groupCounts[v];
    }
    m_groups.reserve(groupTotal);
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const BoneInfluence* first = influences.data() + starts[v];
        const BoneInfluence* const last = influences.data() + starts[v + 1];
        for (; first < last; first += 4) {
            InfluenceGroup group;
            if (last - first >= 4) {
                // The common case, a full group, in straight-line code.
                for (int s = 0; s < 4; ++s) {
                    group.bone[s] = static_cast<std::uint32_t>(first[s].bone);
                    group.weight[s] = first[s].weight;
                }
            } else {
                for (int s = 0; s < 4; ++s) {
                    const bool real = s < last - first;
                    group.bone[s] = real ? static_cast<std::uint32_t>(first[s].bone) : boneCount;
                    group.weight[s] = real ? first[s].weight : 0.0f;
                }
            }
            m_groups.push_back(group);
        }
    }
    assert(std::all_of(influences.begin(), influences.end(), [&](const BoneInfluence& influence) {
        return influence.bone >= 0 && static_cast<unsigned>(influence.bone) < boneCount;
    }));
    assert(m_groups.size() == groupTotal);
}

void SkinningKernel::setBone(unsigned b, const AffineTransform& transform)
{
    assert(b < m_boneCount);
    float* entry = m_palette[b].value;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) entry[4 * c + r] = transform.linear(r, c);
        entry[4 * c + 3] = 0.0f;
    }
    for (int r = 0; r < 3; ++r) entry[12 + r] = transform.translation[r];
    entry[15] = 0.0f;
}

BoundingBox SkinningKernel::skinFrame(const SkinningFrame& frame)
{
    const KernelVersion& version = versionInUse();
    gatherCoefficients(frame.displacements, m_displacementCoefficients);
    gatherCoefficients(frame.normalCorrections, m_normalCoefficients);

    const BoundingBox empty;
    BoxState box{{empty.minimum.x, empty.minimum.y, empty.minimum.z, 0.0f},
                 {empty.maximum.x, empty.maximum.y, empty.maximum.z, 0.0f}};
    alignas(64) float correctedPositions[kBlockFloats];
    alignas(64) float correctedNormals[kBlockFloats];
    alignas(64) float lastPositions[kBlockFloats];
    alignas(64) float lastNormals[kBlockFloats];

    const std::size_t vertexCount = m_groupCounts.size();
    const InfluenceGroup* groups = m_groups.data();
    for (std::size_t begin = 0; begin < vertexCount; begin += kBlockVertices) {
        const unsigned count = static_cast<unsigned>(std::min<std::size_t>(kBlockVertices, vertexCount - begin));
        // Only the final block has no next vertex to read or write past its end; it goes
        // through local arrays.
        const bool last = begin + count == vertexCount;
        const std::size_t offset = 3 * begin;
        const std::size_t floats = 3 * std::size_t{count};

        auto input = [&](const float* rest, const FrameCorrections& corrections, const std::vector<float>& coefficients,
                         float* scratch) -> const float* {
            if (corrections.count > 0)
                version.addCorrections(scratch, rest + offset, floats, corrections.basis + offset,
                                       corrections.leadingDimension, coefficients.data(), corrections.count);
            else if (last)
                std::copy_n(rest + offset, floats, scratch);
            else
                return rest + offset;
            scratch[floats] = 0.0f;
            return scratch;
        };

        BlockJob job;
        job.count = count;
        job.positionsIn = input(frame.restPositions, frame.displacements, m_displacementCoefficients, correctedPositions);
        job.normalsIn = input(frame.restNormals, frame.normalCorrections, m_normalCoefficients, correctedNormals);
        job.positionsOut = last ? lastPositions : frame.positions + offset;
        job.normalsOut = last ? lastNormals : frame.normals + offset;
        job.groupCounts = m_groupCounts.data() + begin;
        job.groups = groups;
        job.palette = m_palette.data()->value;
        groups = version.skinBlock(job, box);
        if (last) {
            std::copy_n(lastPositions, floats, frame.positions + offset);
            std::copy_n(lastNormals, floats, frame.normals + offset);
        }
    }
    assert(groups == m_groups.data() + m_groups.size());
    return BoundingBox({box.minimum[0], box.minimum[1], box.minimum[2]}, {box.maximum[0], box.maximum[1], box.maximum[2]});
}
