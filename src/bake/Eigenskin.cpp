#include "bake/Eigenskin.h"

#include "bake/ParallelFor.h"
#include "bake/PoseBlend.h"
#include "bake/TruncatedSvd.h"

#include <cmath>

Eigenskin::Eigenskin(const std::vector<Vector3d>& restPositions, const std::vector<Vector3d>& restNormals,
                     const std::vector<std::vector<BoneInfluence>>& influenceLists, const FramePoses& framePoses,
                     int basisCount, unsigned threads)
{
    const int frames = static_cast<int>(framePoses.size());
    const std::size_t vertices = restPositions.size();
    const std::size_t rows = 3 * vertices;
    std::vector<double> positionResiduals(rows * static_cast<std::size_t>(frames));
    std::vector<double> normalResiduals(rows * static_cast<std::size_t>(frames));
    m_referencePositions.resize(static_cast<std::size_t>(frames));
    m_referenceNormals.resize(static_cast<std::size_t>(frames));

    // Each frame fills only its own reference poses and residual columns.
    parallelFor(static_cast<std::size_t>(frames), [&](std::size_t frame) {
        const std::vector<BonePose>& poses = framePoses[frame];
        const PoseBlend blend(poses);
        auto& positions = m_referencePositions[frame];
        auto& normals = m_referenceNormals[frame];
        positions.resize(vertices);
        normals.resize(vertices);
        double* positionColumn = positionResiduals.data() + rows * frame;
        double* normalColumn = normalResiduals.data() + rows * frame;
        for (std::size_t v = 0; v < vertices; ++v) {
            const std::vector<BoneInfluence>& influences = influenceLists[v];
            const RigidTransform reference = blend.rigidBlend(influences);
            Matrix3d stretch;
            if (blend.stretchBlend(influences, stretch)) {
                positions[v] = reference.apply(multiply(stretch, restPositions[v]));
                normals[v] = reference.applyToDirection(multiply(stretch, restNormals[v]));
            } else {
                positions[v] = reference.apply(restPositions[v]);
                normals[v] = reference.applyToDirection(restNormals[v]);
            }

            Matrix3d blended{};
            Vector3d translation;
            for (const BoneInfluence& influence : influences) {
                const BonePose& pose = poses[static_cast<std::size_t>(influence.bone)];
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 3; ++c) blended[r][c] += influence.weight * pose.linear[r][c];
                translation += pose.translation() * influence.weight;
            }
            Vector3d d, dn;
            // A blend that collapses (bones scaled to nothing, or opposite turns cancelling)
            // cannot be undone; such a vertex keeps the plain linear blend.
            const double det = determinant(blended);
            if (std::fabs(det) > 1e-12) {
                const Matrix3d undo = inverse(blended);
                const Vector3d linear = multiply(blended, restPositions[v]) + translation;
                d = multiply(undo, positions[v] - linear);
                dn = multiply(undo, normals[v]) - restNormals[v];
            }
            for (int c = 0; c < 3; ++c) {
                positionColumn[3 * v + static_cast<std::size_t>(c)] = d[c];
                normalColumn[3 * v + static_cast<std::size_t>(c)] = dn[c];
            }
        }
    }, threads);
    compress(std::move(positionResiduals), static_cast<int>(rows), frames, basisCount, m_displacementBasis,
             m_displacementCoordinates);
    compress(std::move(normalResiduals), static_cast<int>(rows), frames, basisCount, m_normalBasis,
             m_normalCoordinates);
}

void Eigenskin::compress(std::vector<double> residuals, int rows, int columns, int k, DenseMatrix& basis,
                         DenseMatrix& coordinates)
{
    const TruncatedSvd svd(std::move(residuals), rows, columns, k);
    const int rank = svd.rank();
    const double scale = std::sqrt(static_cast<double>(columns));
    basis.resize(static_cast<unsigned>(rows), static_cast<unsigned>(rank));
    coordinates.resize(static_cast<unsigned>(columns), static_cast<unsigned>(rank));
    for (int i = 0; i < rank; ++i) {
        const double sigma = svd.singularValue(i);
        for (int r = 0; r < rows; ++r)
            basis(static_cast<unsigned>(r), static_cast<unsigned>(i)) = static_cast<float>(svd.left(r, i) * sigma / scale);
        for (int c = 0; c < columns; ++c)
            coordinates(static_cast<unsigned>(c), static_cast<unsigned>(i)) = static_cast<float>(svd.right(c, i) * scale);
    }
}
