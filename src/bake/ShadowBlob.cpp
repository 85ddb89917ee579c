#include "bake/ShadowBlob.h"

#include "foundation/PortableMath.h"

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

ShadowBlob::ShadowBlob(std::string name, double centreX, double radiusX, double radiusZ, std::vector<ShadowBone> bones,
                       Angles angles)
    : m_name(std::move(name)), m_centreX(centreX), m_radiusX(radiusX), m_radiusZ(radiusZ), m_bones(std::move(bones)),
      m_angles(angles)
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

RigidTransform ShadowBlob::flattenedExactly(const RigidTransform& pose, const Vector3d& pivot)
{
    const Vector3d moved = pose.apply(pivot);
    const Vector3d forward = pose.applyToDirection({1, 0, 0});
    // cos and sin of the yaw from the forward direction, then of half of it.
    const double length = std::sqrt(forward.x * forward.x + forward.z * forward.z);
    const double c = length > 0.0 ? forward.x / length : 1.0;
    const double s = length > 0.0 ? -forward.z / length : 0.0;
    const double halfCos = std::sqrt(std::max(0.0, 0.5 * (1.0 + c)));
    const double halfSin = (s < 0.0 ? -1.0 : 1.0) * std::sqrt(std::max(0.0, 0.5 * (1.0 - c)));
    const Quaternion turn{halfCos, 0.0, halfSin, 0.0};
    const Vector3d from{pivot.x, 0.0, pivot.z};
    const Vector3d to{moved.x, 0.0, moved.z};
    return {turn, to - turn.rotate(from)};
}

SkinRecord ShadowBlob::record() const
{
    SkinRecord r;
    r.name = m_name;
    const double centreX = m_centreX;
    const double radiusX = m_radiusX;
    const double radiusZ = m_radiusZ;
    const bool blended = m_bones.size() > 1;
    const double pelvisX = m_bones.front().pivot.x;
    const double chestX = blended ? m_bones[1].pivot.x : pelvisX;

    // The rim's directions: portable cosines and sines (the samples' rim), or steps of 15
    // degrees from the half-angle values of 30 degrees.
    std::vector<double> cosines(kSegments), sines(kSegments);
    if (m_angles == Angles::Library) {
        for (int k = 0; k < kSegments; ++k) {
            cosines[k] = portable::cos(2.0 * std::numbers::pi * k / kSegments);
            sines[k] = portable::sin(2.0 * std::numbers::pi * k / kSegments);
        }
    } else {
        static_assert(kSegments == 24, "the steps are 15 degrees");
        const double cos30 = 0.5 * std::sqrt(3.0);
        const double stepCos = std::sqrt(0.5 * (1.0 + cos30)), stepSin = std::sqrt(0.5 * (1.0 - cos30));
        double c = 1.0, s = 0.0;
        for (int k = 0; k < kSegments; ++k) {
            cosines[k] = c;
            sines[k] = s;
            const double next = c * stepCos - s * stepSin;
            s = s * stepCos + c * stepSin;
            c = next;
        }
    }
    auto addVertex = [&](double ring, int k) {
        // Rings run from the rim (ring = 1) inwards, so vertex 0 is on the rim.
        const double c = cosines[static_cast<std::size_t>(k)], s = sines[static_cast<std::size_t>(k)];
        const Vector3d p{centreX + radiusX * ring * c, kHeight, -radiusZ * ring * s};
        r.positions.push_back(p.toVector3f());
        r.normals.push_back({0, 1, 0});
        r.textureCoordinates.push_back({float(0.5 + 0.5 * ring * c), float(0.5 + 0.5 * ring * s)});
        r.vertexColors.push_back(kGroundColour);
        r.meanLighting.push_back(float(kCentreLighting + (1.0 - kCentreLighting) * smoothStep(ring)));
        const float chest = blended ? float(smoothStep((p.x - pelvisX) / (chestX - pelvisX))) : 0.0f;
        std::vector<BoneInfluence> influences;
        if (chest < 1.0f) influences.push_back({0, 1.0f - chest});
        if (chest > 0.0f) influences.push_back({1, chest});
        r.influences.push_back(influences);
    };
    for (int ring = 0; ring < kRings; ++ring)
        for (int k = 0; k < kSegments; ++k)
            addVertex(1.0 - double(ring) / kRings, k);
    addVertex(0.0, 0);
    const std::uint32_t centre = static_cast<std::uint32_t>(r.positions.size() - 1);

    // Counter-clockwise seen from above: the angle turns from +x towards -z.
    auto at = [](int ring, int k) { return static_cast<std::uint32_t>(ring * kSegments + (k % kSegments)); };
    for (int ring = 0; ring + 1 < kRings; ++ring)
        for (int k = 0; k < kSegments; ++k) {
            r.triangles.push_back(Triangle{{at(ring, k), at(ring, k + 1), at(ring + 1, k + 1)}});
            r.triangles.push_back(Triangle{{at(ring, k), at(ring + 1, k + 1), at(ring + 1, k)}});
        }
    for (int k = 0; k < kSegments; ++k) r.triangles.push_back(Triangle{{at(kRings - 1, k), at(kRings - 1, k + 1), centre}});

    const std::size_t frames = m_bones.front().poses.size();
    const std::size_t boneCount = blended ? 2 : 1;
    r.bones.resize(boneCount);
    for (std::size_t b = 0; b < boneCount; ++b)
        for (std::size_t f = 0; f < frames; ++f)
            r.bones[b].push_back((m_angles == Angles::Library ? flattened(m_bones[b].poses[f], m_bones[b].pivot)
                                                              : flattenedExactly(m_bones[b].poses[f], m_bones[b].pivot))
                                     .toAffine());

    for (const Vector3f& p : r.positions) r.boundingBox.grow(p);
    r.lightingBasis.resize(static_cast<unsigned>(r.positions.size()), 0);
    r.lightingCoordinates.resize(0, static_cast<unsigned>(frames));
    return r;
}
