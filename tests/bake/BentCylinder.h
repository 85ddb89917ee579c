#pragma once

#include "GltfWriter.h"

#include <array>
#include <cstddef>

// An open cylinder of radius 0.25 and height 3 standing on y = 0, skinned to three joints at
// heights 0, 1 and 2 (weights blending linearly between the heights 0.5, 1.5 and 2.5), and a
// one-second clip: the root slides 0.5 along +z, the middle joint bends 60 degrees about z,
// the top joint nods to 30 degrees about x and back. Everything the import must produce
// from it is computed here from these definitions, not by the import's code.
class BentCylinder {
public:
    static constexpr int kRings = 31;
    static constexpr int kSegments = 16;
    static constexpr double kDuration = 1.0;

    BentCylinder();
    const GltfModel& gltf() const { return m_gltf; }

    // Linear blend skinning of vertex v at t seconds (the clip holds its last pose after it
    // ends), and the same with dual quaternions.
    std::array<double, 3> linearBlend(std::size_t v, double t) const;
    std::array<double, 3> dualQuaternion(std::size_t v, double t) const;

private:
    GltfModel m_gltf;
};
