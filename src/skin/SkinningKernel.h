#pragma once

#include "foundation/AffineTransform.h"
#include "foundation/BoundingBox.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct BoneInfluence;

// Instruction sets the frame kernel has a version for. The default build stays portable to
// any x86-64, so the AVX2 version is chosen at run time, only on processors that have it; the
// versions differ in speed only, never in results.
enum class SkinningIsa { Sse2, Avx2 };

bool skinningIsaSupported(SkinningIsa isa);
// The version in use: the best supported one unless overridden.
SkinningIsa skinningIsa();
// Switches versions so that tests and benchmarks can compare them; `isa` must be supported.
void setSkinningIsa(SkinningIsa isa);

// Four influence slots of one vertex. A vertex's list is padded to whole groups with slots of
// weight 0 on an all-zero bone, so the blend runs four slots at a time without a per-slot
// branch and the padding adds exactly nothing, even next to a bone holding infinities.
struct InfluenceGroup {
    std::uint32_t bone[4];
    float weight[4];
};

// Eigenskin corrections of one attribute for one frame: `count` basis columns of 3V floats
// each, column c starting at basis + c * leadingDimension, with coefficient
// coefficients[c * coefficientStride] (a row of the column-major coordinate matrix).
struct FrameCorrections {
    const float* basis = nullptr;
    std::size_t leadingDimension = 0;
    const float* coefficients = nullptr;
    std::size_t coefficientStride = 0;
    unsigned count = 0;
};

// Everything one frame is skinned from and into; arrays hold x, y, z per vertex.
struct SkinningFrame {
    const float* restPositions = nullptr;
    const float* restNormals = nullptr;
    FrameCorrections displacements;
    FrameCorrections normalCorrections;
    float* positions = nullptr;
    float* normals = nullptr;
};

// Linear-blend skinning of a whole frame with the corrections fused in: vertices go through in
// blocks small enough that the corrected rest data never leaves L1, so the frame costs one
// pass over the basis instead of one pass over the whole position array per basis vector.
//
// Every instruction-set version gives the same bits on every x86-64 processor: each number is
// computed with exactly rounded IEEE operations in one fixed order, that of "copy the rest pose,
// add every basis column times its coefficient in turn, blend each vertex's bones in list order,
// transform, divide the normal by its length". No fused multiply-adds, no reciprocal or square
// root estimates. Normals go through the blended linear part, not its inverse transpose: bone
// transforms are close to rigid, and the normal is renormalised anyway.
class SkinningKernel {
public:
    SkinningKernel() = default;
    // Packs the influence lists (vertex v owns influences[starts[v] .. starts[v + 1])) of a
    // skin with boneCount bones; every bone index must be below boneCount.
    SkinningKernel(std::span<const BoneInfluence> influences, std::span<const std::uint32_t> starts,
                   unsigned boneCount);

    unsigned vertexCount() const { return static_cast<unsigned>(m_groupCounts.size()); }
    unsigned boneCount() const { return m_boneCount; }

    // Sets bone b's transform for the next skinFrame call (b < boneCount()).
    void setBone(unsigned b, const AffineTransform& transform);
    // Skins vertexCount() vertices with the bones set last and returns the box of the skinned
    // positions. A vertex without influences ends at the origin and keeps its corrected
    // normal, as does one whose blended transform maps its normal to zero.
    BoundingBox skinFrame(const SkinningFrame& frame);

    // Floats per bone in the palette: the 3x4 transform stored as four padded columns.
    static constexpr unsigned kPaletteStride = 16;

private:
    struct alignas(64) PaletteEntry {
        float value[kPaletteStride];
    };

    std::vector<InfluenceGroup> m_groups;
    std::vector<std::uint32_t> m_groupCounts;
    unsigned m_boneCount = 0;
    // One entry per bone plus the zero bone the padding slots point at.
    std::vector<PaletteEntry> m_palette;
    // Per-frame gathers of the correction coefficients, kept to avoid allocating every frame.
    std::vector<float> m_displacementCoefficients;
    std::vector<float> m_normalCoefficients;
};
