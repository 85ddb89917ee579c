#include "Skeleton.h"

#include <cassert>

Vector3d Skeleton::earBase(const BodyPlan& plan, int side)
{
    // Just behind the head joint, up and out on the skull.
    const Vector3d along = (plan.snoutTip - plan.neckTop).normalized();
    return plan.neckTop + along * (0.2 * plan.headRadius) + Vector3d{0.0, 0.55 * plan.headRadius, 0.0} +
           Vector3d{0.0, 0.0, side * 0.7 * plan.headRadius};
}

Skeleton::Skeleton(const BodyPlan& plan)
{
    m_bones.resize(BoneIndex::Count);
    auto set = [this](int index, const char* name, int parent, const Vector3d& pivot) {
        assert(parent < index);
        m_bones[static_cast<std::size_t>(index)] = Bone{name, parent, pivot};
    };
    using namespace BoneIndex;
    const double midX = 0.5 * (plan.pelvisX + plan.chestX);
    set(Root, "root", -1, {midX, plan.torsoCentreY(midX), 0.0});
    set(Pelvis, "pelvis", Root, {plan.pelvisX, plan.torsoCentreY(plan.pelvisX), 0.0});
    set(Spine, "spine", Root, {plan.pelvisX, plan.torsoCentreY(plan.pelvisX), 0.0});
    set(Chest, "chest", Spine, {plan.chestX, plan.torsoCentreY(plan.chestX), 0.0});
    set(Neck1, "neck1", Chest, plan.neckPoint(0.0));
    set(Neck2, "neck2", Neck1, plan.neckPoint(0.5));
    set(Head, "head", Neck2, plan.neckPoint(1.0));
    set(EarLeft, "earLeft", Head, earBase(plan, -1));
    set(EarRight, "earRight", Head, earBase(plan, 1));
    set(Tail1, "tail1", Pelvis, plan.tailPoint(0.0));
    set(Tail2, "tail2", Tail1, plan.tailPoint(1.0 / 3.0));
    set(Tail3, "tail3", Tail2, plan.tailPoint(2.0 / 3.0));
    static const char* const kLegNames[4] = {"frontLeft", "frontRight", "hindLeft", "hindRight"};
    static const char* const kSegmentNames[3] = {"Upper", "Lower", "Foot"};
    for (int l = 0; l < 4; ++l) {
        const LegPlan& legPlan = plan.legs[static_cast<std::size_t>(l)];
        const double hip = legPlan.hipHeight();
        const double heights[3] = {hip, hip - legPlan.upperLength, legPlan.footLength};
        for (int s = 0; s < 3; ++s) {
            const int parent = s > 0 ? leg(l, s - 1) : (l < 2 ? Chest : Pelvis);
            const std::string name = std::string(kLegNames[l]) + kSegmentNames[s];
            m_bones[static_cast<std::size_t>(leg(l, s))] = Bone{name, parent, {legPlan.x, heights[s], legPlan.z}};
        }
    }
}
