#pragma once

#include "BodyPlan.h"
#include "bake/BonePose.h"
#include "bake/RigidTransform.h"
#include "Skeleton.h"

#include "foundation/AffineTransform.h"

#include <vector>

// A looping walk on the spot: the hooves slide backwards while planted, as on a treadmill,
// because the herds move the animals themselves. Every bone pose is rigid and maps rest-pose
// space to the posed frame; the last frame leads smoothly back into the first.
//
// Each leg follows a hoof path on the ground (flat while planted, an arc while swinging) through
// analytic two-bone inverse kinematics, so planted hooves rest exactly on y = 0 and the knees
// bend the way the body plan says. The torso bobs, sways and yaws a little, the head nods
// twice per cycle and turns, and the tail swings with a lag along its bones.
class WalkCycle {
public:
    WalkCycle(const BodyPlan& plan, const Skeleton& skeleton, int frameCount);

    int frameCount() const { return static_cast<int>(m_poses.size()); }
    // Pose of bone b in frame f.
    const RigidTransform& pose(int f, int b) const
    {
        return m_poses[static_cast<std::size_t>(f)][static_cast<std::size_t>(b)];
    }
    const std::vector<RigidTransform>& framePoses(int f) const { return m_poses[static_cast<std::size_t>(f)]; }
    // Every frame's poses in the form the bakers take.
    FramePoses bakePoses() const;
    // Bone by bone, one float transform per frame: the layout of the skin files.
    std::vector<std::vector<AffineTransform>> boneAnimations() const;

    // How far the walking body sits below its rest height, so that a planted leg never has to
    // stretch straight (which would make the knee snap).
    double bodyDrop() const { return m_bodyDrop; }
    // How fast a planted hoof slides back, in metres per frame: the speed at which the animal
    // would cover ground without its feet slipping.
    double groundSpeed() const { return m_plan.stride / (m_plan.dutyFactor * frameCount()); }

private:
    std::vector<RigidTransform> computeFrame(double phase) const;
    void solveLeg(int legIndex, double phase, std::vector<RigidTransform>& poses) const;

    const BodyPlan& m_plan;
    const Skeleton& m_skeleton;
    double m_bodyDrop = 0.0;
    std::vector<std::vector<RigidTransform>> m_poses;
};
