// The pieces of the import on their own: options, file names, levels of detail, poses that are
// not rigid, proxies and the frame rule.
#include "bake/BonePose.h"
#include "bake/ImportOptions.h"
#include "bake/ImportedModel.h"
#include "bake/LevelBuilder.h"
#include "bake/ModelFiles.h"
#include "bake/ParallelFor.h"
#include "bake/ProxyFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <stdexcept>

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

TEST(ImportOptions, ParseWhatArgumentsWriteAndRejectBadValues)
{
    ImportOptions options;
    options.levels = 2;
    options.corrections = 0;
    options.prt = 4;
    options.shadow = false;
    options.fps = 12.5;
    options.animation = "Run cycle";
    options.up = AxisDirection{2, 1};
    options.forward = AxisDirection{1, -1};
    options.scale = 0.01;
    options.threads = 2;
    const std::vector<std::string> args = options.arguments();
    ImportOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) ASSERT_TRUE(parseImportOption(args, i, parsed)) << args[i];
    EXPECT_EQ(parsed.arguments(), args);
    EXPECT_EQ(parsed.levels, 2);
    EXPECT_EQ(parsed.fps, 12.5);
    EXPECT_EQ(parsed.animation, "Run cycle");
    EXPECT_EQ(parsed.up->text(), "+z");
    EXPECT_EQ(parsed.forward->text(), "-y");
    EXPECT_EQ(*parsed.scale, 0.01);
    EXPECT_EQ(parsed.threads, 2u);
    EXPECT_TRUE(ImportOptions{}.arguments().empty());

    for (const std::string bad : {"--levels 0", "--levels 9", "--levels 2x", "--corrections -1", "--prt 65", "--fps 0",
                                  "--fps nan", "--scale -2", "--up w", "--forward +", "--up", "--animation"}) {
        SCOPED_TRACE(bad);
        const std::vector<std::string> words = split(bad);
        std::size_t i = 0;
        ImportOptions ignored;
        EXPECT_THROW(parseImportOption(words, i, ignored), std::invalid_argument);
    }
    std::size_t i = 0;
    ImportOptions ignored;
    EXPECT_FALSE(parseImportOption({"model.fbx"}, i, ignored));
    for (const auto& [text, axis, sign] : {std::tuple{"x", 0, 1}, {"-Y", 1, -1}, {"+z", 2, 1}})
        EXPECT_EQ(AxisDirection::parse(text), (AxisDirection{axis, sign}));
}

TEST(ModelFiles, AssimpsExtensionsAndObjAreModelsTheViewersOwnFilesAreNot)
{
    const std::vector<std::string>& extensions = modelExtensions();
    for (const char* e : {".gltf", ".glb", ".fbx", ".dae", ".x", ".smd", ".md5mesh", ".mdl", ".b3d", ".ms3d", ".3ds", ".ply",
                          ".stl", ".obj"})
        EXPECT_NE(std::find(extensions.begin(), extensions.end(), e), extensions.end()) << e;
    for (const char* path : {"a.fbx", "dir/A.FBX", "x.Gltf", "m.mesh.xml", "/p.q/r.obj", "w.md5mesh"})
        EXPECT_TRUE(isModelFile(path)) << path;
    for (const char* path : {"herd.herd", "fly.keys", "skin.txt", "quad.bin", "noextension", "dir.fbx/file", ".fbx"})
        EXPECT_FALSE(isModelFile(path)) << path;
    EXPECT_EQ(modelFilePattern().rfind("*.", 0), 0u);
    EXPECT_NE(modelFilePattern().find(";*.fbx;"), std::string::npos);
}

TEST(SampledFrames, RoundTheDurationTimesTheRateAndNeverGiveNone)
{
    EXPECT_EQ(sampledFrameCount(1.0, 30), 30u);
    EXPECT_EQ(sampledFrameCount(0.8333333, 30), 25u);
    EXPECT_EQ(sampledFrameCount(0.5, 25), 13u);
    EXPECT_EQ(sampledFrameCount(0.49, 25), 12u);
    EXPECT_EQ(sampledFrameCount(0.0, 30), 1u);
    EXPECT_EQ(sampledFrameCount(0.01, 30), 1u);
}

// A wavy grid of n x n vertices, two triangles per cell.
void grid(int n, std::vector<Vector3d>& positions, std::vector<Triangle>& triangles)
{
    positions.clear();
    triangles.clear();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            positions.push_back({double(i), 0.3 * std::sin(0.2 * i) * std::cos(0.3 * j), double(j)});
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const std::uint32_t a = i * n + j, b = a + 1, c = a + n, d = c + 1;
            triangles.push_back({{a, b, c}});
            triangles.push_back({{b, d, c}});
        }
}

TEST(LevelBuilder, LevelsAreSubsetsWithAQuarterOfTheTrianglesAndTheFullOneFits)
{
    std::vector<Vector3d> positions;
    std::vector<Triangle> triangles;
    grid(60, positions, triangles);
    const LevelSet set = buildLevels(positions, triangles, 3);
    ASSERT_EQ(set.levels.size(), 3u);
    EXPECT_FALSE(set.simplifiedToFit);
    EXPECT_EQ(set.levels[0].triangles.size(), triangles.size());
    for (std::size_t l = 0; l < set.levels.size(); ++l) {
        const LevelMesh& level = set.levels[l];
        EXPECT_TRUE(std::is_sorted(level.vertices.begin(), level.vertices.end()));
        std::set<std::uint32_t> used;
        for (const Triangle& t : level.triangles)
            for (std::uint32_t i : t.index) {
                ASSERT_LT(i, level.vertices.size());
                used.insert(i);
            }
        EXPECT_EQ(used.size(), level.vertices.size()) << "every kept vertex is used";
        if (l > 0) {
            const double ratio = double(level.triangles.size()) / double(set.levels[l - 1].triangles.size());
            EXPECT_GT(ratio, 0.15);
            EXPECT_LT(ratio, 0.375);
        }
    }
    // The same input, the same levels.
    const LevelSet again = buildLevels(positions, triangles, 3);
    for (std::size_t l = 0; l < set.levels.size(); ++l) {
        EXPECT_EQ(again.levels[l].vertices, set.levels[l].vertices);
        EXPECT_EQ(again.levels[l].triangles, set.levels[l].triangles);
    }

    // Two parts meeting along x = 30 (as two bones would): the coarser level keeps every
    // vertex of that seam, so the mesh can still bend there, and still has about a quarter.
    std::vector<std::int32_t> parts;
    for (const Vector3d& p : positions) parts.push_back(p.x < 30.0 ? 0 : 1);
    const LevelSet jointed = buildLevels(positions, triangles, 2, parts);
    ASSERT_EQ(jointed.levels.size(), 2u);
    EXPECT_FALSE(jointed.sloppy[1]);
    std::size_t seam = 0;
    for (std::uint32_t v : jointed.levels[1].vertices) seam += positions[v].x == 30.0;
    EXPECT_EQ(seam, 60u);
    EXPECT_LT(double(jointed.levels[1].triangles.size()) / double(triangles.size()), 0.375);
    std::size_t seamWithoutParts = 0;
    for (std::uint32_t v : set.levels[1].vertices) seamWithoutParts += positions[v].x == 30.0;
    EXPECT_LT(seamWithoutParts, 60u);

    // Too many vertices for 16-bit indices: the full level is simplified until it fits.
    const LevelSet fitted = buildLevels(positions, triangles, 2, {}, 1000);
    EXPECT_TRUE(fitted.simplifiedToFit);
    EXPECT_EQ(fitted.originalVertices, positions.size());
    EXPECT_LE(fitted.levels[0].vertices.size(), 1000u);
    EXPECT_GT(fitted.levels[0].vertices.size(), 500u);
}

TEST(BonePose, StretchedPosesSplitIntoARotationAndAStretch)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int trial = 0; trial < 50; ++trial) {
        // A random rotation (normalised quaternion) times a random symmetric stretch.
        Quaternion q{uniform(random), uniform(random), uniform(random), uniform(random)};
        q = q.normalized();
        const Matrix3d rotation = rotationMatrix(q);
        const double s = 0.5 + 0.5 * (uniform(random) + 1.0);
        Matrix3d stretch = {{{s, 0.1 * uniform(random), 0}, {0, 1.0, 0}, {0, 0, 2.0 - s}}};
        stretch[1][0] = stretch[0][1];
        const Matrix3d linear = multiply(rotation, stretch);
        const BonePose pose = BonePose::fromAffine(linear, {1, 2, 3});
        const Matrix3d found = rotationMatrix(pose.rigid.rotation);
        const Matrix3d back = multiply(found, pose.stretch);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(found[r][c], rotation[r][c], 1e-9);
                EXPECT_NEAR(back[r][c], linear[r][c], 1e-9);
            }
        EXPECT_TRUE(pose.stretched);
    }
    // A rigid pose keeps its rotation exactly and has no stretch.
    const BonePose rigid = BonePose::fromRigid({Quaternion::fromAxisAngle({0, 1, 0}, 0.3), {1, 0, 0}});
    EXPECT_FALSE(rigid.stretched);
    EXPECT_NEAR(rigid.apply({1, 0, 0}).x, 1.0 + std::cos(0.3), 1e-12);
}

TEST(ProxyFit, BallsSitInsideTheirPartsAndSwallowNoVertex)
{
    // Two capsules of 400 vertices each side by side, one per bone.
    std::vector<Vector3d> positions;
    std::vector<std::vector<BoneInfluence>> influences;
    for (int bone = 0; bone < 2; ++bone)
        for (int ring = 0; ring < 20; ++ring)
            for (int k = 0; k < 20; ++k) {
                const double a = 2.0 * std::numbers::pi * k / 20;
                positions.push_back({3.0 * bone + 0.5 * std::cos(a), 0.1 * ring, 0.5 * std::sin(a)});
                influences.push_back({{bone, 1.0f}});
            }
    const std::vector<ProxySphere> spheres = fitProxySpheres(positions, influences, 3);
    ASSERT_GE(spheres.size(), 2u);
    for (const ProxySphere& sphere : spheres) {
        ASSERT_EQ(sphere.influences.size(), 1u);
        const int bone = sphere.influences.front().bone;
        EXPECT_NEAR(sphere.centre.x, 3.0 * bone, 1e-6);
        EXPECT_NEAR(sphere.centre.z, 0.0, 1e-6);
        EXPECT_GT(sphere.radius, 0.3);
        for (const Vector3d& p : positions) EXPECT_GT((p - sphere.centre).length(), sphere.radius);
    }
}

TEST(ParallelFor, EveryItemRunsOnceAndTheFirstFailureComesBack)
{
    for (unsigned threads : {1u, 2u, 7u}) {
        std::vector<int> runs(1000, 0);
        parallelFor(runs.size(), [&](std::size_t i) { ++runs[i]; }, threads);
        EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), 1000);
        EXPECT_THROW(parallelFor(100, [](std::size_t i) { if (i == 42) throw std::runtime_error("item 42"); }, threads),
                     std::runtime_error);
    }
}

} // namespace
