#pragma once

#include "bake/RgbImage.h"

#include <cstdint>

// The viewer's sky: a picture wrapped around a sphere, longitude across (wrapping at the
// edges) and latitude down, the top row at the zenith and the middle row on the horizon.
// A blue gradient that pales towards the horizon, a soft sun glow, and fractal-noise clouds
// laid on a flat cloud deck overhead so that they shrink and thin out towards the horizon.
class SkyImage {
public:
    explicit SkyImage(std::uint32_t seed) : m_seed(seed) {}

    RgbImage render(int width, int height) const;

private:
    std::uint32_t m_seed;
};
