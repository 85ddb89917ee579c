#pragma once

#include "bake/BonePose.h"

#include "foundation/DenseMatrix.h"
#include "foundation/Vector3d.h"
#include "skin/Skin.h"

#include <vector>

// Eigenskin corrections of one mesh for one animation. For every frame the reference pose is
// dual-quaternion skinning with the mesh's own weights; linear-blend skinning (what the viewer
// does) loses volume where bones with different rotations blend, at knees and along a
// twisting neck or tail. With M the blended 3x3 of a vertex, the rest-space residual
// d = M^-1 (p_ref - p_lbs) moves the skinned vertex exactly onto the reference when added to
// the rest position, and dn = M^-1 n_ref - n_rest does the same for the normal's direction.
//
// The residuals of all frames form 3V x F matrices whose truncated SVD gives the bases
// (3V x K, vertex after vertex) and per-frame coordinates (F x K) that the viewer adds back:
// rest + sum_i coordinate(f, i) * basis column i. Bases carry the singular values, scaled
// so that each coordinate column has a root mean square of one.
class Eigenskin {
public:
    // Every vertex needs at least one influence, and poses[f] one pose per bone. Frames are
    // skinned on `threads` threads (0: one per processor); the result does not depend on it.
    Eigenskin(const std::vector<Vector3d>& positions, const std::vector<Vector3d>& normals,
              const std::vector<std::vector<BoneInfluence>>& influences, const FramePoses& poses, int basisCount,
              unsigned threads = 0);

    const std::vector<std::vector<Vector3d>>& referencePositions() const { return m_referencePositions; }
    const std::vector<std::vector<Vector3d>>& referenceNormals() const { return m_referenceNormals; }
    const std::vector<Vector3d>& referencePositions(int f) const { return m_referencePositions[static_cast<std::size_t>(f)]; }
    const std::vector<Vector3d>& referenceNormals(int f) const { return m_referenceNormals[static_cast<std::size_t>(f)]; }

    const DenseMatrix& displacementBasis() const { return m_displacementBasis; }
    const DenseMatrix& displacementCoordinates() const { return m_displacementCoordinates; }
    const DenseMatrix& normalBasis() const { return m_normalBasis; }
    const DenseMatrix& normalCoordinates() const { return m_normalCoordinates; }

    // Truncated-SVD compression of a rows x columns column-major matrix into a rows x k basis
    // and a columns x k coordinate matrix, scaled as described above.
    static void compress(std::vector<double> residuals, int rows, int columns, int k, DenseMatrix& basis,
                         DenseMatrix& coordinates);

private:
    std::vector<std::vector<Vector3d>> m_referencePositions;
    std::vector<std::vector<Vector3d>> m_referenceNormals;
    DenseMatrix m_displacementBasis;
    DenseMatrix m_displacementCoordinates;
    DenseMatrix m_normalBasis;
    DenseMatrix m_normalCoordinates;
};
