#pragma once

#include "bake/BonePose.h"
#include "bake/DualQuaternionSkinning.h"

#include "skin/Skin.h"

#include <span>
#include <vector>

// The reference deformation of one frame: dual-quaternion blending of the bones' rigid parts
// after a linear blend of their stretches (none for rigid poses), so blends across a bent or
// twisted joint keep their volume. The eigenskin corrections and the posed proxies of the
// lighting both use it.
class PoseBlend {
public:
    explicit PoseBlend(const std::vector<BonePose>& poses);

    // A point with these influences (at least one) in the reference pose.
    Vector3d position(std::span<const BoneInfluence> influences, const Vector3d& p) const;

    // The two halves of the reference: the dual-quaternion blend of the rigid parts, and the
    // weighted stretch applied before it (false, and `stretch` untouched, when every
    // influencing bone is rigid).
    RigidTransform rigidBlend(std::span<const BoneInfluence> influences) const { return m_dualQuaternions.blend(influences); }
    bool stretchBlend(std::span<const BoneInfluence> influences, Matrix3d& stretch) const;

private:

    const std::vector<BonePose>& m_poses;
    DualQuaternionSkinning m_dualQuaternions;
};

// The rigid parts of a frame's poses.
std::vector<RigidTransform> rigidParts(const std::vector<BonePose>& poses);
