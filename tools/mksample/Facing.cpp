#include "Facing.h"

#include <numbers>

RigidTransform facingTurn()
{
    // A turn by -90 degrees about +y takes +x to +z.
    return {Quaternion::fromAxisAngle({0, 1, 0}, -0.5 * std::numbers::pi), {}};
}

namespace {

void turnBasis(DenseMatrix& basis, const RigidTransform& turn)
{
    for (unsigned c = 0; c < basis.columns(); ++c)
        for (unsigned v = 0; 3 * v + 2 < basis.rows(); ++v) {
            const Vector3d d = turn.applyToDirection({basis(3 * v, c), basis(3 * v + 1, c), basis(3 * v + 2, c)});
            basis(3 * v, c) = static_cast<float>(d.x);
            basis(3 * v + 1, c) = static_cast<float>(d.y);
            basis(3 * v + 2, c) = static_cast<float>(d.z);
        }
}

} // namespace

void turnRecord(SkinRecord& record, const RigidTransform& turn)
{
    const RigidTransform back = turn.inverse();
    record.boundingBox = BoundingBox();
    for (Vector3f& p : record.positions) {
        p = turn.apply(Vector3d(p)).toVector3f();
        record.boundingBox.grow(p);
    }
    for (Vector3f& n : record.normals) n = turn.applyToDirection(Vector3d(n)).toVector3f();
    for (auto& bone : record.bones)
        for (AffineTransform& t : bone) {
            const RigidTransform pose{Quaternion::fromMatrix(t.linear), Vector3d(t.translation)};
            t = (turn * pose * back).toAffine();
        }
    turnBasis(record.displacementBasis, turn);
    turnBasis(record.normalBasis, turn);
    record.frameBoxes.clear();
    if (record.nextSkin) turnRecord(*record.nextSkin, turn);
}

std::vector<std::vector<Vector3d>> turnFrames(const std::vector<std::vector<Vector3d>>& frames, const RigidTransform& turn)
{
    std::vector<std::vector<Vector3d>> turned(frames.size());
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (const Vector3d& p : frames[f]) turned[f].push_back(turn.apply(p));
    return turned;
}
