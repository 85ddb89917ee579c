// The eigenskin and lighting arithmetic: dual-quaternion blending, the truncated SVD, and that
// the generated corrections reproduce the reference when the viewer's skinning applies them.
#include "AnimalBuilder.h"
#include "bake/DualQuaternionSkinning.h"
#include "bake/Eigenskin.h"
#include "bake/PrtLighting.h"
#include "bake/SkinReadBack.h"
#include "bake/TruncatedSvd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

TEST(DualQuaternionSkinning, BlendsStayRigidWhereMatricesShrink)
{
    const Quaternion quarterTurn = Quaternion::fromAxisAngle({0, 0, 1}, 0.5 * std::numbers::pi);
    const RigidTransform fixed{};
    const RigidTransform bent = RigidTransform::rotationAbout({1, 0, 0}, quarterTurn);
    const DualQuaternionSkinning dqs({fixed, bent});

    // One influence: exactly that bone.
    const BoneInfluence onlyBent[] = {{1, 1.0f}};
    const Vector3d p{2, 0.5, 0.25};
    const Vector3d expected = bent.apply(p);
    const Vector3d got = dqs.blend(onlyBent).apply(p);
    EXPECT_NEAR((got - expected).length(), 0.0, 1e-12);

    // Half and half across the joint: an eighth turn about the joint, so distances to the
    // joint are kept; the averaged matrices pull the same point towards the joint instead.
    const BoneInfluence half[] = {{0, 0.5f}, {1, 0.5f}};
    const Vector3d joint{1, 0, 0};
    const Vector3d q{2, 0, 0};
    const Vector3d blended = dqs.blend(half).apply(q);
    EXPECT_NEAR((blended - joint).length(), 1.0, 1e-12);
    EXPECT_NEAR(std::atan2(blended.y, blended.x - 1.0), 0.25 * std::numbers::pi, 1e-12);
    const Vector3d linear = (fixed.apply(q) + bent.apply(q)) * 0.5;
    EXPECT_NEAR((linear - joint).length(), std::sqrt(0.5), 1e-12);

    // Round trip through the float matrices of a skin file.
    const DualQuaternionSkinning fromFile = DualQuaternionSkinning::fromAffine({fixed.toAffine(), bent.toAffine()});
    EXPECT_NEAR((fromFile.blend(half).apply(q) - blended).length(), 0.0, 1e-6);
}

TEST(TruncatedSvd, KeepsTheLeadingTripletsWithFixedSigns)
{
    // A rank-3 matrix plus a small rank-1 tail.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const int rows = 40, columns = 9;
    std::vector<double> m(rows * columns, 0.0);
    const double weights[4] = {5.0, 3.0, 1.0, 0.01};
    for (double weight : weights) {
        std::vector<double> u(rows), v(columns);
        for (double& x : u) x = uniform(random);
        for (double& x : v) x = uniform(random);
        for (int c = 0; c < columns; ++c)
            for (int r = 0; r < rows; ++r) m[r + c * rows] += weight * u[r] * v[c];
    }
    const TruncatedSvd full(m, rows, columns, 20);
    ASSERT_EQ(full.rank(), columns);
    const TruncatedSvd svd(m, rows, columns, 3);
    ASSERT_EQ(svd.rank(), 3);
    EXPECT_GT(svd.singularValue(0), svd.singularValue(1));
    EXPECT_GT(svd.singularValue(1), svd.singularValue(2));
    double error = 0.0, total = 0.0;
    for (int c = 0; c < columns; ++c)
        for (int r = 0; r < rows; ++r) {
            double approximation = 0.0;
            for (int i = 0; i < 3; ++i) approximation += svd.singularValue(i) * svd.left(r, i) * svd.right(c, i);
            error += std::pow(approximation - m[r + c * rows], 2);
            total += std::pow(m[r + c * rows], 2);
        }
    // The best rank-3 approximation misses exactly the trailing singular values (Eckart-Young),
    // which here are only the small tail.
    double tail = 0.0;
    for (int i = 3; i < columns; ++i) tail += full.singularValue(i) * full.singularValue(i);
    EXPECT_NEAR(error, tail, 1e-9 * total);
    EXPECT_LT(std::sqrt(error / total), 1e-2);
    for (int i = 0; i < 3; ++i) {
        double largest = 0.0;
        for (int r = 0; r < rows; ++r)
            if (std::fabs(svd.left(r, i)) > std::fabs(largest)) largest = svd.left(r, i);
        EXPECT_GT(largest, 0.0);
    }
}

TEST(Eigenskin, FullRankCorrectionsReproduceTheReferenceThroughTheSkin)
{
    // With as many corrections as frames the residuals are kept whole, so the viewer's
    // evaluation (rest + corrections, then linear blending) must land on the reference.
    const QuadrupedModel model(BodyPlan::quadruped());
    const int frames = 8;
    const WalkCycle walk(model.plan(), model.skeleton(), frames);
    const AnimalMesh mesh = model.buildMesh(0.25);
    const Eigenskin eigenskin(mesh.positions, mesh.normals, mesh.influences, walk.bakePoses(), frames);

    SkinRecord record;
    for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
        record.positions.push_back(mesh.positions[v].toVector3f());
        record.normals.push_back(mesh.normals[v].toVector3f());
    }
    record.triangles = mesh.triangles;
    record.influences = mesh.influences;
    record.bones = walk.boneAnimations();
    record.vertexColors.assign(mesh.vertexCount(), {1, 1, 1});
    record.meanLighting.assign(mesh.vertexCount(), 1.0f);
    record.lightingBasis.resize(static_cast<unsigned>(mesh.vertexCount()), 0);
    record.lightingCoordinates.resize(0, frames);
    record.displacementBasis = eigenskin.displacementBasis();
    record.displacementCoordinates = eigenskin.displacementCoordinates();
    record.normalBasis = eigenskin.normalBasis();
    record.normalCoordinates = eigenskin.normalCoordinates();

    const auto uncorrected = readBackSkin(withCorrections(record, 0));
    const auto corrected = readBackSkin(record);
    const double before = positionRms(*uncorrected, eigenskin.referencePositions());
    const double after = positionRms(*corrected, eigenskin.referencePositions());
    EXPECT_GT(before, 3e-4);
    EXPECT_LT(after, 2e-6);
    // The corrected normals point where the reference's do.
    double worst = 1.0;
    for (int f = 0; f < frames; ++f)
        for (std::size_t v = 0; v < mesh.vertexCount(); ++v)
            worst = std::min(worst, Vector3d(corrected->frameNormals(unsigned(f))[v]).dot(eigenskin.referenceNormals(f)[v]));
    EXPECT_GT(worst, 0.99999);
}

TEST(PrtLighting, BallsShadeOnlyWhatTheyHide)
{
    const Vector3d p{0, 0, 0};
    const std::vector<Vector3d> none;
    const std::vector<double> noRadii;
    EXPECT_DOUBLE_EQ(PrtLighting::lightingAt(p, {0, 1, 0}, none, noRadii), PrtLighting::kSky);
    EXPECT_DOUBLE_EQ(PrtLighting::lightingAt(p, {0, -1, 0}, none, noRadii), PrtLighting::kGround);
    EXPECT_DOUBLE_EQ(PrtLighting::lightingAt(p, {1, 0, 0}, none, noRadii), 0.5 * (PrtLighting::kSky + PrtLighting::kGround));

    // A ball overhead takes (r/d)^2 of the cosine-weighted sky and gives body light back.
    const double lit = PrtLighting::lightingAt(p, {0, 1, 0}, {{0, 2, 0}}, {0.5});
    EXPECT_NEAR(lit, 1.0 - (1.0 - PrtLighting::kBody) * 0.0625, 1e-12);
    // Behind the surface it hides nothing; the closer it is, the darker.
    EXPECT_DOUBLE_EQ(PrtLighting::lightingAt(p, {0, 1, 0}, {{0, -2, 0}}, {0.5}), PrtLighting::kSky);
    EXPECT_LT(PrtLighting::lightingAt(p, {0, 1, 0}, {{0.3, 1, 0}}, {0.5}), lit);
    // Inside a ball nothing but bounce light arrives.
    EXPECT_DOUBLE_EQ(PrtLighting::lightingAt(p, {0, 1, 0}, {{0, 0.1, 0}}, {0.5}), PrtLighting::kBody);
}

TEST(PrtLighting, MoreBasisVectorsReconstructTheFramesBetter)
{
    const AnimalBuilder builder(BodyPlan::longneck(), 12, {0.25});
    const SkinRecord& record = builder.records().front();
    const auto skin = readBackSkin(record);
    const AnimalMesh mesh = builder.model().buildMesh(0.25);
    const FramePoses poses = builder.walk().bakePoses();
    const Eigenskin eigenskin(mesh.positions, mesh.normals, mesh.influences, poses, 1);
    const std::vector<ProxySphere> proxies = builder.model().proxySpheres();
    std::vector<double> radii;
    for (const ProxySphere& proxy : proxies) radii.push_back(proxy.radius);
    const PrtLighting exact(eigenskin.referencePositions(), eigenskin.referenceNormals(),
                            PrtLighting::posedCentres(proxies, poses), radii, 1);
    // The file's lighting, as the viewer reads it, against the unreduced values.
    std::vector<double> errors;
    for (unsigned k : AnimalBuilder::kLightingSteps)
        errors.push_back(lightingReconstructionRms(skin->meanLighting(), skin->lightingBasis(), skin->lightingCoordinates(),
                                                   std::min(k, skin->lightingBasisCount()), exact));
    EXPECT_GT(errors[0], 0.01);
    for (std::size_t i = 1; i < errors.size(); ++i) EXPECT_LT(errors[i], errors[i - 1]);
    EXPECT_LT(errors.back(), 0.25 * errors.front());
    // The printed figures are the same measurement.
    for (std::size_t i = 0; i < errors.size(); ++i) EXPECT_NEAR(builder.figures().front().lightingRms[i], errors[i], 1e-9);
}

} // namespace
