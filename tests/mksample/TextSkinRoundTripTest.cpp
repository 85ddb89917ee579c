// The sample text skin read by the project's own text skin and OBJ readers against the finest
// level of the binary sample: the same animation, frame by frame.
#include "SampleDirectory.h"

#include "skin/BinarySkinLoader.h"
#include "skin/ObjFile.h"
#include "skin/TextSkinReader.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::shared_ptr<Skin> finestBinary()
{
    return loadBinarySkinFile((sampleDirectory() / "quadruped.bin").string()).skins.front();
}

std::shared_ptr<Skin> textSample()
{
    return std::make_shared<Skin>((sampleDirectory() / "quadruped.txt").string(),
                                  (sampleDirectory() / "quadruped.light").string(), "quadruped");
}

} // namespace

TEST(TextSkinSample, GivesTheSameFramePositionsAsTheBinaryFinestLevel)
{
    const auto binary = finestBinary();
    const auto text = textSample();
    ASSERT_TRUE(binary && text);
    ASSERT_EQ(text->vertexCount(), binary->vertexCount());
    ASSERT_EQ(text->triangleCount(), binary->triangleCount());
    ASSERT_EQ(text->frameCount(), binary->frameCount());
    ASSERT_GT(text->frameCount(), 1u);
    EXPECT_EQ(text->triangles(), binary->triangles());
    EXPECT_EQ(text->displacementBasisCount(), binary->displacementBasisCount());
    EXPECT_EQ(text->normalBasisCount(), binary->normalBasisCount());
    EXPECT_EQ(text->maxInfluenceCount(), binary->maxInfluenceCount());

    // The text holds every float exactly, so skinning gives the same positions up to the
    // rounding of a different summation order at most.
    for (unsigned f = 0; f < text->frameCount(); ++f) {
        const auto& a = text->framePositions(f);
        const auto& b = binary->framePositions(f);
        float worst = 0.0f;
        for (std::size_t v = 0; v < a.size(); ++v)
            worst = std::max({worst, std::fabs(a[v].x - b[v].x), std::fabs(a[v].y - b[v].y), std::fabs(a[v].z - b[v].z)});
        ASSERT_LT(worst, 1e-5f) << "frame " << f;
    }
    const BoundingBox tb = text->boundingBox();
    const BoundingBox bb = binary->boundingBox();
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(tb.minimum[i], bb.minimum[i], 1e-4f);
        EXPECT_NEAR(tb.maximum[i], bb.maximum[i], 1e-4f);
    }
}

TEST(TextSkinSample, LightingFileAndTextureCoordinatesMatchTheBinaryRecord)
{
    const auto binary = finestBinary();
    const auto text = textSample();
    ASSERT_TRUE(binary && text);
    EXPECT_EQ(text->vertexColors(), binary->vertexColors());
    EXPECT_EQ(text->meanLighting(), binary->meanLighting());
    EXPECT_EQ(text->lightingBasis(), binary->lightingBasis());
    EXPECT_EQ(text->lightingCoordinates(), binary->lightingCoordinates());
    EXPECT_EQ(text->maxMeanLighting(), binary->maxMeanLighting());
    EXPECT_EQ(text->textureCoordinates(), binary->textureCoordinates());
    // Rest normals come from the OBJ normals, renormalised.
    for (std::size_t v = 0; v < text->vertexCount(); ++v)
        for (int i = 0; i < 3; ++i) ASSERT_NEAR(text->restNormals()[v][i], binary->restNormals()[v][i], 1e-5f) << v;
}

TEST(TextSkinSample, ObjMeshAndMaterialLibraryReadBack)
{
    const ObjFile obj((sampleDirectory() / "quadruped.obj").string());
    const auto binary = finestBinary();
    ASSERT_TRUE(binary);
    EXPECT_EQ(obj.vertexCount(), binary->vertexCount());
    EXPECT_EQ(obj.faceCount(), binary->triangleCount());
    ASSERT_EQ(obj.materialLibraries().size(), 1u);
    ASSERT_EQ(obj.groupCount(), 1u);
    ASSERT_TRUE(obj.group(0).material());
    EXPECT_FALSE(obj.group(0).material()->textureFileName.empty());
}
