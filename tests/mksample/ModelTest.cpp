// The parametric animal, its walk and its shadow disc.
#include "AnimalBuilder.h"
#include "QuadrupedModel.h"
#include "bake/ShadowBlob.h"
#include "WalkCycle.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(QuadrupedModel, LevelsAreOutwardFacingMeshesWithSmoothBoundedWeights)
{
    for (const BodyPlan& plan : {BodyPlan::quadruped(), BodyPlan::longneck()}) {
        SCOPED_TRACE(plan.name);
        const QuadrupedModel model(plan);
        const std::pair<double, std::pair<unsigned, unsigned>> levels[] = {
            {1.0, {7000, 9000}}, {0.5, {1700, 2500}}, {0.25, {400, 800}}};
        for (const auto& [density, range] : levels) {
            const AnimalMesh mesh = model.buildMesh(density);
            EXPECT_GE(mesh.vertexCount(), range.first) << density;
            EXPECT_LE(mesh.vertexCount(), range.second) << density;
            ASSERT_EQ(mesh.normals.size(), mesh.vertexCount());
            ASSERT_EQ(mesh.influences.size(), mesh.vertexCount());

            // Closed parts wound counter-clockwise from outside enclose positive volume, and
            // the vertex normals agree with the faces around them.
            double volume = 0.0;
            std::size_t disagreeing = 0;
            for (const Triangle& t : mesh.triangles) {
                const Vector3d& a = mesh.positions[t.index[0]];
                const Vector3d& b = mesh.positions[t.index[1]];
                const Vector3d& c = mesh.positions[t.index[2]];
                volume += a.dot(b.cross(c)) / 6.0;
                const Vector3d face = (b - a).cross(c - a);
                for (std::uint32_t v : t.index)
                    if (face.dot(mesh.normals[v]) < 0.0) ++disagreeing;
            }
            EXPECT_GT(volume, 0.2);
            EXPECT_LT(disagreeing, mesh.triangles.size() / 100);

            for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
                const auto& influences = mesh.influences[v];
                ASSERT_GE(influences.size(), 1u);
                ASSERT_LE(influences.size(), 4u);
                float sum = 0.0f;
                for (const BoneInfluence& i : influences) {
                    ASSERT_GE(i.bone, 0);
                    ASSERT_LT(i.bone, BoneIndex::Count);
                    sum += i.weight;
                }
                ASSERT_NEAR(sum, 1.0f, 1e-6f);
                ASSERT_NEAR(mesh.normals[v].length(), 1.0, 1e-9);
            }
            // Weights change gradually along every edge: no bone's share jumps across a joint.
            if (density == 1.0) {
                auto weightOf = [&](std::uint32_t v, int bone) {
                    for (const BoneInfluence& i : mesh.influences[v])
                        if (i.bone == bone) return double(i.weight);
                    return 0.0;
                };
                double largestStep = 0.0;
                for (const Triangle& t : mesh.triangles)
                    for (int k = 0; k < 3; ++k)
                        for (int bone = 0; bone < BoneIndex::Count; ++bone)
                            largestStep = std::max(largestStep, std::fabs(weightOf(t.index[k], bone) - weightOf(t.index[(k + 1) % 3], bone)));
                EXPECT_LT(largestStep, 0.45);
            }
        }
    }
}

TEST(WalkCycle, PlantedHoovesStayOnTheGroundAndTheLoopCloses)
{
    for (const BodyPlan& plan : {BodyPlan::quadruped(), BodyPlan::longneck()}) {
        SCOPED_TRACE(plan.name);
        const Skeleton skeleton(plan);
        const int frames = 48;
        const WalkCycle walk(plan, skeleton, frames);
        for (int l = 0; l < 4; ++l) {
            const LegPlan& leg = plan.legs[std::size_t(l)];
            const Vector3d hoof{leg.x, 0.0, leg.z};
            int planted = 0;
            double lowest = 1e9;
            for (int f = 0; f < frames; ++f) {
                const Vector3d posed = walk.pose(f, BoneIndex::leg(l, 2)).apply(hoof);
                lowest = std::min(lowest, posed.y);
                const double local = double(f) / frames - leg.phase;
                if (local - std::floor(local) >= 1.0 - plan.dutyFactor + 1e-9) {
                    EXPECT_NEAR(posed.y, 0.0, 2e-3) << "leg " << l << " frame " << f;
                    ++planted;
                }
                EXPECT_GT(posed.y, -2e-3);
            }
            EXPECT_GE(planted, frames / 2);
            // While swinging the hoof leaves the ground.
            double highest = 0.0;
            for (int f = 0; f < frames; ++f) highest = std::max(highest, walk.pose(f, BoneIndex::leg(l, 2)).apply(hoof).y);
            EXPECT_GT(highest, 0.5 * plan.lift);
        }
        // From the last frame back to the first is a step like any other.
        auto distance = [&](int a, int b) {
            double largest = 0.0;
            for (int bone = 0; bone < skeleton.count(); ++bone) {
                const Vector3d p = skeleton.bone(bone).pivot + Vector3d{0.1, 0.1, 0.1};
                largest = std::max(largest, (walk.pose(a, bone).apply(p) - walk.pose(b, bone).apply(p)).length());
            }
            return largest;
        };
        double step = 0.0;
        for (int f = 1; f < frames; ++f) step = std::max(step, distance(f - 1, f));
        EXPECT_LE(distance(frames - 1, 0), 1.01 * step);
        EXPECT_GT(distance(0, frames / 2), 5.0 * step);
    }
}

TEST(ShadowBlob, FlattenedBonesKeepTheDiscFlatAndFollowTheBody)
{
    const RigidTransform pose = RigidTransform::translationBy({0.3, 0.2, -0.1}) *
                                RigidTransform{Quaternion::fromAxisAngle(Vector3d{0.3, 1.0, 0.4}.normalized(), 0.4), {}};
    const Vector3d pivot{0.5, 1.1, 0.0};
    const RigidTransform flat = ShadowBlob::flattened(pose, pivot);
    for (const Vector3d& p : {Vector3d{0, 0.01, 0}, Vector3d{1, 0.01, -0.5}, Vector3d{-0.7, 0.01, 0.3}})
        EXPECT_NEAR(flat.apply(p).y, 0.01, 1e-12);
    // The spot under the joint goes to the spot under the moved joint.
    const Vector3d moved = pose.apply(pivot);
    const Vector3d under = flat.apply({pivot.x, 0.0, pivot.z});
    EXPECT_NEAR(under.x, moved.x, 1e-12);
    EXPECT_NEAR(under.z, moved.z, 1e-12);
}

} // namespace
