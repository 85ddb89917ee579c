#pragma once

#include "bake/DualQuaternion.h"
#include "bake/RigidTransform.h"

#include "foundation/AffineTransform.h"
#include "skin/Skin.h"

#include <span>
#include <vector>

// Dual-quaternion skinning of one frame: each vertex moves by the normalised weighted blend
// of its bones' dual quaternions, a rigid transform, so blends across a bent or twisted joint
// keep their volume. This is the deformation the eigenskin corrections steer linear-blend
// skinning towards.
class DualQuaternionSkinning {
public:
    explicit DualQuaternionSkinning(const std::vector<RigidTransform>& bones);
    // From the float transforms of a skin file; their linear parts must be rotations.
    static DualQuaternionSkinning fromAffine(const std::vector<AffineTransform>& bones);

    // The blended transform of a vertex with these influences (at least one).
    RigidTransform blend(std::span<const BoneInfluence> influences) const;

private:
    std::vector<DualQuaternion> m_bones;
};
