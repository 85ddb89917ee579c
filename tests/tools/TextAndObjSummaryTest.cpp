// flexherd-info on text skins and OBJ meshes.
#include "SkinSummary.h"
#include "SkinRecordFixtures.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

namespace {

const std::string kData = FLEXHERD_TEST_DATA_DIR;

} // namespace

TEST(TextSkinSummary, DescribesTheSkinLikeABinaryRecord)
{
    const std::string path = kData + "/tri.txt";
    const auto report = describeFile(path);
    ASSERT_FALSE(report.contains("error")) << report.dump();
    ASSERT_EQ(report["skins"].size(), 1u);
    const auto& skin = report["skins"][0];
    EXPECT_EQ(skin["name"], "tri");
    EXPECT_EQ(skin["vertices"], 4);
    EXPECT_EQ(skin["triangles"], 2);
    EXPECT_EQ(skin["bones"], 1);
    EXPECT_EQ(skin["frames"], 2);
    EXPECT_EQ(skin["lightingBasis"], 0);
    // Frame 1 moves the square by one along x.
    EXPECT_EQ(skin["boundingBox"], nlohmann::ordered_json::parse("[0.0,0.0,0.0,2.0,1.0,0.0]"));
    EXPECT_TRUE(skin["nextSkin"].is_null());
}

TEST(TextSkinSummary, ErrorsReadAsTheOpenCommandShowsThem)
{
    TempDirectory dir;
    const std::string skin = dir.write("bad.txt", "*OBJFILENAME\nmesh.obj\nstray\n");
    dir.write("mesh.obj", "v 0 0 0\n");
    auto report = describeFile(skin);
    EXPECT_EQ(report["error"]["caption"], "Error reading skin");
    EXPECT_EQ(report["error"]["message"], "Caught exception in line 3, column 5 of .skin file '" + skin +
                                              "':\nstray\n     ^ Only one .obj file allowed per .skin file");

    dir.write("mesh.obj", "v 0 0 0\nfx 1 2 3\n");
    const std::string meshPath = (dir.path() / "mesh.obj").string();
    report = describeFile(dir.write("mesh.txt", "*OBJFILENAME\nmesh.obj\n"));
    EXPECT_EQ(report["error"]["caption"], "Error reading file");
    EXPECT_EQ(report["error"]["message"], "Invalid line in .obj file '" + meshPath + "': fx 1 2 3");
}

TEST(ObjSummary, CountsGroupsFacesVertexDataAndMaterials)
{
    const std::string path = kData + "/tri.obj";
    EXPECT_EQ(describeFile(path).dump(),
              "{\"file\":\"" + path +
                  "\",\"obj\":{\"groups\":1,\"faces\":2,\"vertices\":4,\"normals\":1,\"texcoords\":1,"
                  "\"materials\":[\"hide\",\"spare\"]}}");

    TempDirectory dir;
    const std::string bad = dir.write("bad.obj", "v 1 2 3\nvt x\n");
    const auto report = describeFile(bad);
    EXPECT_EQ(report["error"]["caption"], "Error reading file");
    EXPECT_EQ(report["error"]["message"], "Invalid texture coordinate");
}
