#pragma once

// The frame kernel as it was before it was made exact: AVX2 with fused multiply-adds and
// normals renormalised by the reciprocal square root estimate plus one Newton step, whose
// results differ between processor makers. Kept for the benchmark alone, as the reference the
// exact kernel's cost is measured against in the same run; needs an AVX2 and FMA processor.

#include "skin/SkinningKernel.h"

#include <cstdint>
#include <span>
#include <vector>

class ApproximateSkinningKernel {
public:
    static bool supported();

    ApproximateSkinningKernel(std::span<const BoneInfluence> influences, std::span<const std::uint32_t> starts,
                              unsigned boneCount);

    void setBone(unsigned b, const AffineTransform& transform);
    BoundingBox skinFrame(const SkinningFrame& frame);

private:
    struct alignas(64) PaletteEntry {
        float value[SkinningKernel::kPaletteStride];
    };

    std::vector<InfluenceGroup> m_groups;
    std::vector<std::uint32_t> m_groupCounts;
    std::vector<PaletteEntry> m_palette;
    std::vector<float> m_displacementCoefficients;
    std::vector<float> m_normalCoefficients;
};
