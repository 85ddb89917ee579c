#pragma once

#include "bake/BonePose.h"
#include "bake/ProxySphere.h"

#include "foundation/DenseMatrix.h"
#include "foundation/Vector3d.h"

#include <vector>

// Precomputed radiance transfer of one mesh for every animation frame: the light a vertex gets
// from a bright sky (+y is up) and a dimmer ground under the body's own shadowing. The posed body is
// stood in for by proxy balls inside its parts (skinned like the surface around them), and
// each ball's share of the cosine-weighted hemisphere over a vertex is taken in closed form:
// (r / d)^2 cos(angle) for a ball wholly above the vertex's tangent plane, eased to zero as it
// sinks below. For a ball wholly above the plane that is exactly what infinitely many
// cosine-weighted rays would find; it has none of the noise of a few rays and is fast enough for
// every vertex of every frame.
//
// Occluded sky and ground light is replaced by light bounced off the body. The per-frame
// values are stored as a mean per vertex plus a truncated-SVD basis (V x K) of the deviations
// with per-frame coordinates (K x F), as the viewer reconstructs them.
class PrtLighting {
public:
    static constexpr double kSky = 1.0;
    static constexpr double kGround = 0.35;
    static constexpr double kBody = 0.12;

    // positions[f][v] and unit normals[f][v] of the posed mesh in every frame; centres[f][i] of
    // proxy ball i (radius radii[i]) in frame f. Frames are lit on `threads` threads (0: one
    // per processor); the result does not depend on it.
    PrtLighting(const std::vector<std::vector<Vector3d>>& positions, const std::vector<std::vector<Vector3d>>& normals,
                const std::vector<std::vector<Vector3d>>& centres, const std::vector<double>& radii, int basisCount,
                unsigned threads = 0);

    // The unreduced value of vertex v in frame f.
    double value(int f, std::size_t v) const
    {
        return m_values[v + static_cast<std::size_t>(f) * m_vertexCount];
    }
    const std::vector<float>& meanLighting() const { return m_mean; }
    const DenseMatrix& basis() const { return m_basis; }
    const DenseMatrix& coordinates() const { return m_coordinates; }

    // Light reaching a point with unit normal n among posed balls (centre, radius).
    static double lightingAt(const Vector3d& p, const Vector3d& n, const std::vector<Vector3d>& centres,
                             const std::vector<double>& radii);

    // The proxies' centres in every frame, posed by the reference blend of their influences.
    static std::vector<std::vector<Vector3d>> posedCentres(const std::vector<ProxySphere>& proxies, const FramePoses& poses);

private:
    std::size_t m_vertexCount;
    std::vector<double> m_values; // V x F, column-major
    std::vector<float> m_mean;
    DenseMatrix m_basis;
    DenseMatrix m_coordinates;
};

// Root mean square, over every vertex and frame, of the difference between the lighting the
// viewer reconstructs from mean, the first k basis columns and their coordinates, and `exact`.
double lightingReconstructionRms(const std::vector<float>& mean, const DenseMatrix& basis,
                                 const DenseMatrix& coordinates, unsigned k, const PrtLighting& exact);
