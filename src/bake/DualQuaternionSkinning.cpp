#include "bake/DualQuaternionSkinning.h"

DualQuaternionSkinning::DualQuaternionSkinning(const std::vector<RigidTransform>& bones)
{
    m_bones.reserve(bones.size());
    for (const RigidTransform& bone : bones) m_bones.push_back(DualQuaternion::fromRigid(bone));
}

DualQuaternionSkinning DualQuaternionSkinning::fromAffine(const std::vector<AffineTransform>& bones)
{
    std::vector<RigidTransform> rigid;
    rigid.reserve(bones.size());
    for (const AffineTransform& bone : bones)
        rigid.push_back({Quaternion::fromMatrix(bone.linear), Vector3d(bone.translation)});
    return DualQuaternionSkinning(rigid);
}

RigidTransform DualQuaternionSkinning::blend(std::span<const BoneInfluence> influences) const
{
    // q and -q are the same rotation: blend every bone on the side of the first one, or two
    // bones half a turn apart would cancel instead of averaging.
    const DualQuaternion& pivot = m_bones[static_cast<std::size_t>(influences[0].bone)];
    DualQuaternion sum;
    for (const BoneInfluence& influence : influences) {
        const DualQuaternion& bone = m_bones[static_cast<std::size_t>(influence.bone)];
        const double sign = bone.real.dot(pivot.real) < 0.0 ? -1.0 : 1.0;
        sum = sum + bone * (sign * influence.weight);
    }
    return sum.toRigid();
}
