#include "SkinRecordFixtures.h"

#include "foundation/Exception.h"
#include "skin/Skin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string readError(const std::string& bytes)
{
    std::istringstream in(bytes);
    try {
        Skin skin(in);
    } catch (const CreationException& e) {
        return e.message();
    }
    return "";
}

std::string readError(const SkinRecord& record) { return readError(fixtures::bytesOf({record})); }

// Overwrites the u32 at byte offset `at`.
void patchU32(std::string& bytes, std::size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

} // namespace

TEST(BinarySkinReader, GoldenFileReadsFieldByField)
{
    // quad.bin was written once from fixtures::quad("quad", 3); it guards the layout, since
    // the format has no magic number or version to catch a drifting reader or writer.
    const std::string path = std::string(FLEXHERD_TEST_DATA_DIR) + "/quad.bin";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::string golden((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(golden, fixtures::bytesOf({fixtures::quad("quad", 3)}));
    EXPECT_EQ(golden.size(), 824u); // counted field by field

    const Skin skin{std::filesystem::path(path)};
    EXPECT_EQ(skin.name(), "quad");
    EXPECT_EQ(skin.textureFileName(), "coat.png");
    EXPECT_EQ(skin.vertexCount(), 4u);
    EXPECT_EQ(skin.triangleCount(), 2u);
    EXPECT_EQ(skin.triangle(1), (Triangle{{0, 2, 3}}));
    EXPECT_EQ(skin.restPositions()[2], Vector3f(1, 1, 0));
    EXPECT_EQ(skin.textureCoordinates()[3], Vector2f(0, 1));
    EXPECT_EQ(skin.vertexColors()[0], Vector3f(1, 0.5f, 0.25f));
    EXPECT_EQ(skin.boneCount(), 2u);
    EXPECT_EQ(skin.frameCount(), 3u);
    EXPECT_EQ(skin.boneAnimation(1)[2].translation, Vector3f(0, 2, 0));
    ASSERT_EQ(skin.influences(2).size(), 2u);
    EXPECT_EQ(skin.influences(2)[1].bone, 1);
    EXPECT_EQ(skin.influences(2)[1].weight, 0.5f);
    EXPECT_EQ(skin.maxInfluenceCount(), 2u);
    EXPECT_EQ(skin.lightingBasisCount(), 1u);
    EXPECT_EQ(skin.lightingCoordinates().columns(), 3u);
    EXPECT_FLOAT_EQ(skin.lightingBasis()(3, 0), 0.3f);
    EXPECT_EQ(skin.maxMeanLighting(), 0.5f);
    // The stored box grows by every frame box.
    EXPECT_EQ(skin.boundingBox(), BoundingBox({0, 0, 0}, {1, 2, 0}));
    EXPECT_EQ(skin.nextSkin(), nullptr);
}

TEST(BinarySkinReader, NestedNextSkinIsPartOfItsRecord)
{
    SkinRecord body = fixtures::quad("body", 2);
    body.nextSkin = std::make_shared<SkinRecord>(fixtures::quad("shadow", 2));
    body.nextSkin->nextSkin = std::make_shared<SkinRecord>(fixtures::quad("shadow of shadow", 2));
    std::istringstream in(fixtures::bytesOf({body, fixtures::quad("after", 1)}));
    const Skin first(in);
    ASSERT_NE(first.nextSkin(), nullptr);
    EXPECT_EQ(first.nextSkin()->name(), "shadow");
    ASSERT_NE(first.nextSkin()->nextSkin(), nullptr);
    EXPECT_EQ(first.nextSkin()->nextSkin()->name(), "shadow of shadow");
    const Skin second(in);
    EXPECT_EQ(second.name(), "after") << "the stream stops right after the nested records";
}

TEST(BinarySkinReader, StoredPrimitiveGroupsAreRebuiltFromTriangles)
{
    SkinRecord asList = fixtures::grid("grid", 6, 5);
    SkinRecord asStrips = asList;
    PrimitiveGroup list{PrimitiveGroup::TriangleList, {0, 1, 2}};
    PrimitiveGroup strip{PrimitiveGroup::TriangleStrip, {5, 4, 3, 2, 1, 0, 7}};
    asList.primitiveGroups = {list};
    asStrips.primitiveGroups = {strip, strip, list};
    std::istringstream a(fixtures::bytesOf({asList})), b(fixtures::bytesOf({asStrips}));
    const Skin fromList(a), fromStrips(b);
    ASSERT_EQ(fromList.primitiveGroups().size(), fromStrips.primitiveGroups().size());
    for (std::size_t g = 0; g < fromList.primitiveGroups().size(); ++g) {
        EXPECT_EQ(fromList.primitiveGroups()[g].kind, fromStrips.primitiveGroups()[g].kind);
        EXPECT_EQ(fromList.primitiveGroups()[g].indices, fromStrips.primitiveGroups()[g].indices);
    }
}

TEST(BinarySkinReader, ARecordWithoutLightingDataIsLitByItsMeanValuesAlone)
{
    // No basis vectors and no coordinates, as a text skin without a lighting file has: loads
    // and poses every frame. A basis with vectors still needs a coordinate column per frame.
    SkinRecord r = fixtures::quad("plain", 3);
    r.lightingBasis.resize(0, 0);
    r.lightingCoordinates.resize(0, 0);
    std::istringstream in(fixtures::bytesOf({r}));
    const Skin skin(in);
    EXPECT_EQ(skin.lightingBasisCount(), 0u);
    for (unsigned f = 0; f < skin.frameCount(); ++f) EXPECT_EQ(skin.framePositions(f).size(), 4u) << f;
    r.lightingBasis.resize(4, 1);
    r.lightingCoordinates.resize(1, 0);
    EXPECT_EQ(readError(r), "Found 0 frames in lighting data  but animation has 3 frames.");
}

TEST(BinarySkinReader, LightingChecksKeepTheirMessages)
{
    {
        SkinRecord r = fixtures::quad();
        r.meanLighting.clear();
        EXPECT_EQ(readError(r),
                  "Mean lighting data does not match vertex data; found 0 vertices in lighting data but skin has 4 vertices.");
    }
    {
        SkinRecord r = fixtures::quad();
        r.lightingBasis.resize(3, 1);
        EXPECT_EQ(readError(r), "Lighting basis data does not match vertex data; found 3 vertices in lighting data but "
                                "skin has 4 vertices.");
    }
    {
        SkinRecord r = fixtures::quad();
        r.lightingCoordinates.resize(2, 3);
        EXPECT_EQ(readError(r), "Lighting basis data does not match lighting frames data; found 1 eigenvectors in "
                                "basis but only 2 coeffs in the frames matrix.");
    }
    {
        SkinRecord r = fixtures::quad("q", 3);
        r.lightingCoordinates.resize(1, 2);
        EXPECT_EQ(readError(r), "Found 2 frames in lighting data  but animation has 3 frames.");
    }
    {
        // More lighting frames than animation frames are fine, and without bones the frame
        // check does not apply at all.
        SkinRecord more = fixtures::quad("q", 3);
        more.lightingCoordinates.resize(1, 7);
        EXPECT_EQ(readError(more), "");
        SkinRecord still = fixtures::quad("q", 0);
        still.bones.clear();
        for (auto& list : still.influences) list.clear();
        still.lightingCoordinates.resize(1, 0);
        EXPECT_EQ(readError(still), "");
    }
}

TEST(BinarySkinReader, RejectsDataThatWouldBeIndexedOutOfRange)
{
    auto expectError = [](const SkinRecord& r, const std::string& expected) {
        EXPECT_EQ(readError(r), expected) << "record " << r.name;
    };
    {
        SkinRecord r = fixtures::quad("triangle");
        r.triangles[1].index[2] = 4;
        expectError(r, "Triangle 1 refers to vertex 4 but the skin has 4 vertices.");
    }
    {
        SkinRecord r = fixtures::quad("bone");
        r.influences[2][1].bone = 2;
        expectError(r, "Vertex 2 is influenced by bone 2 but the skin has 2 bones.");
        r.influences[2][1].bone = -1;
        expectError(r, "Vertex 2 is influenced by bone -1 but the skin has 2 bones.");
    }
    {
        SkinRecord r = fixtures::quad("frames", 3);
        r.bones[1].pop_back();
        expectError(r, "Bone 1 has 2 frames but the animation has 3 frames.");
    }
    {
        SkinRecord r = fixtures::quad("normals");
        r.normals.pop_back();
        expectError(r, "Found 3 normals but skin has 4 vertices.");
        r = fixtures::quad("uv");
        r.textureCoordinates.resize(5);
        expectError(r, "Found 5 texture coordinates but skin has 4 vertices.");
        r.textureCoordinates.clear();
        expectError(r, "");
        r = fixtures::quad("colours");
        r.vertexColors.clear();
        expectError(r, "Found 0 vertex colours but skin has 4 vertices.");
    }
    {
        SkinRecord r = fixtures::quad("basis", 3);
        r.displacementBasis.resize(11, 2);
        r.displacementCoordinates.resize(3, 2);
        expectError(r, "The displacement basis has 11 rows but skin has 4 vertices (12 rows).");
        r.displacementBasis.resize(12, 2);
        r.displacementCoordinates.resize(2, 2);
        expectError(r, "The displacement coordinates are 2 x 2 but the animation has 3 frames and the basis 2 vectors.");
        r.displacementCoordinates.resize(3, 2);
        r.normalBasis.resize(12, 1);
        r.normalCoordinates.resize(3, 0);
        expectError(r, "The normal coordinates are 3 x 0 but the animation has 3 frames and the basis 1 vectors.");
        r.normalCoordinates.resize(3, 1);
        expectError(r, "");
    }
    {
        // 16-bit indices cannot address more vertices than this.
        SkinRecord r = fixtures::grid("huge", 256, 256);
        expectError(r, "Skin 'huge' has 66049 vertices, but at most 65536 can be drawn with 16-bit indices.");
    }
}

TEST(BinarySkinReader, MissingFrameBoxesAreMeasured)
{
    SkinRecord r = fixtures::quad("boxless", 3);
    r.frameBoxes.clear();
    r.boundingBox = BoundingBox({0, 0, 0}, {1, 1, 0});
    std::istringstream in(fixtures::bytesOf({r}));
    const Skin skin(in);
    ASSERT_EQ(skin.frameBoundingBoxes().size(), 3u);
    EXPECT_EQ(skin.frameBoundingBoxes()[2], BoundingBox({0, 0, 0}, {1, 2, 0}));
    EXPECT_EQ(skin.boundingBox(), BoundingBox({0, 0, 0}, {1, 2, 0}));
}

TEST(BinarySkinReader, EveryTruncationFailsCleanly)
{
    SkinRecord r = fixtures::quad("t", 2);
    r.nextSkin = std::make_shared<SkinRecord>(fixtures::quad("shadow", 2));
    const std::string bytes = fixtures::bytesOf({r});
    for (std::size_t length = 0; length < bytes.size(); ++length)
        ASSERT_EQ(readError(bytes.substr(0, length)), "Caught exception reading file.") << "prefix " << length;
    EXPECT_EQ(readError(bytes), "");
}

TEST(BinarySkinReader, AbsurdCountsFailBeforeAllocating)
{
    const std::string bytes = fixtures::bytesOf({fixtures::quad("count", 2)});
    // Offsets of the counts in the quad record: name (4 + 5), texture (4 + 8), triangles.
    const std::size_t triangleCount = 4 + 5 + 4 + 8;
    {
        std::string patched = bytes;
        patchU32(patched, triangleCount, 0xFFFFFFFFu);
        EXPECT_EQ(readError(patched), "Caught exception reading file.");
    }
    {
        std::string patched = bytes;
        patchU32(patched, 0, 0xFFFFFFF0u); // name length
        EXPECT_EQ(readError(patched), "Caught exception reading file.");
    }
    {
        // A primitive group count that would loop for billions of iterations.
        std::string patched = bytes;
        patchU32(patched, triangleCount + 4 + 2 * 12, 0xFFFFFFFFu);
        EXPECT_EQ(readError(patched), "Caught exception reading file.");
    }
}

TEST(BinarySkinReader, DeepNextSkinChainsAreRefused)
{
    SkinRecord r = fixtures::quad("level 0", 1);
    SkinRecord* tail = &r;
    for (int i = 1; i < 70; ++i) {
        tail->nextSkin = std::make_shared<SkinRecord>(fixtures::quad("level " + std::to_string(i), 1));
        tail = tail->nextSkin.get();
    }
    EXPECT_EQ(readError(r), "Skin 'level 63' nests more than 64 next skins.");
}

TEST(BinarySkinReader, SingleFileConstructorReportsMissingFile)
{
    try {
        Skin skin(std::filesystem::path("/nonexistent/dir/missing.bin"));
        FAIL() << "expected IOException";
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Unable to open file '/nonexistent/dir/missing.bin' for reading.");
    }
}
