// Assimp's own test models (Debian's assimp-testmodels): rigged and animated ones in several
// formats, a still one, an embedded texture, and malformed files that must fail cleanly.
#include "TempDirectory.h"

#include "bake/ModelImport.h"
#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

const std::string kModels = FLEXHERD_ASSIMP_MODELS;

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TestModels, ImportWithTheirCountsStandingOnTheGroundAndMoving)
{
    ASSERT_TRUE(std::filesystem::is_directory(kModels)) << kModels << ": install assimp-testmodels";
    struct Expected {
        std::string file;
        unsigned vertices, triangles, bones, frames;
        bool moves;
    };
    // Vertex and triangle counts as Assimp reports the meshes; frames are the clips' durations
    // (20 ticks at 24/s, 24 at 24/s, 5.5 s, 75 ticks at 25/s, a still pose) times 30 fps.
    const Expected models[] = {
        {"FBX/animation_with_skeleton.fbx", 2464, 2112, 13, 25, true},
        {"X/anim_test.x", 485, 840, 4, 30, true},
        {"glTF2/simple_skin/simple_skin.gltf", 10, 8, 2, 165, true},
        // Its "idle" clip keys every bone to one pose: 90 frames that stand still.
        {"MDL/MDL (HL1)/unnamed_bones.mdl", 192, 96, 8, 90, false},
        {"SMD/WusonSMD.smd", 2117, 3732, 1, 1, false},
    };
    for (const Expected& expected : models) {
        SCOPED_TRACE(expected.file);
        const std::string path = kModels + "/" + expected.file;
        const ImportResult result = importModel(path, ImportOptions{});
        const auto skins = importedSkins(result, path);
        ASSERT_FALSE(skins.empty());
        const Skin& skin = *skins.front();
        EXPECT_EQ(skin.vertexCount(), expected.vertices);
        EXPECT_EQ(skin.triangleCount(), expected.triangles);
        EXPECT_EQ(skin.boneCount(), expected.bones);
        EXPECT_EQ(skin.frameCount(), expected.frames);
        EXPECT_EQ(result.report.bones, expected.bones);

        // Feet on the ground: the lowest point of the first frame, as the viewer skins it, on
        // y = 0 (corrections may move it by a hair).
        const BoundingBox rest = skin.boundingBox();
        const float height = rest.maximum.y - rest.minimum.y;
        ASSERT_GT(height, 0.0f);
        float lowest = 1e30f;
        for (const Vector3f& p : skin.framePositions(0)) lowest = std::min(lowest, p.y);
        EXPECT_NEAR(lowest, 0.0f, 1e-3f * height);

        // The stored frame boxes are those of the frames as the viewer skins them.
        ASSERT_EQ(skin.frameBoundingBoxes().size(), expected.frames);
        for (unsigned f = 0; f < skin.frameCount(); ++f) {
            BoundingBox skinned;
            for (const Vector3f& p : skin.framePositions(f)) skinned.grow(p);
            const BoundingBox& stored = skin.frameBoundingBoxes()[f];
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(stored.minimum[k], skinned.minimum[k], 1e-5f * height) << "frame " << f;
                EXPECT_NEAR(stored.maximum[k], skinned.maximum[k], 1e-5f * height) << "frame " << f;
            }
        }

        // The clip moves some vertex by more than a hundredth of the model's height.
        float largest = 0.0f;
        for (unsigned f = 1; f < skin.frameCount(); ++f)
            for (unsigned v = 0; v < skin.vertexCount(); ++v)
                largest = std::max(largest, (skin.framePositions(f)[v] - skin.framePositions(0)[v]).length());
        if (expected.moves) {
            EXPECT_GT(largest, 0.01f * height);
        } else {
            EXPECT_EQ(largest, 0.0f);
        }

        // Coarser levels are subsets of about a quarter; every level carries the shadow disc
        // and lighting for every frame.
        for (std::size_t l = 0; l < skins.size(); ++l) {
            EXPECT_EQ(skins[l]->frameCount(), expected.frames);
            ASSERT_TRUE(skins[l]->nextSkin());
            EXPECT_EQ(skins[l]->nextSkin()->frameCount(), expected.frames);
            EXPECT_EQ(skins[l]->nextSkin()->frameBoundingBoxes().size(), expected.frames);
            if (l > 0) {
                EXPECT_LE(skins[l]->triangleCount(), skins[l - 1]->triangleCount() / 3);
            }
        }
    }
}

TEST(TestModels, AStillModelIsOneBoneWithItsTextureNamedFromTheOutput)
{
    const TempDirectory directory("still-model");
    const std::string path = kModels + "/glTF2/BoxTextured-glTF/BoxTextured.gltf";
    ImportResult result = importModel(path, ImportOptions{});
    const std::string texture = writeImport(result, directory.file("box.bin"));
    const SkinFile file = loadBinarySkinFile(directory.file("box.bin"));
    const Skin& skin = *file.skins.front();
    EXPECT_EQ(skin.boneCount(), 1u);
    EXPECT_EQ(skin.frameCount(), 1u);
    EXPECT_EQ(skin.vertexCount(), 24u);
    EXPECT_EQ(skin.triangleCount(), 12u);
    EXPECT_EQ(skin.displacementBasisCount(), 0u) << "a rigid model needs no corrections";
    EXPECT_EQ(skin.lightingCoordinates().columns(), 1u);
    // The texture stays where it is, named relative to the skin file's directory.
    EXPECT_EQ(skin.textureFileName(), texture);
    EXPECT_EQ(std::filesystem::weakly_canonical(directory.path() / texture),
              std::filesystem::weakly_canonical(kModels + "/glTF2/BoxTextured-glTF/CesiumLogoFlat.png"));
    EXPECT_NEAR(skin.boundingBox().minimum.y, 0.0f, 1e-6f);
    EXPECT_NEAR(skin.boundingBox().maximum.y, 1.0f, 1e-6f);

    // The binary form embeds the same picture: it is written beside the output unchanged.
    ImportResult embedded = importModel(kModels + "/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", ImportOptions{});
    EXPECT_EQ(writeImport(embedded, directory.file("glb.bin")), "glb.png");
    EXPECT_EQ(fileBytes(directory.file("glb.png")), fileBytes(kModels + "/glTF2/BoxTextured-glTF/CesiumLogoFlat.png"));
    EXPECT_FALSE(std::filesystem::exists(directory.file("glb.png.partial")));
}

TEST(TestModels, MalformedFilesAreReportedNamingTheFile)
{
    std::vector<std::string> files = {kModels + "/glTF2/IndexOutOfRange/IndexOutOfRange.gltf",
                                      kModels + "/glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf",
                                      kModels + "/nonexistent.fbx"};
    // OutOfMemory.off asks for hundreds of gigabytes: only the child process (with its memory
    // limit) meets it, in the import process tests.
    for (const auto& entry : std::filesystem::directory_iterator(kModels + "/invalid"))
        if (entry.path().filename() != "OutOfMemory.off") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 10u);
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        try {
            importModel(path, ImportOptions{});
            ADD_FAILURE() << "imported";
        } catch (const IOException& e) {
            EXPECT_NE(e.message().find("'" + path + "'"), std::string::npos) << e.message();
        }
    }
}

TEST(TestModels, ChoosingAnAnimationThatIsNotThereSaysWhichThereAre)
{
    ImportOptions options;
    options.animation = "run";
    try {
        importModel(kModels + "/X/anim_test.x", options);
        ADD_FAILURE() << "imported";
    } catch (const IOException& e) {
        EXPECT_NE(e.message().find("no animation 'run'; it has 0 'cylinder_test'"), std::string::npos) << e.message();
    }
    options.animation = "0";
    EXPECT_EQ(importModel(kModels + "/X/anim_test.x", options).report.animationName, "cylinder_test");
}

} // namespace
