// The eigenskin and lighting arithmetic: dual-quaternion blending, the truncated SVD, and that
// the generated corrections reproduce the reference when the viewer's skinning applies them.
#include "AnimalBuilder.h"
#include "bake/DualQuaternionSkinning.h"
#include "bake/Eigenskin.h"
#include "bake/PrtLighting.h"
#include "bake/SkinReadBack.h"
#include "bake/TruncatedSvd.h"

#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>

extern "C" {
// LAPACK's SVD, the independent reference for ours (Fortran calling convention; the trailing
// arguments are the hidden lengths of the two character arguments).
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a, const int* lda, double* s,
             double* u, const int* ldu, double* vt, const int* ldvt, double* work, const int* lwork, int* info,
             std::size_t jobuLength, std::size_t jobvtLength);
}

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

struct LapackSvd {
    std::vector<double> singular;
    std::vector<double> u;  // rows x min, column-major
    std::vector<double> vt; // min x columns, column-major
};

LapackSvd lapackSvd(std::vector<double> m, int rows, int columns)
{
    const int full = std::min(rows, columns);
    LapackSvd r;
    r.singular.resize(std::size_t(full));
    r.u.resize(std::size_t(rows) * std::size_t(full));
    r.vt.resize(std::size_t(full) * std::size_t(columns));
    const char job = 'S';
    int info = 0, lwork = -1;
    double query = 0.0;
    dgesvd_(&job, &job, &rows, &columns, m.data(), &rows, r.singular.data(), r.u.data(), &rows, r.vt.data(), &full,
            &query, &lwork, &info, 1, 1);
    lwork = int(query);
    std::vector<double> work(std::size_t(std::max(1, lwork)));
    dgesvd_(&job, &job, &rows, &columns, m.data(), &rows, r.singular.data(), r.u.data(), &rows, r.vt.data(), &full,
            work.data(), &lwork, &info, 1, 1);
    EXPECT_EQ(info, 0);
    return r;
}

// sum over i of weight_i x_i y_i^T with random x, y: singular values near the weights, of
// a rank equal to the number of nonzero weights.
std::vector<double> matrixWithWeights(std::mt19937& random, int rows, int columns, const std::vector<double>& weights)
{
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> m(std::size_t(rows) * std::size_t(columns), 0.0);
    for (double weight : weights) {
        std::vector<double> x(static_cast<std::size_t>(rows)), y(static_cast<std::size_t>(columns));
        for (double& e : x) e = uniform(random);
        for (double& e : y) e = uniform(random);
        for (int c = 0; c < columns; ++c)
            for (int r = 0; r < rows; ++r) m[std::size_t(r + c * rows)] += weight * x[std::size_t(r)] * y[std::size_t(c)];
    }
    return m;
}

// Our SVD, which must give the same bits on every processor, against LAPACK's, whose kernels
// vary by processor: the two agree to rounding, so the comparisons carry tolerances. Both are
// backward stable, so singular values agree to a few units of roundoff times the largest,
// ~1e-15 relative; a singular vector moves by roundoff over its gap to the neighbouring values,
// so vectors are compared only where that gap is at least 1e-4 of the largest value, to 1e-9.
// Orthonormality and the reconstruction are checked at 1e-12, far above the ~1e-15 reached and
// far below what a wrong rotation or reflector would leave.
TEST(TruncatedSvd, AgreesWithLapackAndIsOrthonormal)
{
    struct Case {
        int rows, columns;
        std::vector<double> weights;
    };
    const Case cases[] = {
        {40, 9, {5, 3, 1, 0.5, 0.2, 0.1, 0.05, 0.02, 0.01}},
        {9, 40, {5, 3, 1, 0.5, 0.2, 0.1, 0.05, 0.02, 0.01}}, // wider than tall
        {600, 48, std::vector<double>(48, 1.0)},             // a generic dense matrix
        {64, 64, {10, 1, 1e-3, 1e-6, 1e-9}},                  // square, rank 5
        {30, 12, {2, 1, 0.5, 0.25}},                         // rank 4: eight zero singular values
        {200, 1, {3}},
        {1, 7, {3}},
    };
    const std::uint32_t seed = 31;
    std::mt19937 random(seed);
    for (const Case& test : cases) {
        std::ostringstream label;
        label << test.rows << "x" << test.columns << " with " << test.weights.size() << " weights, seed " << seed;
        SCOPED_TRACE(label.str());
        const std::vector<double> m = matrixWithWeights(random, test.rows, test.columns, test.weights);
        const int full = std::min(test.rows, test.columns);
        const TruncatedSvd svd(m, test.rows, test.columns, full + 3);
        ASSERT_EQ(svd.rank(), full);
        const LapackSvd reference = lapackSvd(m, test.rows, test.columns);
        const double largest = reference.singular[0];

        for (int i = 0; i < full; ++i) {
            EXPECT_NEAR(svd.singularValue(i), reference.singular[std::size_t(i)], 1e-13 * largest) << "sigma " << i;
            if (i > 0) {
                EXPECT_GE(svd.singularValue(i - 1), svd.singularValue(i));
            }
        }
        int comparedVectors = 0;
        for (int i = 0; i < full; ++i) {
            double gap = std::numeric_limits<double>::infinity();
            if (i > 0) gap = std::min(gap, reference.singular[std::size_t(i - 1)] - reference.singular[std::size_t(i)]);
            if (i + 1 < full) gap = std::min(gap, reference.singular[std::size_t(i)] - reference.singular[std::size_t(i + 1)]);
            if (gap < 1e-4 * largest) continue;
            ++comparedVectors;
            // LAPACK's signs are its own; align them by the inner product.
            double along = 0.0;
            for (int r = 0; r < test.rows; ++r) along += svd.left(r, i) * reference.u[std::size_t(r + i * test.rows)];
            const double sign = along < 0.0 ? -1.0 : 1.0;
            for (int r = 0; r < test.rows; ++r)
                ASSERT_NEAR(svd.left(r, i), sign * reference.u[std::size_t(r + i * test.rows)], 1e-9) << "u " << i << " row " << r;
            for (int c = 0; c < test.columns; ++c)
                ASSERT_NEAR(svd.right(c, i), sign * reference.vt[std::size_t(i + c * full)], 1e-9) << "v " << i << " row " << c;
        }
        EXPECT_GT(comparedVectors, 0);

        // Orthonormal on both sides, also where singular values are zero, and u_i's largest
        // element positive.
        for (int i = 0; i < full; ++i) {
            for (int j = 0; j <= i; ++j) {
                double uu = 0.0, vv = 0.0;
                for (int r = 0; r < test.rows; ++r) uu += svd.left(r, i) * svd.left(r, j);
                for (int c = 0; c < test.columns; ++c) vv += svd.right(c, i) * svd.right(c, j);
                EXPECT_NEAR(uu, i == j ? 1.0 : 0.0, 1e-12) << "u " << i << " . u " << j;
                EXPECT_NEAR(vv, i == j ? 1.0 : 0.0, 1e-12) << "v " << i << " . v " << j;
            }
            int top = 0;
            for (int r = 1; r < test.rows; ++r)
                if (std::fabs(svd.left(r, i)) > std::fabs(svd.left(top, i))) top = r;
            EXPECT_GT(svd.left(top, i), 0.0) << "u " << i;
        }
        double worst = 0.0;
        for (int c = 0; c < test.columns; ++c)
            for (int r = 0; r < test.rows; ++r) {
                double sum = 0.0;
                for (int i = 0; i < full; ++i) sum += svd.singularValue(i) * svd.left(r, i) * svd.right(c, i);
                worst = std::max(worst, std::fabs(sum - m[std::size_t(r + c * test.rows)]));
            }
        EXPECT_LT(worst, 1e-12 * largest);

        // Truncation computes the same factorisation and keeps its leading triplets: the same
        // code path, so the same bits.
        const int k = std::max(1, full / 2);
        const TruncatedSvd truncated(m, test.rows, test.columns, k);
        ASSERT_EQ(truncated.rank(), k);
        for (int i = 0; i < k; ++i) {
            EXPECT_EQ(truncated.singularValue(i), svd.singularValue(i));
            for (int r = 0; r < test.rows; ++r) ASSERT_EQ(truncated.left(r, i), svd.left(r, i));
            for (int c = 0; c < test.columns; ++c) ASSERT_EQ(truncated.right(c, i), svd.right(c, i));
        }
    }
}

TEST(TruncatedSvd, RefusesInfinitiesAndNaNs)
{
    std::vector<double> m(12, 1.0);
    m[5] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(TruncatedSvd(m, 4, 3, 2), LinearAlgebraException);
    m[5] = -std::numeric_limits<double>::infinity();
    EXPECT_THROW(TruncatedSvd(m, 4, 3, 2), LinearAlgebraException);
}

// Columns so small that their squared lengths underflow (an imported model's residuals had
// them) once kept the rotations going until the sweep limit threw.
TEST(TruncatedSvd, SettlesWithColumnsWhoseSquaresUnderflow)
{
    const int rows = 6, columns = 4;
    std::vector<double> m(rows * columns, 0.0);
    for (int r = 0; r < rows; ++r) {
        m[r] = 1e-6 * (r + 1);                 // a column of ordinary size
        m[r + rows] = 3e-300 * (r % 2 ? 1 : -1); // squares far below the smallest double
        m[r + 2 * rows] = 1e-320 * r;          // subnormal numbers
        m[r + 3 * rows] = 2e-7 * (rows - r);
    }
    const TruncatedSvd svd(m, rows, columns, 2);
    // The two ordinary columns span the leading pair; the rest is negligible next to them.
    double frobenius = 0.0;
    for (int r = 0; r < rows; ++r) frobenius += m[r] * m[r] + m[r + 3 * rows] * m[r + 3 * rows];
    EXPECT_NEAR(svd.singularValue(0) * svd.singularValue(0) + svd.singularValue(1) * svd.singularValue(1), frobenius,
                1e-12 * frobenius);
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
