#include "bake/ModelPlacement.h"

#include <algorithm>
#include <array>
#include <cmath>
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
        const FacingGuess guess = guessFacing(model, placement.up);
        placement.forward = guess.forward;
        placement.forwardSource = guess.source;
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

namespace {

// Below this share of a step's total ground motion the feet do not push one way (a clip that
// sways, breathes or slides its whole underside back and forth).
constexpr double kConsistentWalk = 0.5;
// A body and its lower third must be this much longer one way than the other to be a body
// that walks along its length.
constexpr double kElongated = 1.5;

struct Extent {
    double low = std::numeric_limits<double>::max();
    double high = -std::numeric_limits<double>::max();
    void grow(double v)
    {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    double size() const { return high >= low ? high - low : 0.0; }
};

// The two horizontal axes when `up` is up, in increasing order.
std::array<int, 2> horizontalAxes(const AxisDirection& up)
{
    return up.axis == 0 ? std::array<int, 2>{1, 2} : up.axis == 1 ? std::array<int, 2>{0, 2} : std::array<int, 2>{0, 1};
}

// The walking direction the clip's feet give, as a horizontal vector in file coordinates
// (zero when they give none). Between consecutive frames, every vertex that lies within a
// twentieth of the height above the lowest point in both frames is a foot on the ground; its
// step against the model's centre is summed.
Vector3d walkDirection(const ImportedModel& model, const AxisDirection& up)
{
    const std::size_t frames = model.frameCount();
    if (frames < 2 || model.positions.empty()) return {};
    const int u = up.axis;
    const double s = up.sign;
    std::vector<Vector3d> previous = skinnedPositions(model, 0), current;
    auto heights = [&](const std::vector<Vector3d>& points, double& lowest, Vector3d& centre) {
        Extent height;
        centre = {};
        for (const Vector3d& p : points) {
            height.grow(s * p[u]);
            centre += p;
        }
        centre *= 1.0 / double(points.size());
        lowest = height.low;
        return height.size();
    };
    double lowPrevious = 0.0;
    Vector3d centrePrevious;
    const double height = heights(previous, lowPrevious, centrePrevious);
    if (!(height > 0.0)) return {};
    const double band = height / 20.0;
    Vector3d sum;
    double travelled = 0.0;
    for (std::size_t f = 1; f < frames; ++f) {
        current = skinnedPositions(model, f);
        double lowCurrent = 0.0;
        Vector3d centreCurrent;
        heights(current, lowCurrent, centreCurrent);
        const Vector3d centreStep = centreCurrent - centrePrevious;
        for (std::size_t v = 0; v < current.size(); ++v) {
            if (s * previous[v][u] > lowPrevious + band || s * current[v][u] > lowCurrent + band) continue;
            Vector3d step = current[v] - previous[v] - centreStep;
            step[u] = 0.0;
            sum += step;
            travelled += step.length();
        }
        previous.swap(current);
        lowPrevious = lowCurrent;
        centrePrevious = centreCurrent;
    }
    // Feet on the ground push backwards: the body walks the other way.
    if (!(travelled > 0.0) || sum.length() < kConsistentWalk * travelled || sum.length() < 1e-9 * height) return {};
    return sum * -1.0;
}

} // namespace

FacingGuess guessFacing(const ImportedModel& model, const AxisDirection& up)
{
    const AxisDirection fallback = up.axis == 2 ? AxisDirection{1, -1} : AxisDirection{2, 1};
    const std::array<int, 2> across = horizontalAxes(up);

    const Vector3d walk = walkDirection(model, up);
    if (walk.length() > 0.0) {
        const int axis = std::fabs(walk[across[0]]) > std::fabs(walk[across[1]]) ? across[0] : across[1];
        return {{axis, walk[axis] > 0.0 ? 1 : -1}, "walk"};
    }

    // The rest pose's extents, and those of its lower third.
    Extent height;
    for (const Vector3d& p : model.positions) height.grow(up.sign * p[up.axis]);
    Extent whole[2], lower[2];
    for (const Vector3d& p : model.positions)
        for (int k = 0; k < 2; ++k) {
            whole[k].grow(p[across[k]]);
            if (up.sign * p[up.axis] <= height.low + height.size() / 3.0) lower[k].grow(p[across[k]]);
        }
    auto longer = [](const Extent (&e)[2]) {
        if (e[0].size() >= kElongated * e[1].size() && e[0].size() > 0.0) return 0;
        if (e[1].size() >= kElongated * e[0].size() && e[1].size() > 0.0) return 1;
        return -1;
    };
    const int body = longer(whole);
    if (body < 0 || longer(lower) != body || lower[body].size() < height.size() / 3.0) return {fallback, "default"};
    const int axis = across[static_cast<std::size_t>(body)];
    // The shape gives the axis, not the end that leads: no measure of bulk or height told
    // head from tail on both the sample animals (hanging tails, raised heads) and a bison with
    // its head low and its tail straight out. The usual direction on the usual axis, else the
    // positive one; --forward says otherwise.
    return {{axis, axis == fallback.axis ? fallback.sign : 1}, "shape"};
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
