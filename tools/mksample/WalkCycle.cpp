#include "WalkCycle.h"

#include "foundation/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
const Vector3d kAxisX{1, 0, 0};
const Vector3d kAxisY{0, 1, 0};
const Vector3d kAxisZ{0, 0, 1};

// Body motion amplitudes, as fractions of the hip height where they are lengths.
constexpr double kBobFraction = 0.012;
constexpr double kSwayFraction = 0.018;
constexpr double kYaw = 0.035;
// Planted legs stay this far from full stretch.
constexpr double kReachMargin = 0.955;
// How far the hoof tips back at the end of its stance (radians), and its fold in mid-swing.
constexpr double kPushOffTilt = 0.35;
constexpr double kFrontSwingFold = 0.95;
constexpr double kHindSwingFold = 0.6;

double fraction(double x) { return x - std::floor(x); }

Quaternion rotation(const Vector3d& axis, double angle) { return Quaternion::fromAxisAngle(axis, angle); }

double smoothStep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

WalkCycle::WalkCycle(const BodyPlan& plan, const Skeleton& skeleton, int frameCount)
    : m_plan(plan), m_skeleton(skeleton)
{
    // Lower the body until every planted leg reaches both ends of its stride with a bent knee.
    double drop = 0.0;
    for (const LegPlan& leg : plan.legs) {
        const double reach = leg.upperLength + leg.lowerLength;
        const double half = 0.5 * plan.stride;
        const double height = std::sqrt(kReachMargin * kReachMargin * reach * reach - half * half);
        drop = std::max(drop, reach - height);
    }
    const double hip = plan.legs[0].hipHeight();
    m_bodyDrop = drop + 2.0 * kBobFraction * hip;

    m_poses.reserve(static_cast<std::size_t>(frameCount));
    for (int f = 0; f < frameCount; ++f) m_poses.push_back(computeFrame(double(f) / frameCount));
}

FramePoses WalkCycle::bakePoses() const
{
    FramePoses frames(m_poses.size());
    for (std::size_t f = 0; f < m_poses.size(); ++f)
        for (const RigidTransform& pose : m_poses[f]) frames[f].push_back(BonePose::fromRigid(pose));
    return frames;
}

std::vector<std::vector<AffineTransform>> WalkCycle::boneAnimations() const
{
    std::vector<std::vector<AffineTransform>> bones(static_cast<std::size_t>(m_skeleton.count()));
    for (int b = 0; b < m_skeleton.count(); ++b)
        for (int f = 0; f < frameCount(); ++f) bones[static_cast<std::size_t>(b)].push_back(pose(f, b).toAffine());
    return bones;
}

std::vector<RigidTransform> WalkCycle::computeFrame(double phase) const
{
    using namespace BoneIndex;
    const int count = m_skeleton.count();
    std::vector<Quaternion> local(static_cast<std::size_t>(count));
    const double hip = m_plan.legs[0].hipHeight();
    const double step = kTwoPi * 2.0 * phase; // two steps of the body per cycle
    const double stride = kTwoPi * phase;

    local[Root] = rotation(kAxisY, kYaw * portable::sin(stride + 0.5 * kPi)) * rotation(kAxisZ, 0.012 * portable::sin(step));
    local[Pelvis] = rotation(kAxisZ, 0.03 * portable::sin(step + 1.2));
    local[Spine] = rotation(kAxisZ, 0.015 * portable::sin(step));
    local[Chest] = rotation(kAxisZ, -0.03 * portable::sin(step + 1.2));

    // Head nod and turn; the head's own roll about its muzzle line twists the neck.
    const double nod = m_plan.neckSwing;
    local[Neck1] = rotation(kAxisY, 0.06 * portable::sin(stride - 0.5)) * rotation(kAxisZ, nod * portable::sin(step + 0.5));
    local[Neck2] = rotation(kAxisY, 0.14 * portable::sin(stride)) * rotation(kAxisZ, 0.6 * nod * portable::sin(step + 1.0));
    const Vector3d muzzle = (m_plan.snoutTip - m_plan.neckTop).normalized();
    local[Head] = rotation(muzzle, 0.16 * portable::sin(stride + 1.0)) * rotation(kAxisZ, -0.8 * nod * portable::sin(step + 0.7));

    // Ears flick once per cycle each, half a cycle apart.
    for (int side = 0; side < 2; ++side) {
        const double flick = portable::pow(portable::sin(kPi * fraction(phase + 0.5 * side)), 8.0);
        const double sign = side == 0 ? -1.0 : 1.0;
        local[side == 0 ? EarLeft : EarRight] =
            rotation(kAxisX, sign * 0.45 * flick) * rotation(kAxisY, 0.15 * portable::sin(stride + side));
    }

    // The tail swings sideways about an axis across it, each bone lagging the one above, and
    // twists about itself.
    for (int i = 0; i < 3; ++i) {
        const double u = i / 3.0;
        const Vector3d along = (m_plan.tailPoint(u + 0.01) - m_plan.tailPoint(u)).normalized();
        const Vector3d across = along.cross(kAxisZ).normalized();
        const double swing = m_plan.tailSwing * (0.7 + 0.3 * i) * portable::sin(stride - 0.8 * i);
        local[Tail1 + i] = rotation(along, 0.3 * portable::sin(stride + i)) *
                           rotation(across, swing) * rotation(kAxisZ, 0.08 * portable::sin(step - 0.5 * i));
    }

    std::vector<RigidTransform> poses(static_cast<std::size_t>(count));
    const Vector3d lift{0.0, -m_bodyDrop + kBobFraction * hip * portable::cos(step), kSwayFraction * hip * portable::sin(stride)};
    for (int b = 0; b < FirstLeg; ++b) {
        const Bone& bone = m_skeleton.bone(b);
        const RigidTransform turn = RigidTransform::rotationAbout(bone.pivot, local[static_cast<std::size_t>(b)]);
        poses[static_cast<std::size_t>(b)] =
            bone.parent < 0 ? RigidTransform::translationBy(lift) * turn : poses[static_cast<std::size_t>(bone.parent)] * turn;
    }
    for (int l = 0; l < 4; ++l) solveLeg(l, phase, poses);
    return poses;
}

void WalkCycle::solveLeg(int legIndex, double phase, std::vector<RigidTransform>& poses) const
{
    const LegPlan& leg = m_plan.legs[static_cast<std::size_t>(legIndex)];
    const int upper = BoneIndex::leg(legIndex, 0);
    const RigidTransform& parent = poses[static_cast<std::size_t>(m_skeleton.bone(upper).parent)];

    // The hoof's path in world space: swing first, then stance sliding back along the ground.
    const double swingShare = 1.0 - m_plan.dutyFactor;
    const double local = fraction(phase - leg.phase);
    const double half = 0.5 * m_plan.stride;
    Vector3d hoof{leg.x, 0.0, leg.z};
    double tilt = 0.0; // rotation of the foot about z; negative tips the hoof's sole backwards
    if (local < swingShare) {
        const double u = local / swingShare;
        hoof.x += -half + m_plan.stride * smoothStep(u);
        hoof.y = m_plan.lift * portable::sin(kPi * u);
        const double fold = leg.kneeForward ? kFrontSwingFold : kHindSwingFold;
        tilt = -(kPushOffTilt * (1.0 - u) * (1.0 - u) + fold * portable::sin(kPi * u));
    } else {
        const double v = (local - swingShare) / m_plan.dutyFactor;
        hoof.x += half - m_plan.stride * v;
        tilt = -kPushOffTilt * smoothStep((v - 0.75) / 0.25);
    }

    // Work in the parent's rest space, where the leg hangs in the plane z = leg.z.
    const RigidTransform toRest = parent.inverse();
    const Vector3d footWorld{portable::sin(tilt), -portable::cos(tilt), 0.0};
    const Vector3d foot = toRest.applyToDirection(footWorld);
    const Vector3d hoofRest = toRest.apply(hoof);
    const Vector3d ankle = hoofRest - foot * leg.footLength;

    const Vector3d& hipPivot = m_skeleton.bone(upper).pivot;
    const double l1 = leg.upperLength, l2 = leg.lowerLength;
    const double dx = ankle.x - hipPivot.x, dy = ankle.y - hipPivot.y;
    const double distance = std::clamp(portable::hypot(dx, dy), std::fabs(l1 - l2) + 1e-3, 0.9995 * (l1 + l2));
    const double toAnkle = portable::atan2(dy, dx);
    const double spread = portable::acos(std::clamp((l1 * l1 + distance * distance - l2 * l2) / (2.0 * l1 * distance), -1.0, 1.0));
    const double upperAngle = toAnkle + (leg.kneeForward ? spread : -spread);
    const Vector3d knee{hipPivot.x + l1 * portable::cos(upperAngle), hipPivot.y + l1 * portable::sin(upperAngle), 0.0};
    const double lowerAngle = portable::atan2(ankle.y - knee.y, ankle.x - knee.x);
    const double footAngle = portable::atan2(foot.y, foot.x);

    // Rest directions all point straight down (-pi/2); each bone turns relative to its parent.
    const double angles[3] = {upperAngle + 0.5 * kPi, lowerAngle - upperAngle, footAngle - lowerAngle};
    RigidTransform chain = parent;
    for (int s = 0; s < 3; ++s) {
        const int b = BoneIndex::leg(legIndex, s);
        const double angle = std::remainder(angles[s], kTwoPi);
        chain = chain * RigidTransform::rotationAbout(m_skeleton.bone(b).pivot, rotation(kAxisZ, angle));
        poses[static_cast<std::size_t>(b)] = chain;
    }
}
