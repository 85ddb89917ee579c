// A copy of the frame kernel's AVX2 version before it was made exact (see the header).
#include "ApproximateSkinning.h"

#include "skin/Skin.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
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

#define FLEXHERD_AVX2 __attribute__((target("avx2,fma")))

// A blended transform fills two registers: columns 0 and 1, then column 2 and the translation.
// Blending a bone costs two fused multiply-adds; no gathers, which cost more than they save here.
// Normals are renormalised with the reciprocal square root estimate and one Newton step, within
// 3e-7 of exact: a square root and a division per vertex would keep the divider busy for most
// of the frame, and batching them through memory stalls on store forwarding.
FLEXHERD_AVX2 const InfluenceGroup* skinBlockAvx2(const BlockJob& job, BoxState& box)
{
    const __m256i selectXy = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 threeHalves = _mm_set1_ps(1.5f);
    // The estimate covers normal, finite numbers; anything else takes the exact formula.
    const __m128 smallest = _mm_set_ss(FLT_MIN);
    const __m128 largest = _mm_set_ss(FLT_MAX);
    __m128 boxMin = _mm_load_ps(box.minimum);
    __m128 boxMax = _mm_load_ps(box.maximum);
    const InfluenceGroup* group = job.groups;

    for (unsigned v = 0; v < job.count; ++v) {
        __m256 columns01 = zero, columns2t = zero;
        for (std::uint32_t g = job.groupCounts[v]; g != 0; --g, ++group)
            for (int s = 0; s < 4; ++s) {
                const float* bone = job.palette + std::size_t{group->bone[s]} * SkinningKernel::kPaletteStride;
                const __m256 weight = _mm256_broadcast_ss(&group->weight[s]);
                columns01 = _mm256_fmadd_ps(weight, _mm256_load_ps(bone), columns01);
                columns2t = _mm256_fmadd_ps(weight, _mm256_load_ps(bone + 8), columns2t);
            }

        // M p + t = (c0 px + c1 py) + (c2 pz + t 1): the halves of one register hold the two
        // sums, which one add folds together.
        const __m256 p = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(job.positionsIn + 3 * v));
        const __m256 pxy = _mm256_permutevar_ps(p, selectXy);
        const __m256 pz1 = _mm256_blend_ps(_mm256_permute_ps(p, 0xAA), one, 0xF0);
        const __m256 positionTerms = _mm256_fmadd_ps(columns2t, pz1, _mm256_mul_ps(columns01, pxy));
        const __m128 position =
            _mm_add_ps(_mm256_castps256_ps128(positionTerms), _mm256_extractf128_ps(positionTerms, 1));
        _mm_storeu_ps(job.positionsOut + 3 * v, position);
        boxMin = _mm_min_ps(position, boxMin);
        boxMax = _mm_max_ps(position, boxMax);

        const __m128 restNormal = _mm_loadu_ps(job.normalsIn + 3 * v);
        const __m256 n = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(job.normalsIn + 3 * v));
        const __m256 nxy = _mm256_permutevar_ps(n, selectXy);
        const __m256 nz0 = _mm256_blend_ps(_mm256_permute_ps(n, 0xAA), zero, 0xF0);
        const __m256 normalTerms = _mm256_fmadd_ps(columns2t, nz0, _mm256_mul_ps(columns01, nxy));
        const __m128 normal = _mm_add_ps(_mm256_castps256_ps128(normalTerms), _mm256_extractf128_ps(normalTerms, 1));
        const __m128 squares = _mm_mul_ps(normal, normal);
        const __m128 lengthSquared =
            _mm_add_ss(_mm_add_ss(squares, _mm_movehdup_ps(squares)), _mm_movehl_ps(squares, squares));
        float* out = job.normalsOut + 3 * v;
        if (_mm_comige_ss(lengthSquared, smallest) && _mm_comile_ss(lengthSquared, largest)) {
            const __m128 l = _mm_broadcastss_ps(lengthSquared);
            const __m128 estimate = _mm_rsqrt_ps(l);
            const __m128 halfLengthSquaredEstimate = _mm_mul_ps(_mm_mul_ps(l, half), estimate);
            const __m128 scale = _mm_mul_ps(estimate, _mm_fnmadd_ps(halfLengthSquaredEstimate, estimate, threeHalves));
            _mm_storeu_ps(out, _mm_mul_ps(normal, scale));
        } else if (_mm_comigt_ss(lengthSquared, _mm_setzero_ps())) {
            const __m128 scale = _mm_div_ss(_mm_set_ss(1.0f), _mm_sqrt_ss(lengthSquared));
            _mm_storeu_ps(out, _mm_mul_ps(normal, _mm_broadcastss_ps(scale)));
        } else {
            // Zero (no influences, or a transform that collapses the normal) or NaN.
            _mm_storeu_ps(out, restNormal);
        }
    }
    _mm_store_ps(box.minimum, boxMin);
    _mm_store_ps(box.maximum, boxMax);
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
            a0 = _mm256_fmadd_ps(k, _mm256_loadu_ps(column), a0);
            a1 = _mm256_fmadd_ps(k, _mm256_loadu_ps(column + 8), a1);
            a2 = _mm256_fmadd_ps(k, _mm256_loadu_ps(column + 16), a2);
            a3 = _mm256_fmadd_ps(k, _mm256_loadu_ps(column + 24), a3);
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
            a = _mm256_fmadd_ps(_mm256_broadcast_ss(coefficients + c), _mm256_loadu_ps(column), a);
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

void gatherCoefficients(const FrameCorrections& corrections, std::vector<float>& out)
{
    out.resize(corrections.count);
    for (unsigned c = 0; c < corrections.count; ++c) out[c] = corrections.coefficients[c * corrections.coefficientStride];
}

} // namespace

bool ApproximateSkinningKernel::supported()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

ApproximateSkinningKernel::ApproximateSkinningKernel(std::span<const BoneInfluence> influences, std::span<const std::uint32_t> starts,
                               unsigned boneCount)
    : m_palette(static_cast<std::size_t>(boneCount) + 1)
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

void ApproximateSkinningKernel::setBone(unsigned b, const AffineTransform& transform)
{
    float* entry = m_palette[b].value;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) entry[4 * c + r] = transform.linear(r, c);
        entry[4 * c + 3] = 0.0f;
    }
    for (int r = 0; r < 3; ++r) entry[12 + r] = transform.translation[r];
    entry[15] = 0.0f;
}

BoundingBox ApproximateSkinningKernel::skinFrame(const SkinningFrame& frame)
{
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
                addCorrectionsAvx2(scratch, rest + offset, floats, corrections.basis + offset,
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
        groups = skinBlockAvx2(job, box);
        if (last) {
            std::copy_n(lastPositions, floats, frame.positions + offset);
            std::copy_n(lastNormals, floats, frame.normals + offset);
        }
    }
    assert(groups == m_groups.data() + m_groups.size());
    return BoundingBox({box.minimum[0], box.minimum[1], box.minimum[2]}, {box.maximum[0], box.maximum[1], box.maximum[2]});
}
