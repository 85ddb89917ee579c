#include "ShadowBlob.h"

#include "PortableMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

double smoothStep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

} // namespace

ShadowBlob::ShadowBlob(const BodyPlan& plan, const Skeleton& skeleton, const WalkCycle& walk)
    : m_plan(plan), m_skeleton(skeleton), m_walk(walk)
{
}

RigidTransform ShadowBlob::flattened(const RigidTransform& pose, const Vector3d& pivot)
{
    const Vector3d moved = pose.apply(pivot);
    const Vector3d forward = pose.applyToDirection({1, 0, 0});
    // A turn by yaw about +y takes +x to (cos yaw, 0, -sin yaw).
    const double yaw = portable::atan2(-forward.z, forward.x);
    const Quaternion turn = Quaternion::fromAxisAngle({0, 1, 0}, yaw);
    const Vector3d from{pivot.x, 0.0, pivot.z};
    const Vector3d to{moved.x, 0.0, moved.z};
    return {turn, to - turn.rotate(from)};
}

SkinRecord ShadowBlob::record() const
{
    SkinRecord r;
    r.name = m_plan.name + "Shadow";
    // Half the body plus a margin lengthwise; across, the body and the splay of the legs.
    const double centreX = 0.5 * (m_plan.torsoRearX + m_plan.torsoFrontX);
    const double radiusX = 0.5 * (m_plan.torsoFrontX - m_plan.torsoRearX) + 0.25;
    const double radiusZ = m_plan.torsoHalfWidth + 0.3;
    const double pelvisX = m_skeleton.bone(BoneIndex::Pelvis).pivot.x;
    const double chestX = m_skeleton.bone(BoneIndex::Chest).pivot.x;

    auto addVertex = [&](double ring, double angle) {
        // Rings run from the rim (ring = 1) inwards, so vertex 0 is on the rim.
        const double c = portable::cos(angle), s = portable::sin(angle);
        const Vector3d p{centreX + radiusX * ring * c, kHeight, -radiusZ * ring * s};
        r.positions.push_back(p.toVector3f());
        r.normals.push_back({0, 1, 0});
        r.textureCoordinates.push_back({float(0.5 + 0.5 * ring * c), float(0.5 + 0.5 * ring * s)});
        r.vertexColors.push_back(kGroundColour);
        r.meanLighting.push_back(float(kCentreLighting + (1.0 - kCentreLighting) * smoothStep(ring)));
        const float chest = float(smoothStep((p.x - pelvisX) / (chestX - pelvisX)));
        std::vector<BoneInfluence> influences;
        if (chest < 1.0f) influences.push_back({0, 1.0f - chest});
        if (chest > 0.0f) influences.push_back({1, chest});
        r.influences.push_back(influences);
    };
    for (int ring = 0; ring < kRings; ++ring)
        for (int k = 0; k < kSegments; ++k)
            addVertex(1.0 - double(ring) / kRings, 2.0 * std::numbers::pi * k / kSegments);
    addVertex(0.0, 0.0);
    const std::uint32_t centre = static_cast<std::uint32_t>(r.positions.size() - 1);

    // Counter-clockwise seen from above: the angle turns from +x towards -z.
    auto at = [](int ring, int k) { return static_cast<std::uint32_t>(ring * kSegments + (k % kSegments)); };
    for (int ring = 0; ring + 1 < kRings; ++ring)
        for (int k = 0; k < kSegments; ++k) {
            r.triangles.push_back(Triangle{{at(ring, k), at(ring, k + 1), at(ring + 1, k + 1)}});
            r.triangles.push_back(Triangle{{at(ring, k), at(ring + 1, k + 1), at(ring + 1, k)}});
        }
    for (int k = 0; k < kSegments; ++k) r.triangles.push_back(Triangle{{at(kRings - 1, k), at(kRings - 1, k + 1), centre}});

    const int frames = m_walk.frameCount();
    r.bones.resize(2);
    const int sources[2] = {BoneIndex::Pelvis, BoneIndex::Chest};
    for (int b = 0; b < 2; ++b)
        for (int f = 0; f < frames; ++f)
            r.bones[static_cast<std::size_t>(b)].push_back(
                flattened(m_walk.pose(f, sources[b]), m_skeleton.bone(sources[b]).pivot).toAffine());

    for (const Vector3f& p : r.positions) r.boundingBox.grow(p);
    r.lightingBasis.resize(static_cast<unsigned>(r.positions.size()), 0);
    r.lightingCoordinates.resize(0, static_cast<unsigned>(frames));
    return r;
}
