// The import of glTF files the tests write themselves: a skinned, animated cylinder whose every
// frame is known, the frame-count rule, placement options and the OBJ path.
#include "BentCylinder.h"
#include "GltfWriter.h"
#include "TempDirectory.h"

#include "bake/ModelImport.h"
#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace {

ImportOptions quick()
{
    ImportOptions options;
    options.corrections = 0;
    options.prt = 0;
    options.levels = 1;
    options.shadow = false;
    return options;
}

// Which vertex of the written model each vertex of the skin is, found by rest position after
// the placement's offset (the cylinder's positions are all different).
std::vector<std::size_t> matchVertices(const Skin& skin, const GltfModel& model, const std::array<double, 3>& offset)
{
    std::vector<std::size_t> match(skin.vertexCount());
    for (unsigned v = 0; v < skin.vertexCount(); ++v) {
        double best = 1e30;
        for (std::size_t i = 0; i < model.positions.size(); ++i) {
            double d = 0;
            for (int c = 0; c < 3; ++c) d += std::pow(skin.restPositions()[v][c] - (model.positions[i][c] + offset[c]), 2);
            if (d < best) {
                best = d;
                match[v] = i;
            }
        }
        EXPECT_LT(best, 1e-10) << "vertex " << v << " is no vertex of the model";
    }
    return match;
}

// Where the import should move the model: the first frame's lowest point onto y = 0 and the
// middle of its footprint onto x = z = 0.
std::array<double, 3> expectedOffset(const BentCylinder& cylinder)
{
    std::array<double, 3> low{1e30, 1e30, 1e30}, high{-1e30, -1e30, -1e30};
    for (std::size_t v = 0; v < cylinder.gltf().positions.size(); ++v) {
        const std::array<double, 3> p = cylinder.linearBlend(v, 0.0);
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
    }
    return {-0.5 * (low[0] + high[0]), -low[1], -0.5 * (low[2] + high[2])};
}

TEST(GltfImport, SkinnedFramesEqualTheIndependentlySkinnedCylinder)
{
    const TempDirectory directory("gltf-cylinder");
    const BentCylinder cylinder;
    const std::string path = directory.file("cylinder.gltf");
    writeGltf(path, cylinder.gltf());
    const std::array<double, 3> offset = expectedOffset(cylinder);

    for (double fps : {30.0, 24.0}) {
        SCOPED_TRACE("fps " + std::to_string(fps));
        ImportOptions options = quick();
        options.fps = fps;
        const ImportResult result = importModel(path, options);
        const auto skins = importedSkins(result, path);
        ASSERT_EQ(skins.size(), 1u);
        const Skin& skin = *skins.front();
        EXPECT_EQ(skin.boneCount(), 3u);
        EXPECT_EQ(skin.vertexCount(), unsigned(BentCylinder::kRings * BentCylinder::kSegments));
        EXPECT_EQ(skin.triangleCount(), unsigned(2 * (BentCylinder::kRings - 1) * BentCylinder::kSegments));
        ASSERT_EQ(skin.frameCount(), unsigned(std::lround(BentCylinder::kDuration * fps)));
        const std::vector<std::size_t> match = matchVertices(skin, cylinder.gltf(), offset);

        double worst = 0.0;
        for (unsigned f = 0; f < skin.frameCount(); ++f) {
            const std::vector<Vector3f>& positions = skin.framePositions(f);
            for (unsigned v = 0; v < skin.vertexCount(); ++v) {
                const std::array<double, 3> expected = cylinder.linearBlend(match[v], f / fps);
                for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(positions[v][c] - (expected[c] + offset[c])));
            }
        }
        EXPECT_LT(worst, 2e-5);
        // The last frame is one step short of the end of the loop, not its first pose again.
        const std::array<double, 3> last = cylinder.linearBlend(match[0], (skin.frameCount() - 1) / fps);
        EXPECT_NEAR(skin.framePositions(skin.frameCount() - 1)[0].z, last[2] + offset[2], 2e-5);
        EXPECT_GT(std::fabs(last[2] - cylinder.linearBlend(match[0], 0.0)[2]), 0.4);
    }
}

TEST(GltfImport, FullRankCorrectionsBringTheSkinOntoDualQuaternionSkinning)
{
    const TempDirectory directory("gltf-corrections");
    const BentCylinder cylinder;
    const std::string path = directory.file("cylinder.gltf");
    writeGltf(path, cylinder.gltf());
    const std::array<double, 3> offset = expectedOffset(cylinder);

    ImportOptions options = quick();
    options.fps = 10.0;
    options.corrections = 10; // one per frame: nothing is lost
    const ImportResult result = importModel(path, options);
    const auto skins = importedSkins(result, path);
    const Skin& skin = *skins.front();
    ASSERT_EQ(skin.frameCount(), 10u);
    EXPECT_GT(skin.displacementBasisCount(), 0u);
    const std::vector<std::size_t> match = matchVertices(skin, cylinder.gltf(), offset);
    double linearError = 0.0, correctedError = 0.0;
    for (unsigned f = 0; f < skin.frameCount(); ++f)
        for (unsigned v = 0; v < skin.vertexCount(); ++v) {
            const std::array<double, 3> reference = cylinder.dualQuaternion(match[v], f / 10.0);
            const std::array<double, 3> linear = cylinder.linearBlend(match[v], f / 10.0);
            for (int c = 0; c < 3; ++c) {
                linearError = std::max(linearError, std::fabs(linear[c] - reference[c]));
                correctedError = std::max(correctedError, std::fabs(skin.framePositions(f)[v][c] - (reference[c] + offset[c])));
            }
        }
    // Bending 60 degrees pulls the blended ring in by centimetres; the corrections undo it.
    EXPECT_GT(linearError, 0.01);
    EXPECT_LT(correctedError, 1e-4);
    EXPECT_LT(result.report.levels.front().positionRmsAfter, 1e-5);
    EXPECT_GT(result.report.levels.front().positionRmsBefore, 1e-3);
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(GltfImport, TheSameModelGivesTheSameBytesOnAnyNumberOfThreads)
{
    const TempDirectory directory("gltf-threads");
    const BentCylinder cylinder;
    const std::string path = directory.file("cylinder.gltf");
    writeGltf(path, cylinder.gltf());
    std::vector<std::string> files;
    for (unsigned threads : {1u, 3u, 0u, 1u}) {
        ImportOptions options; // every baker on: three levels, corrections, lighting, shadow
        options.threads = threads;
        ImportResult result = importModel(path, options);
        ASSERT_EQ(result.records.size(), 3u);
        EXPECT_GT(result.records.front().lightingBasis.columns(), 0u);
        files.push_back(directory.file("out" + std::to_string(files.size()) + ".bin"));
        writeImport(result, files.back());
    }
    const std::string first = fileBytes(files.front());
    EXPECT_GT(first.size(), 100000u);
    for (const std::string& file : files) EXPECT_TRUE(fileBytes(file) == first) << file;
}

// A one-bone clip that slides the root along +x at one unit per second for `duration`
// seconds (no keys after the first when the duration is 0).
GltfModel slidingTriangle(double duration)
{
    GltfModel model;
    model.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    model.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    model.indices = {0, 1, 2};
    model.joints.assign(3, {0, 0, 0, 0});
    model.weights.assign(3, {1, 0, 0, 0});
    model.skeleton = {{"root", -1, {0, 0, 0}, {0, 0, 0, 1}}};
    model.inverseBindMatrices = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    GltfModel::Track track{0, false, {0.0f}, {{0, 0, 0, 0}}};
    if (duration > 0) {
        track.times.push_back(float(duration));
        track.values.push_back({float(duration), 0, 0, 0});
    }
    model.tracks = {track};
    return model;
}

TEST(GltfImport, FrameCountIsTheRoundedDurationTimesTheRateAndFramesSampleItsStart)
{
    const TempDirectory directory("gltf-frames");
    for (double duration : {1.0, 0.5, 0.73, 2.0 / 3.0, 0.01, 0.0}) {
        const std::string path = directory.file("slide.gltf");
        writeGltf(path, slidingTriangle(duration));
        for (double fps : {30.0, 24.0, 25.0, 12.5}) {
            SCOPED_TRACE("duration " + std::to_string(duration) + " s at " + std::to_string(fps) + " fps");
            ImportOptions options = quick();
            options.fps = fps;
            const auto skins = importedSkins(importModel(path, options), path);
            const Skin& skin = *skins.front();
            // 0.5 s and 1 s at 25 and 12.5 fps fall on a half frame: rounded up.
            const double exact = float(duration) * fps;
            const unsigned expected = std::max(1u, unsigned(std::floor(exact + 0.5)));
            ASSERT_EQ(skin.frameCount(), expected);
            // Frame i shows t = i / fps: the root has slid t units (the model is centred on
            // its first frame, which does not move the bone's own translation).
            for (unsigned f = 0; f < skin.frameCount(); ++f)
                EXPECT_NEAR(skin.boneAnimation(0)[f].translation.x, std::min(double(float(duration)), f / fps), 1e-6);
        }
    }
}

TEST(GltfImport, UpForwardAndScaleTurnTheModelAsAsked)
{
    const TempDirectory directory("gltf-placement");
    const BentCylinder cylinder;
    const std::string path = directory.file("cylinder.gltf");
    writeGltf(path, cylinder.gltf());
    struct Case {
        std::string up, forward;
        double scale;
        // Where the cylinder's axis (file +y) and the root's slide (file +z) end up.
        std::array<double, 3> axis, slide;
    };
    // Turning takes file coordinates p to (p . (up x forward), p . up, p . forward) times the scale.
    for (const Case& c : {Case{"+y", "+z", 1.0, {0, 1, 0}, {0, 0, 1}}, Case{"+z", "-y", 2.0, {0, 0, -2}, {0, 2, 0}},
                          Case{"+x", "+y", 0.5, {0, 0, 0.5}, {0.5, 0, 0}}, Case{"-y", "+x", 1.0, {0, -1, 0}, {1, 0, 0}}}) {
        SCOPED_TRACE("up " + c.up + " forward " + c.forward);
        ImportOptions options = quick();
        options.fps = 10.0;
        options.up = AxisDirection::parse(c.up);
        options.forward = AxisDirection::parse(c.forward);
        options.scale = c.scale;
        const ImportResult result = importModel(path, options);
        const auto skins = importedSkins(result, path);
        const Skin& skin = *skins.front();
        // The first frame stands on y = 0 with its footprint centred.
        const BoundingBox box = skin.frameBoundingBoxes().front();
        EXPECT_NEAR(box.minimum.y, 0.0, 1e-5);
        EXPECT_NEAR(box.minimum.x + box.maximum.x, 0.0, 1e-5);
        EXPECT_NEAR(box.minimum.z + box.maximum.z, 0.0, 1e-5);
        // The rest pose is 3 long along the turned axis and 0.5 across, times the scale.
        BoundingBox rest;
        for (const Vector3f& p : skin.restPositions()) rest.grow(p);
        for (int k = 0; k < 3; ++k) {
            const double expected = c.axis[k] != 0.0 ? 3.0 * std::fabs(c.axis[k]) : 0.5 * c.scale;
            EXPECT_NEAR(rest.maximum[k] - rest.minimum[k], expected, 1e-5);
        }
        // The root bone's slide over the clip's frames (0.45 units of 0.5 at 10 fps).
        const Vector3f slide = skin.boneAnimation(0).back().translation - skin.boneAnimation(0).front().translation;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(slide[k], 0.45 * c.slide[k], 1e-5);
    }
    ImportOptions same = quick();
    same.up = AxisDirection{2, 1};
    same.forward = AxisDirection{2, -1};
    EXPECT_THROW(importModel(path, same), std::invalid_argument);
}

TEST(ObjImport, CornersBecomeVerticesOnOneStillBoneWithTheMaterialsTexture)
{
    const TempDirectory directory("obj-import");
    {
        std::ofstream mtl(directory.file("box.mtl"));
        mtl << "newmtl skin\nmap_Kd skin.png\nnewmtl other\nKd 1 0 0\n";
        std::ofstream png(directory.file("skin.png"));
        png << "not read by the import";
        std::ofstream obj(directory.file("box.obj"));
        obj << "mtllib box.mtl\n"
               "v 0 0 0\nv 2 0 0\nv 2 0 2\nv 0 0 2\nv 1 3 1\n"
               "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
               "g base\nusemtl other\nf 1/1 4/4 3/3 2/2\n"
               "g sides\nusemtl skin\nf 1/1 2/2 5/5\nf 2/2 3/3 5/5\nf 3/3 4/4 5/5\nf 4/4 1/1 5/5\n"
               "f 1/2 2/3 5/5\n";
    }
    ImportOptions options;
    options.levels = 1;
    const std::string path = directory.file("box.obj");
    ImportResult result = importModel(path, options);
    const std::string texture = writeImport(result, directory.file("box.bin"));
    EXPECT_EQ(texture, "skin.png");
    const auto skins = importedSkins(result, path);
    const Skin& skin = *skins.front();
    EXPECT_EQ(skin.boneCount(), 1u);
    EXPECT_EQ(skin.frameCount(), 1u);
    // Five corners of the pyramid, and corners 1/2 and 2/3 of the last face differ from 1/1
    // and 2/2 in their texture coordinates: seven vertices.
    EXPECT_EQ(skin.vertexCount(), 7u);
    EXPECT_EQ(skin.triangleCount(), 2u + 5u);
    EXPECT_EQ(skin.textureFileName(), "skin.png");
    EXPECT_NEAR(skin.boundingBox().minimum.y, 0.0f, 1e-6);
    EXPECT_NEAR(skin.boundingBox().maximum.y, 3.0f, 1e-6);
    EXPECT_NEAR(skin.boundingBox().minimum.x, -1.0f, 1e-6);
    // Normals: the base faces down, the apex averages the four sides.
    for (unsigned v = 0; v < skin.vertexCount(); ++v)
        EXPECT_NEAR(skin.restNormals()[v].length(), 1.0f, 1e-5);

    {
        std::ofstream bad(directory.file("bad.obj"));
        bad << "v 0 0 0\nv 1 0 0\nf 1 2 3\n";
    }
    try {
        importModel(directory.file("bad.obj"), options);
        ADD_FAILURE() << "a face naming a missing vertex was accepted";
    } catch (const IOException& e) {
        EXPECT_NE(e.message().find("bad.obj"), std::string::npos) << e.message();
        EXPECT_NE(e.message().find("vertex 3"), std::string::npos) << e.message();
    }
}

} // namespace
