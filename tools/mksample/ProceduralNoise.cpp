#include "ProceduralNoise.h"

#include <cmath>

namespace {

std::uint32_t mixBits(std::uint32_t h)
{
    // Murmur3's finaliser: every input bit flips about half the output bits.
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

double lerp(double a, double b, double t) { return a + (b - a) * t; }

int wrap(int i, int period) { return period > 0 ? ((i % period) + period) % period : i; }

} // namespace

double ProceduralNoise::lattice(int x, int y, int z) const
{
    std::uint32_t h = mixBits(m_seed ^ 0x9e3779b9u);
    h = mixBits(h ^ static_cast<std::uint32_t>(x) * 0x27d4eb2du);
    h = mixBits(h ^ static_cast<std::uint32_t>(y) * 0x165667b1u);
    h = mixBits(h ^ static_cast<std::uint32_t>(z) * 0x9e3779b1u);
    return (h >> 8) * (1.0 / 16777216.0);
}

double ProceduralNoise::value2(double x, double y, int periodX, int periodY) const
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double tx = fade(x - fx), ty = fade(y - fy);
    auto at = [&](int dx, int dy) { return lattice(wrap(ix + dx, periodX), wrap(iy + dy, periodY), 0); };
    return lerp(lerp(at(0, 0), at(1, 0), tx), lerp(at(0, 1), at(1, 1), tx), ty);
}

double ProceduralNoise::value3(const Vector3d& p) const
{
    const double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    const double tx = fade(p.x - fx), ty = fade(p.y - fy), tz = fade(p.z - fz);
    auto at = [&](int dx, int dy, int dz) { return lattice(ix + dx, iy + dy, iz + dz); };
    const double z0 = lerp(lerp(at(0, 0, 0), at(1, 0, 0), tx), lerp(at(0, 1, 0), at(1, 1, 0), tx), ty);
    const double z1 = lerp(lerp(at(0, 0, 1), at(1, 0, 1), tx), lerp(at(0, 1, 1), at(1, 1, 1), tx), ty);
    return lerp(z0, z1, tz);
}

double ProceduralNoise::fractal2(double x, double y, int octaves, int periodX, int periodY) const
{
    double sum = 0.0, amplitude = 1.0, total = 0.0, frequency = 1.0;
    for (int o = 0; o < octaves; ++o) {
        const int scale = 1 << o;
        sum += amplitude * value2(x * frequency, y * frequency, periodX * scale, periodY * scale);
        total += amplitude;
        amplitude *= 0.5;
        frequency *= 2.0;
    }
    return sum / total;
}

double ProceduralNoise::fractal3(const Vector3d& p, int octaves) const
{
    double sum = 0.0, amplitude = 1.0, total = 0.0;
    Vector3d q = p;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * value3(q);
        total += amplitude;
        amplitude *= 0.5;
        // Turning each octave's lattice and shifting it hides the lattice's axis-aligned grain.
        q = Vector3d{0.00 * q.x + 0.80 * q.y + 0.60 * q.z, -0.80 * q.x + 0.36 * q.y - 0.48 * q.z,
                     -0.60 * q.x - 0.48 * q.y + 0.64 * q.z} * 2.0 + Vector3d{17.3, 5.1, 11.7};
    }
    return sum / total;
}

ProceduralNoise::Cells ProceduralNoise::cells3(const Vector3d& p) const
{
    const int ix = static_cast<int>(std::floor(p.x)), iy = static_cast<int>(std::floor(p.y)),
              iz = static_cast<int>(std::floor(p.z));
    Cells result{1e9, 1e9, 0.0};
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int cx = ix + dx, cy = iy + dy, cz = iz + dz;
                // Three independent lattice draws place the cell's feature point.
                const Vector3d feature{cx + lattice(cx, cy, cz * 3), cy + lattice(cx, cy, cz * 3 + 1),
                                       cz + lattice(cx, cy, cz * 3 + 2)};
                const double d = (feature - p).length();
                if (d < result.nearest) {
                    result.second = result.nearest;
                    result.nearest = d;
                    result.cellValue = lattice(cx + 7919, cy, cz);
                } else if (d < result.second) {
                    result.second = d;
                }
            }
    return result;
}
