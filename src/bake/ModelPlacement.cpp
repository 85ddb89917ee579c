#include "bake/ModelPlacement.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

Placement choosePlacement(const ImportedModel& model, const ImportOptions& options)
{
    Placement placement;
    if (options.up) {
        placement.up = *options.up;
        placement.upSource = "option";
    } else if (model.fileUp) {
        placement.up = *model.fileUp;
        placement.upSource = "file";
    } else {
        placement.up = {1, 1};
        placement.upSource = "default";
    }
    if (options.forward) {
        placement.forward = *options.forward;
        placement.forwardSource = "option";
    } else if (model.fileForward && model.fileForward->axis != placement.up.axis) {
        placement.forward = *model.fileForward;
        placement.forwardSource = "file";
    } else {
        placement.forward = placement.up.axis == 2 ? AxisDirection{1, -1} : AxisDirection{2, 1};
        placement.forwardSource = "default";
    }
    if (placement.up.axis == placement.forward.axis)
        throw std::invalid_argument("The up axis " + placement.up.text() + " and the forward axis " + placement.forward.text() +
                                    " must be different axes.");
    if (options.scale) {
        placement.metresPerUnit = *options.scale;
        placement.scaleSource = "option";
    } else if (model.fileMetresPerUnit) {
        placement.metresPerUnit = *model.fileMetresPerUnit;
        placement.scaleSource = "file";
    } else {
        placement.scaleSource = "default";
    }
    return placement;
}

std::vector<Vector3d> skinnedPositions(const ImportedModel& model, std::size_t frame)
{
    std::vector<Vector3d> positions(model.positions.size());
    const std::vector<Affine3d>& poses = model.poses[frame];
    for (std::size_t v = 0; v < positions.size(); ++v) {
        Vector3d p;
        for (const BoneInfluence& influence : model.influences[v])
            p += poses[static_cast<std::size_t>(influence.bone)].apply(model.positions[v]) * influence.weight;
        positions[v] = p;
    }
    return positions;
}

namespace {

// The change of frame: rows are the new x, y and z axes in file coordinates (x = up x forward,
// so the turn is a rotation), each a signed unit axis, so turning is exact.
Matrix3d turnOf(const Placement& placement)
{
    Vector3d up, forward;
    up[placement.up.axis] = placement.up.sign;
    forward[placement.forward.axis] = placement.forward.sign;
    const Vector3d side = up.cross(forward);
    return {{{side.x, side.y, side.z}, {up.x, up.y, up.z}, {forward.x, forward.y, forward.z}}};
}

// Conjugates every pose by p -> linear p + translation (linear a rotation times a scale).
void conjugatePoses(ImportedModel& model, const Affine3d& place)
{
    const Affine3d back = place.inverse();
    for (auto& frame : model.poses)
        for (Affine3d& pose : frame) pose = place * pose * back;
}

} // namespace

void placeModel(ImportedModel& model, Placement& placement)
{
    const Matrix3d turn = turnOf(placement);
    const double s = placement.metresPerUnit;
    Affine3d turnAndScale;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) turnAndScale.linear[r][c] = turn[r][c] * s;
    for (Vector3d& p : model.positions) p = turnAndScale.apply(p);
    for (Vector3d& n : model.normals) n = multiply(turn, n);
    for (Vector3d& p : model.bonePivots) p = turnAndScale.apply(p);
    conjugatePoses(model, turnAndScale);

    // Feet on the ground and the footprint centred, measured on the first frame as skinned.
    const std::vector<Vector3d> first = skinnedPositions(model, 0);
    Vector3d low{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    Vector3d high = low * -1.0;
    for (const Vector3d& p : first)
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
    placement.offset = first.empty() ? Vector3d{} : Vector3d{-0.5 * (low.x + high.x), -low.y, -0.5 * (low.z + high.z)};
    Affine3d move;
    move.translation = placement.offset;
    for (Vector3d& p : model.positions) p = p + placement.offset;
    for (Vector3d& p : model.bonePivots) p = p + placement.offset;
    conjugatePoses(model, move);
}
