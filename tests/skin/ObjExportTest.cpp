// Gathering placed animals into one OBJ model and writing it: transformed positions, normals
// by the inverse transpose, group names, and the file read back.
#include "skin/ObjExport.h"
#include "skin/TextSkinReader.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// A right triangle in the xy plane (normals +z) and a fourth vertex no face uses, animated by
// one bone that moves it by +1 in y in frame 1.
std::shared_ptr<Skin> triangleSkin(const TempDirectory& dir)
{
    std::ofstream(dir.file("tri.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\n";
    const std::string text = "*OBJFILENAME\ntri.obj\n*BONEANIMATION, NFRAMES=2, BONEINDEX=0\n"
                             "0 1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1\n"
                             "1 1 0 0 0  0 1 0 1  0 0 1 0  0 0 0 1\n"
                             "*VERTEXWEIGHTS, NVERTICES=4\n0 0 1\n1 0 1\n2 0 1\n3 0 1\n";
    return parseTextSkin(text, dir.file("tri.txt"), "", "Tri");
}

} // namespace

TEST(ObjExport, GroupNamesCarryFiveDigitIndices)
{
    EXPECT_EQ(exportGroupName("H", 3), "H00003");
    EXPECT_EQ(exportGroupName("cow", 12345), "cow12345");
    EXPECT_EQ(exportGroupName("", 0), "00000");
}

TEST(ObjExport, TransformsPositionsAndNormalsOfEachAnimalsFrame)
{
    TempDirectory dir("export");
    const auto skin = triangleSkin(dir);
    PlacedFrame still;
    PlacedFrame moved;
    moved.frame = 1;
    // Stretched twice along x, sheared y into x, then shifted.
    moved.transform = Matrix4f::identity();
    moved.transform(0, 0) = 2.0f;
    moved.transform(0, 1) = 1.0f;
    moved.transform(0, 3) = 10.0f;
    moved.transform(2, 3) = -5.0f;
    PlacedFrame projective;
    projective.transform(3, 3) = 2.0f; // w = 2 halves every coordinate
    const PlacedFrame animals[] = {still, moved, projective};

    ObjFile model(ObjFile::Empty{}, "herd.obj", "herd.obj");
    appendPlacedSkin(model, *skin, animals);

    ASSERT_EQ(model.vertexCount(), 12u);
    ASSERT_EQ(model.normals().size(), 12u);
    ASSERT_EQ(model.groupCount(), 3u);
    EXPECT_EQ(model.group(1).name(), "Tri00001");
    // Exact comparisons: integer coordinates and powers of two round nowhere, and the skinning
    // kernel keeps a unit normal along an axis exactly unit on every processor.
    // Frame 1 lifts vertex 1 (1, 0, 0) to (1, 1, 0); the transform maps it to (2 + 1 + 10, 1, -5).
    EXPECT_EQ(model.vertices()[4 + 1], Vector3d(13, 1, -5));
    EXPECT_EQ(model.vertices()[8 + 1], Vector3d(0.5, 0, 0));
    // The normal of the xy plane stays +z under a map of the xy plane...
    EXPECT_EQ(model.normals()[4 + 0], Vector3d(0, 0, 1));
    // ...and the unused vertex's normal (0, 1, 0) turns with the inverse transpose: the shear
    // keeps the plane y = 0, so it stays (0, 1, 0) where the transform itself would give (1, 1, 0).
    EXPECT_EQ(model.normals()[4 + 3], Vector3d(0, 1, 0));
    // One v//vn face per triangle, numbered into the animal's own vertices.
    ASSERT_EQ(model.group(2).faceCount(), 1u);
    EXPECT_EQ(model.group(2).face(0)[1], (ObjCorner{10, false, 0, true, 10}));
}

TEST(ObjExport, ASmallHerdReadsBackWithItsCountsAndPositions)
{
    TempDirectory dir("export-file");
    const auto skin = triangleSkin(dir);
    std::vector<PlacedFrame> animals(5);
    for (unsigned i = 0; i < animals.size(); ++i) {
        animals[i].frame = i;
        animals[i].transform = Matrix4f::translation(Vector3f(float(i) * 3.0f, 0.0f, 0.0f));
    }
    const std::string path = dir.file("herd.obj");
    ObjFile model(ObjFile::Empty{}, path, path);
    appendPlacedSkin(model, *skin, animals);
    model.write(path);

    const ObjFile back(path);
    EXPECT_EQ(back.vertexCount(), 20u);
    EXPECT_EQ(back.normals().size(), 20u);
    EXPECT_EQ(back.faceCount(), 5u);
    ASSERT_EQ(back.groupCount(), 5u);
    EXPECT_EQ(back.group(4).name(), "Tri00004");
    // Animal 3 shows frame 1 (3 mod 2) nine units along x.
    EXPECT_EQ(back.vertices()[12 + 2], Vector3d(9, 2, 0));
    EXPECT_EQ(back.vertices()[16 + 2], Vector3d(12, 1, 0));
}
