#include "FurTexture.h"

#include "ProceduralNoise.h"

#include <algorithm>
#include <cmath>

RgbImage FurTexture::render(int size, const std::vector<TextureRegion>& regions) const
{
    const ProceduralNoise noise(m_seed);
    RgbImage image(size, size);
    // Texels no part uses get the average fur tone.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) image.set(x, y, m_tint * 0.86f);

    for (const TextureRegion& region : regions) {
        const int x0 = static_cast<int>(std::lround(region.u0 * size));
        const int width = std::max(1, static_cast<int>(std::lround(region.width * size)));
        // Image rows run top down; v = 0 is the bottom of the texture once the viewer flips it.
        const int y0 = static_cast<int>(std::lround((1.0f - region.v0 - region.height) * size));
        const int height = static_cast<int>(std::lround(region.height * size));
        // Strand cells two texels wide, so the noise wraps after width / 2 cells.
        const int strandPeriod = std::max(1, width / 2);
        const int tonePeriod = std::max(1, width / 16);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double strands = noise.fractal2(x / 2.0, (y + y0) / 10.0, 3, strandPeriod);
                const double tone = noise.value2(x / 16.0 + 101.0 * tonePeriod, (y + y0) / 32.0, tonePeriod);
                const float level = static_cast<float>(0.7 + 0.22 * strands + 0.08 * tone);
                image.set(x0 + x, y0 + y, m_tint * level);
            }
    }
    return image;
}
