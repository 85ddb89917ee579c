#include "Eigenskin.h"

#include "DualQuaternionSkinning.h"
#include "TruncatedSvd.h"

#include <array>
#include <cmath>

namespace {

// 3x3 double matrix, row by row: the blended linear part of a vertex.
using Matrix3d = std::array<std::array<double, 3>, 3>;

Matrix3d rotationMatrix(const Quaternion& q)
{
    const Vector3d ex = q.rotate({1, 0, 0}), ey = q.rotate({0, 1, 0}), ez = q.rotate({0, 0, 1});
    return {{{ex.x, ey.x, ez.x}, {ex.y, ey.y, ez.y}, {ex.z, ey.z, ez.z}}};
}

Vector3d multiply(const Matrix3d& m, const Vector3d& v)
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

// Inverse by the adjugate; blends of rotations with positive weights are far from singular
// for the joint angles of a walk.
Matrix3d inverse(const Matrix3d& m)
{
    Matrix3d a;
    a[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    a[0][1] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    a[0][2] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    a[1][0] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    a[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    a[1][2] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    a[2][0] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    a[2][1] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    a[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const double determinant = m[0][0] * a[0][0] + m[0][1] * a[1][0] + m[0][2] * a[2][0];
    for (auto& row : a)
        for (double& x : row) x /= determinant;
    return a;
}

} // namespace

Eigenskin::Eigenskin(const AnimalMesh& mesh, const WalkCycle& walk, int basisCount)
{
    const int frames = walk.frameCount();
    const std::size_t vertices = mesh.vertexCount();
    const std::size_t rows = 3 * vertices;
    std::vector<double> positionResiduals(rows * static_cast<std::size_t>(frames));
    std::vector<double> normalResiduals(rows * static_cast<std::size_t>(frames));
    m_referencePositions.resize(static_cast<std::size_t>(frames));
    m_referenceNormals.resize(static_cast<std::size_t>(frames));

    for (int f = 0; f < frames; ++f) {
        const std::vector<RigidTransform>& poses = walk.framePoses(f);
        const DualQuaternionSkinning dqs(poses);
        std::vector<Matrix3d> rotations;
        for (const RigidTransform& pose : poses) rotations.push_back(rotationMatrix(pose.rotation));
        auto& positions = m_referencePositions[static_cast<std::size_t>(f)];
        auto& normals = m_referenceNormals[static_cast<std::size_t>(f)];
        positions.resize(vertices);
        normals.resize(vertices);
        double* positionColumn = positionResiduals.data() + rows * static_cast<std::size_t>(f);
        double* normalColumn = normalResiduals.data() + rows * static_cast<std::size_t>(f);
        for (std::size_t v = 0; v < vertices; ++v) {
            const std::vector<BoneInfluence>& influences = mesh.influences[v];
            const RigidTransform reference = dqs.blend(influences);
            positions[v] = reference.apply(mesh.positions[v]);
            normals[v] = reference.applyToDirection(mesh.normals[v]);

            Matrix3d blended{};
            Vector3d translation;
            for (const BoneInfluence& influence : influences) {
                const std::size_t b = static_cast<std::size_t>(influence.bone);
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 3; ++c) blended[r][c] += influence.weight * rotations[b][r][c];
                translation += poses[b].translation * influence.weight;
            }
            const Matrix3d undo = inverse(blended);
            const Vector3d linear = multiply(blended, mesh.positions[v]) + translation;
            const Vector3d d = multiply(undo, positions[v] - linear);
            const Vector3d dn = multiply(undo, normals[v]) - mesh.normals[v];
            for (int c = 0; c < 3; ++c) {
                positionColumn[3 * v + static_cast<std::size_t>(c)] = d[c];
                normalColumn[3 * v + static_cast<std::size_t>(c)] = dn[c];
            }
        }
    }
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
