#pragma once

#include "AnimalMesh.h"
#include "bake/RgbImage.h"

#include "foundation/Vector3f.h"

#include <cstdint>
#include <vector>

// The texture of a generated animal: fine fur strands running along each part (v), light
// enough to modulate the coat without repainting it, since the viewer multiplies the texture
// with lighting x vertex colour and the coat pattern lives in the vertex colours. Each part's
// rectangle gets noise that wraps around its width, so the seam where u goes from 1 back to 0
// does not show.
class FurTexture {
public:
    FurTexture(std::uint32_t seed, const Vector3f& tint) : m_seed(seed), m_tint(tint) {}

    RgbImage render(int size, const std::vector<TextureRegion>& regions) const;

private:
    std::uint32_t m_seed;
    Vector3f m_tint;
};
