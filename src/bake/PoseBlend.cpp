#include "bake/PoseBlend.h"

std::vector<RigidTransform> rigidParts(const std::vector<BonePose>& poses)
{
    std::vector<RigidTransform> rigid;
    rigid.reserve(poses.size());
    for (const BonePose& pose : poses) rigid.push_back(pose.rigid);
    return rigid;
}

PoseBlend::PoseBlend(const std::vector<BonePose>& poses) : m_poses(poses), m_dualQuaternions(rigidParts(poses)) {}

bool PoseBlend::stretchBlend(std::span<const BoneInfluence> influences, Matrix3d& stretch) const
{
    bool any = false;
    for (const BoneInfluence& influence : influences) any = any || m_poses[static_cast<std::size_t>(influence.bone)].stretched;
    if (!any) return false;
    stretch = Matrix3d{};
    for (const BoneInfluence& influence : influences) {
        const Matrix3d& s = m_poses[static_cast<std::size_t>(influence.bone)].stretch;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) stretch[r][c] += influence.weight * s[r][c];
    }
    return true;
}

Vector3d PoseBlend::position(std::span<const BoneInfluence> influences, const Vector3d& p) const
{
    Matrix3d stretch;
    const Vector3d stretched = stretchBlend(influences, stretch) ? multiply(stretch, p) : p;
    return m_dualQuaternions.blend(influences).apply(stretched);
}
