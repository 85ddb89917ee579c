#pragma once

#include "BodyPlan.h"

#include "foundation/Vector3d.h"

#include <string>
#include <vector>

// Bone numbers shared by the skeleton, the walk cycle and the mesh weights.
namespace BoneIndex {
enum : int {
    Root,
    Pelvis,
    Spine,
    Chest,
    Neck1,
    Neck2,
    Head,
    EarLeft,
    EarRight,
    Tail1,
    Tail2,
    Tail3,
    FirstLeg,
    Count = FirstLeg + 12
};
// Segment 0 is the upper leg (hip to knee), 1 the lower leg (knee to ankle), 2 the foot.
constexpr int leg(int legIndex, int segment) { return FirstLeg + 3 * legIndex + segment; }
} // namespace BoneIndex

// One bone: its parent (-1 for the root) and the joint it turns about, in rest-pose space.
struct Bone {
    std::string name;
    int parent = -1;
    Vector3d pivot;
};

// The 24 bones of a generated animal in parent-before-child order: root, pelvis, spine,
// chest, two neck bones, head, two ears, three tail bones and three per leg.
class Skeleton {
public:
    explicit Skeleton(const BodyPlan& plan);

    const std::vector<Bone>& bones() const { return m_bones; }
    const Bone& bone(int index) const { return m_bones[static_cast<std::size_t>(index)]; }
    int count() const { return static_cast<int>(m_bones.size()); }

    // Where an ear joins the head (side -1 is the left ear, +1 the right).
    static Vector3d earBase(const BodyPlan& plan, int side);

private:
    std::vector<Bone> m_bones;
};
