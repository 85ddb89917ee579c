#pragma once

#include "foundation/Vector3d.h"

#include <cstdint>

// Seeded lattice noise built on an integer hash, so every pattern is the same on every run and
// every machine: value noise with fractal sums in 2D (optionally periodic, for textures that
// must wrap) and 3D (coats painted in rest-pose space), and 3D cellular noise.
class ProceduralNoise {
public:
    explicit ProceduralNoise(std::uint32_t seed) : m_seed(seed) {}

    // Uniform in [0, 1) for one lattice point.
    double lattice(int x, int y, int z) const;

    // Smooth value noise in [0, 1]. With periods > 0 the lattice wraps every period cells.
    double value2(double x, double y, int periodX = 0, int periodY = 0) const;
    double value3(const Vector3d& p) const;
    // Octaves of value noise, each twice the frequency and half the amplitude; in [0, 1].
    // A periodic sum doubles the period with the frequency so it still wraps.
    double fractal2(double x, double y, int octaves, int periodX = 0, int periodY = 0) const;
    double fractal3(const Vector3d& p, int octaves) const;

    // Cellular noise: distances to the nearest and second-nearest jittered feature point (one
    // per unit cell) and a uniform [0, 1) value of the nearest point's cell.
    struct Cells {
        double nearest;
        double second;
        double cellValue;
    };
    Cells cells3(const Vector3d& p) const;

private:
    std::uint32_t m_seed;
};
