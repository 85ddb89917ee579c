// The text skin reader: sections, the mesh load with its normals, the lighting file, and every
// message with its line, column and caret.
#include "skin/TextSkinReader.h"

#include "TempDirectory.h"
#include "foundation/Exception.h"
#include "skin/ObjFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Five vertices, two triangles; vertex 5 is used by no face. The second face gives vertex 2 a
// texture coordinate.
const char* const kMesh = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 5 5 5\nvt 0.25 0.75 0.5\n"
                          "g body\nf 1 2 3\nf 2/1 4 3\n";

const std::string kIdentityFrame = "0 1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1\n";
const std::string kShiftFrame = "1 1 0 0 2  0 1 0 0  0 0 1 0  0 0 0 1\n";

struct TextSkinFixture {
    TempDirectory dir{"textskin"};
    std::string path = dir.file("animal.txt");

    TextSkinFixture() { writeText(dir.file("mesh.obj"), kMesh); }

    std::shared_ptr<Skin> load(const std::string& text, const std::string& lighting = "")
    {
        writeText(path, text);
        return std::make_shared<Skin>(path, lighting, "animal");
    }
    std::string error(const std::string& text)
    {
        writeText(path, text);
        try {
            Skin skin(path, "", "animal");
        } catch (const CreationException& e) {
            return e.message();
        }
        ADD_FAILURE() << "accepted:\n" << text;
        return {};
    }
    std::string wrapped(int line, int column, const std::string& lineText, const std::string& message) const
    {
        return "Caught exception in line " + std::to_string(line) + ", column " + std::to_string(column) +
               " of .skin file '" + path + "':\n" + lineText + "\n" + std::string(column, ' ') + "^ " + message;
    }
    std::string meshPath() const { return (dir.path() / "mesh.obj").string(); }
};

const std::string kHeader = "*OBJFILENAME\nmesh.obj\n";

// Two bones over two frames: bone 0 stays, bone 1 moves by +2 in x in frame 1.
std::string twoBones()
{
    return "*BONEANIMATION, NFRAMES=2, BONEINDEX=0\n" + kIdentityFrame + kIdentityFrame +
           "*BONEANIMATION, NFRAMES=2, BONEINDEX=1\n" + kIdentityFrame + kShiftFrame;
}

} // namespace

TEST(TextSkin, ReadsBonesWeightsAndSkinsEveryFrame)
{
    TextSkinFixture fixture;
    const auto skin = fixture.load("# an animal\n" + kHeader + twoBones() +
                                   "*VERTEXWEIGHTS, NVERTICES=5\n"
                                   "0 0 1.0   # comment after the numbers\n"
                                   "      # a line of spaces and a comment\n"
                                   "1 0 0.5\n"
                                   "2 1 1\n3 1 1\n4 0 1\n"
                                   "1 1 0.5\n"); // vertex 1 again: appended after bone 0
    EXPECT_EQ(skin->name(), "animal");
    EXPECT_EQ(skin->fileName(), fixture.path);
    EXPECT_EQ(skin->textureFileName(), "");
    ASSERT_EQ(skin->vertexCount(), 5u);
    ASSERT_EQ(skin->triangleCount(), 2u);
    EXPECT_EQ(skin->triangle(1), (Triangle{{1, 3, 2}}));
    EXPECT_EQ(skin->boneCount(), 2u);
    EXPECT_EQ(skin->frameCount(), 2u);
    ASSERT_EQ(skin->influences(1).size(), 2u);
    EXPECT_EQ(skin->influences(1)[0].bone, 0);
    EXPECT_EQ(skin->influences(1)[1].bone, 1);
    EXPECT_EQ(skin->influences(1)[1].weight, 0.5f);
    EXPECT_EQ(skin->maxInfluenceCount(), 2u);
    EXPECT_FALSE(skin->primitiveGroups().empty());
    ASSERT_TRUE(skin->sourceMesh());
    EXPECT_EQ(skin->sourceMesh()->fileName(), fixture.meshPath());

    // Integer positions, translations and weights of 1 and 0.5: every product and sum of the
    // skinning is exact, so the frame is exactly these points on any processor.
    const auto& frame1 = skin->framePositions(1);
    EXPECT_EQ(frame1[0], Vector3f(0, 0, 0));
    EXPECT_EQ(frame1[1], Vector3f(2, 0, 0)); // halfway between 1 and 3
    EXPECT_EQ(frame1[3], Vector3f(3, 1, 0));
    EXPECT_EQ(skin->frameBoundingBoxes().size(), 2u);
    EXPECT_EQ(skin->boundingBox().maximum, Vector3f(5, 5, 5));
    EXPECT_EQ(skin->boundingBox().minimum, Vector3f(0, 0, 0));

    // No lighting file: grey and half lit.
    ASSERT_EQ(skin->vertexColors().size(), 5u);
    for (const Vector3f& c : skin->vertexColors()) EXPECT_EQ(c, Vector3f(0.5f, 0.5f, 0.5f));
    for (float m : skin->meanLighting()) EXPECT_EQ(m, 0.5f);
    EXPECT_EQ(skin->maxMeanLighting(), 0.5f);
    EXPECT_EQ(skin->lightingBasisCount(), 0u);
}

TEST(TextSkin, NormalsAndTextureCoordinatesComeFromTheMesh)
{
    TextSkinFixture fixture;
    // Vertex 1 gets a file normal from one corner; the others take face normals.
    writeText(fixture.dir.file("mesh.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 5 5 5\n"
                                            "vt 0.25 0.75 0.5\nvn 0 3 4\n"
                                            "f 1//1 2 3\nf 2/1 4 3\n");
    const auto skin = fixture.load(kHeader);
    const auto& normals = skin->restNormals();
    ASSERT_EQ(normals.size(), 5u);
    EXPECT_NEAR(normals[0].y, 0.6f, 1e-6f);
    EXPECT_NEAR(normals[0].z, 0.8f, 1e-6f);
    EXPECT_EQ(normals[1], Vector3f(0, 0, 1));
    // A vertex no face uses points up.
    EXPECT_EQ(normals[4], Vector3f(0, 1, 0));
    EXPECT_EQ(skin->textureCoordinates()[1], Vector2f(0.25f, 0.75f));
    EXPECT_EQ(skin->textureCoordinates()[0], Vector2f(0.0f, 0.0f));
    // No bones: no frames, the box of the rest pose.
    EXPECT_EQ(skin->frameCount(), 0u);
    EXPECT_EQ(skin->boundingBox().maximum, Vector3f(5, 5, 5));
}

TEST(TextSkin, OppositeWindingsDoNotCancelTheFaceNormal)
{
    TextSkinFixture fixture;
    // The same triangle twice with opposite winding: the second normal is turned to agree.
    writeText(fixture.dir.file("mesh.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 3 2\n");
    const auto skin = fixture.load(kHeader);
    for (const Vector3f& n : skin->restNormals()) EXPECT_EQ(n, Vector3f(0, 0, 1));
}

TEST(TextSkin, FrameNumbersAreIgnoredAndFramesFollowLineOrder)
{
    TextSkinFixture fixture;
    const auto skin = fixture.load(kHeader + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n" +
                                   "5 1 0 0 7  0 1 0 0  0 0 1 0  0 0 0 1\n" + "0 1 0 0 9  0 1 0 0  0 0 1 0  0 0 0 1\n" +
                                   "*VERTEXWEIGHTS, NVERTICES=5\n0 0 1\n");
    ASSERT_EQ(skin->frameCount(), 2u); // NFRAMES neither limits nor checks
    EXPECT_EQ(skin->boneAnimation(0)[0].translation, Vector3f(7, 0, 0));
    EXPECT_EQ(skin->boneAnimation(0)[1].translation, Vector3f(9, 0, 0));
    EXPECT_EQ(skin->framePositions(1)[0], Vector3f(9, 0, 0));
    // A vertex without influences ends at the origin.
    EXPECT_EQ(skin->framePositions(1)[4], Vector3f(0, 0, 0));
}

TEST(TextSkin, AttributeValuesTrueFalseNullAndF)
{
    TextSkinFixture fixture;
    // null and F values are read but not stored, so the second NFRAMES counts; true is 1.
    const auto skin = fixture.load(kHeader + "*BONEANIMATION ,NFRAMES = null, NFRAMES=2F, NFRAMES=1, BONEINDEX=0\n" +
                                   kIdentityFrame + "*BONEANIMATION,NFRAMES=F,NFRAMES=1,BONEINDEX=true\n" +
                                   kShiftFrame + "*VERTEXWEIGHTS, NVERTICES=5, HINT=false\n");
    EXPECT_EQ(skin->boneCount(), 2u);
}

TEST(TextSkin, CorrectionsWithUnsetElementsAreZero)
{
    TextSkinFixture fixture;
    const auto skin = fixture.load(kHeader + "*BONEANIMATION, NFRAMES=2, BONEINDEX=0\n" + kIdentityFrame + kShiftFrame +
                                   "*VERTEXWEIGHTS, NVERTICES=5\n0 0 1\n1 0 1\n"
                                   "*DISPLACEMENTBASIS\n1 10\n0 0\n0 0\n0 0\n0.5 0\n" // vertex 0 x, vertex 1 y
                                   "*DISPLACEMENTCOORDS, NFRAMES=3\n0.5 0\n"          // frame 1 row missing
                                   "*NORMALBASIS\n0\n*NORMALCOORDS, NFRAMES=2\n1\n2\n");
    EXPECT_EQ(skin->displacementBasisCount(), 2u);
    EXPECT_EQ(skin->displacementBasis().rows(), 15u);
    EXPECT_EQ(skin->displacementBasis()(14, 1), 0.0f);
    EXPECT_EQ(skin->displacementCoordinates().rows(), 3u);
    EXPECT_EQ(skin->displacementCoordinates()(1, 0), 0.0f);
    EXPECT_EQ(skin->normalBasisCount(), 1u);
    EXPECT_EQ(skin->framePositions(0)[0], Vector3f(0.5f, 0, 0));
    EXPECT_EQ(skin->framePositions(0)[1], Vector3f(1, 0.25f, 0));
    EXPECT_EQ(skin->framePositions(1)[0], Vector3f(2, 0, 0));
}

TEST(TextSkin, ReadsTheLightingFile)
{
    TextSkinFixture fixture;
    std::string bytes;
    const auto u32 = [&](std::uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    const auto f32 = [&](float v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    u32(5);
    for (int v = 0; v < 5; ++v) f32(0.1f * v), f32(0.2f), f32(0.3f);
    u32(5);
    for (float m : {0.5f, -2.0f, 1.0f, 0.0f, 1.5f}) f32(m);
    u32(5), u32(1);
    for (int v = 0; v < 5; ++v) f32(1.0f);
    u32(1), u32(1), f32(0.25f);
    const std::string lighting = fixture.dir.file("animal.light");
    writeText(lighting, bytes);
    const auto skin = fixture.load(kHeader, lighting);
    EXPECT_EQ(skin->vertexColors()[2], Vector3f(0.2f, 0.2f, 0.3f));
    EXPECT_EQ(skin->meanLighting()[1], -2.0f);
    EXPECT_EQ(skin->maxMeanLighting(), 2.0f);
    EXPECT_EQ(skin->lightingBasisCount(), 1u);
    EXPECT_EQ(skin->lightingCoordinates()(0, 0), 0.25f);
    {
        // The same bytes from a stream, named in messages by the name given with it.
        std::istringstream in(bytes);
        const auto streamed = parseTextSkin(kHeader, fixture.path, in, "animal.light", "animal");
        EXPECT_EQ(streamed->vertexColors(), skin->vertexColors());
        EXPECT_EQ(streamed->meanLighting(), skin->meanLighting());
        EXPECT_EQ(streamed->lightingCoordinates()(0, 0), 0.25f);
        std::istringstream cut(bytes.substr(0, 30));
        try {
            parseTextSkin(kHeader, fixture.path, cut, "animal.light", "animal");
            ADD_FAILURE() << "a cut lighting stream was accepted";
        } catch (const CreationException& e) {
            EXPECT_EQ(e.message(), "The lighting file 'animal.light' ends before its data.");
        }
    }

    // Too few values for the mesh, a cut file, a missing file.
    writeText(lighting, bytes.substr(0, 4 + 12 * 5 + 4 + 4 * 3) );
    writeText(fixture.path, kHeader);
    EXPECT_THROW(Skin(fixture.path, lighting, "a"), CreationException);
    const std::string absent = fixture.dir.file("absent.light");
    try {
        Skin skin2(fixture.path, absent, "a");
        FAIL();
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(), "Unable to open lighting file '" + absent + "'.");
    }
}

TEST(TextSkin, EveryMessageShowsLineColumnAndCaret)
{
    TextSkinFixture fixture;
    struct Case {
        std::string text;
        int line;
        int column;
        std::string lineText;
        std::string message;
    };
    const std::string mesh = fixture.meshPath();
    const std::string weights = "*VERTEXWEIGHTS, NVERTICES=5\n";
    const std::vector<Case> cases = {
        {"*\n", 1, 1, "*", "Expected: OBJFILENAME, BONEANIMATION, etc."},
        {"*OBJFILENAME junk\n", 1, 13, "*OBJFILENAME junk", "Expected: ATTRIBUTE=VALUE pair"},
        {"*BONEANIMATION NFRAMES=1\n", 1, 15, "*BONEANIMATION NFRAMES=1", "Expected: ATTRIBUTE=VALUE pair"},
        {"*BONEANIMATION, NFRAMES=1.5\n", 1, 25, "*BONEANIMATION, NFRAMES=1.5", "Expected: ATTRIBUTE=VALUE pair"},
        {"*BONEANIMATION, BONEINDEX=0 # x\n", 1, 28, "*BONEANIMATION, BONEINDEX=0 # x",
         "Expected attribute 'NFRAMES'"},
        {"*BONEANIMATION, NFRAMES=1\n", 1, 25, "*BONEANIMATION, NFRAMES=1", "Expected attribute 'BONEINDEX'"},
        {"*DISPLACEMENTS\n", 1, 14, "*DISPLACEMENTS", "Unknown command: 'DISPLACEMENTS'"},
        {"*BONEANIMATION, NFRAMES=1, BONEINDEX=1\n", 1, 38, "*BONEANIMATION, NFRAMES=1, BONEINDEX=1",
         "Bone 1 is out of order; previous bone was -1"},
        {"*VERTEXWEIGHTS, NVERTICES=5\n", 1, 27, "*VERTEXWEIGHTS, NVERTICES=5",
         ".obj declaration must appear first in the file."},
        {"*DISPLACEMENTBASIS\n1 2\n", 2, 0, "1 2", ".obj declaration must appear first in the file."},
        {kHeader + "*VERTEXWEIGHTS, NVERTICES=4\n", 3, 27, "*VERTEXWEIGHTS, NVERTICES=4",
         "Vertex count 4 does not match 5 found in '" + mesh + "'."},
        {kHeader + "*DISPLACEMENTBASIS\n*DISPLACEMENTBASIS\n", 4, 18, "*DISPLACEMENTBASIS",
         "Expected only one displacement basis in file."},
        {"*DISPLACEMENTCOORDS, NFRAMES=1\n", 1, 30, "*DISPLACEMENTCOORDS, NFRAMES=1",
         "Displacement basis must appear before displacement coords."},
        {"*NORMALBASIS\n*NORMALBASIS\n", 2, 12, "*NORMALBASIS", "Expected only one normal basis in file."},
        {"*NORMALCOORDS, NFRAMES=1\n", 1, 24, "*NORMALCOORDS, NFRAMES=1",
         "Normal basis must appear before normal coords."},
        {"# comment\nmesh.obj\n", 2, 0, "mesh.obj", "Expected: '*'"},
        {kHeader + "mesh.obj \n", 3, 9, "mesh.obj ", "Only one .obj file allowed per .skin file"},
        {kHeader + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\nx 1 2\n", 4, 0, "x 1 2", "Expected: [frameNo] [matrix]"},
        {kHeader + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n   *0 1 2\n", 4, 0, "   *0 1 2",
         "Expected: [frameNo] [matrix]"},
        {kHeader + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0\n", 4, 31,
         "0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0",
         "Error in bone frame; expected 4x4 matrix with 16 entries, found 15 entries."},
        {kHeader + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 2\n", 4, 35,
         "0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 2",
         "Error in bone frame; expected 4x4 matrix with 16 entries, found 17 entries."},
        {kHeader + weights + "x 0 1\n", 4, 0, "x 0 1", "Expected: vertex number"},
        {kHeader + weights + "-1 0 1\n", 4, 0, "-1 0 1", "Expected: vertex number"},
        {kHeader + weights + "5 0 1\n", 4, 1, "5 0 1",
         "Vertex number 5 too large; only 5 vertices found in '" + mesh + "'"},
        {kHeader + weights + "0 0 1 1\n", 4, 6, "0 0 1 1", "Expected: boneId weight"},
        {kHeader + weights + "0 0 x\n", 4, 2, "0 0 x", "Expected: boneId weight"},
        {kHeader + "*DISPLACEMENTBASIS\n" +
             "1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n",
         19, 1, "1", "Found too many rows; expected 3*5 = 15 rows but found 16 rows."},
        {kHeader + "*DISPLACEMENTBASIS\n1 2\n3 4\n5 6 7\n", 6, 5, "5 6 7",
         "Incorrect number of columns in matrix row 2; found 3 but expected 2"},
        {kHeader + "*DISPLACEMENTBASIS\n1 2\n3 x\n", 5, 2, "3 x", "Expected: number"},
        {kHeader + "*DISPLACEMENTBASIS\n1 2\n*DISPLACEMENTCOORDS, NFRAMES=1\n1 2\n3 4\n", 7, 3, "3 4",
         "Found too many rows; expected 1 rows but found 2 rows."},
        {kHeader + "*NORMALBASIS\n1 2\n*NORMALCOORDS, NFRAMES=2\n1 2\n3\n", 7, 1, "3",
         "Incorrect number of columns in matrix row 1; found 1 but expected 2"},
        {kHeader + "*NORMALBASIS\n1\n*NORMALCOORDS, NFRAMES=-1\n", 5, 25, "*NORMALCOORDS, NFRAMES=-1",
         "Frame count -1 must not be negative."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fixture.error(c.text), fixture.wrapped(c.line, c.column, c.lineText, c.message)) << c.text;
}

TEST(TextSkin, NonTriangleFacesAndBadCornersAreReportedOnTheMeshLine)
{
    TextSkinFixture fixture;
    writeText(fixture.dir.file("mesh.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 4 3\n");
    EXPECT_EQ(fixture.error(kHeader),
              fixture.wrapped(2, 8, "mesh.obj", "Only triangles are allowed in .obj files; found 4-gon: (1, 2, 4)"));
    writeText(fixture.dir.file("mesh.obj"), "v 0 0 0\nv 1 0 0\nf 2 1\n");
    EXPECT_EQ(fixture.error(kHeader),
              fixture.wrapped(2, 8, "mesh.obj", "Only triangles are allowed in .obj files; found 2-gon: (2, 1)"));
    // Numbers outside the mesh would index past its arrays.
    writeText(fixture.dir.file("mesh.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n");
    EXPECT_NE(fixture.error(kHeader).find("^ Face refers to vertex 4 but"), std::string::npos);
    EXPECT_NE(fixture.error(kHeader).find("mesh.obj' has 3 vertices."), std::string::npos) << fixture.error(kHeader);
    writeText(fixture.dir.file("mesh.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1//1 2 3\n");
    EXPECT_NE(fixture.error(kHeader).find("^ Face refers to normal 1 but"), std::string::npos);
    EXPECT_NE(fixture.error(kHeader).find("mesh.obj' has 0 normals."), std::string::npos) << fixture.error(kHeader);
}

TEST(TextSkin, FileLevelErrors)
{
    TextSkinFixture fixture;
    // Bones of different lengths.
    EXPECT_EQ(fixture.error(kHeader + "*BONEANIMATION, NFRAMES=2, BONEINDEX=0\n" + kIdentityFrame + kIdentityFrame +
                            "*BONEANIMATION, NFRAMES=2, BONEINDEX=1\n" + kIdentityFrame),
              "Mismatch in frame count; bone 0 has frame count 2 but bone 1 has frame count 1");
    // A weight naming a bone that does not exist.
    EXPECT_EQ(fixture.error(kHeader + "*BONEANIMATION, NFRAMES=1, BONEINDEX=0\n" + kIdentityFrame +
                            "*VERTEXWEIGHTS, NVERTICES=5\n2 3 1\n"),
              "Vertex 2 is influenced by bone 3 but the skin has 1 bones.");
    // Coefficients for fewer frames than the animation has: the skin's own check, worded as
    // for binary skins.
    EXPECT_EQ(fixture.error(kHeader + twoBones() + "*DISPLACEMENTBASIS\n1\n*DISPLACEMENTCOORDS, NFRAMES=1\n1\n"),
              "The displacement coordinates are 1 x 1 but the animation has 2 frames and the basis 1 vectors.");
    EXPECT_EQ(fixture.error(kHeader + twoBones() + "*NORMALBASIS\n1\n"),
              "The normal coordinates are 0 x 0 but the animation has 2 frames and the basis 1 vectors.");
    // A long line is refused rather than cut.
    EXPECT_NE(fixture.error(kHeader + "*VERTEXWEIGHTS, NVERTICES=5\n0" + std::string(1000000, ' ') + "\n")
                  .find("is longer than 999999 characters"),
              std::string::npos);

    // Rows the file does not give are zero, but not at any size: a few lines must not claim
    // gigabytes.
    EXPECT_EQ(fixture.error(kHeader + "*DISPLACEMENTBASIS\n1\n*DISPLACEMENTCOORDS, NFRAMES=2000000000\n0.5\n"),
              "The displacement coordinates would have 2000000000 x 1 elements; at most 67108864 are allowed.");

    // Nothing to place or draw: no mesh, or a mesh without vertices.
    EXPECT_EQ(fixture.error("# only a comment\n"), "The .skin file '" + fixture.path + "' names no .obj file with vertices.");
    writeText(fixture.dir.file("mesh.obj"), "g nothing\n");
    EXPECT_EQ(fixture.error(kHeader), "The .skin file '" + fixture.path + "' names no .obj file with vertices.");

    // 16-bit indices: at most 65,536 vertices.
    std::string big;
    for (int v = 0; v < 65537; ++v) big += "v 0 0 0\n";
    writeText(fixture.dir.file("mesh.obj"), big);
    EXPECT_EQ(fixture.error(kHeader),
              fixture.wrapped(2, 8, "mesh.obj",
                              "The mesh '" + fixture.meshPath() +
                                  "' has 65537 vertices, but at most 65536 can be drawn with 16-bit indices."));
    writeText(fixture.dir.file("mesh.obj"), big.substr(8));
    EXPECT_EQ(fixture.load(kHeader)->vertexCount(), 65536u);

    const std::string absent = fixture.dir.file("absent.txt");
    try {
        Skin skin(absent, "", "x");
        FAIL();
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(), "Unable to open skin file '" + absent + "'.");
    }
}

TEST(TextSkin, MeshReaderErrorsPassThroughUnwrapped)
{
    TextSkinFixture fixture;
    writeText(fixture.dir.file("mesh.obj"), "v 0 0\n");
    writeText(fixture.path, kHeader);
    try {
        Skin skin(fixture.path, "", "x");
        FAIL();
    } catch (const ParserException& e) {
        EXPECT_EQ(e.message(), "Invalid vertex");
        EXPECT_EQ(e.line(), 1);
    }
    writeText(fixture.path, "*OBJFILENAME\nnone.obj\n");
    EXPECT_THROW(Skin(fixture.path, "", "x"), IOException);
}

TEST(TextSkinFile, LoaderNamesTheSkinAfterTheFileAndReportsCreationErrors)
{
    TextSkinFixture fixture;
    writeText(fixture.path, kHeader);
    const SkinFile file = loadTextSkinFile(fixture.path);
    ASSERT_EQ(file.skins.size(), 1u);
    EXPECT_EQ(file.skins[0]->name(), "animal");
    EXPECT_EQ(file.directory, fixture.dir.path());

    writeText(fixture.path, "data\n");
    try {
        loadTextSkinFile(fixture.path);
        ADD_FAILURE() << "a bad skin file loaded";
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(), fixture.wrapped(1, 0, "data", "Expected: '*'"));
    }

    // The mesh reader's own exceptions are the caller's to report.
    writeText(fixture.dir.file("mesh.obj"), "q\n");
    writeText(fixture.path, kHeader);
    EXPECT_THROW(loadTextSkinFile(fixture.path), ParserException);
}
