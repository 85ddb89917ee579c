// The OBJ reader and writer and the MTL reader: what they keep, what they report on standard
// error, and every message with its position.
#include "skin/ObjFile.h"

#include "TempDirectory.h"
#include "foundation/Exception.h"
#include "foundation/Sanitizers.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Reads `text` as an .obj file in a fresh directory (with `mtl` as lib.mtl when given).
struct ObjFixture {
    TempDirectory dir{"obj"};
    std::string path = dir.file("mesh.obj");

    ObjFile read(const std::string& text)
    {
        writeText(path, text);
        return ObjFile(path);
    }
    ParserException parserError(const std::string& text)
    {
        writeText(path, text);
        try {
            ObjFile file(path);
        } catch (const ParserException& e) {
            return e;
        }
        ADD_FAILURE() << "no ParserException for:\n" << text;
        return ParserException("", "", 0, 0);
    }
};

const char* const kCube = "# two faces\n"
                          "v 0 0 0\n"
                          "v 1 0 0\n"
                          "v 1 1 0\n"
                          "v 0 1 -2.5e-1 # a comment after the numbers\n"
                          " v 9 9 9\n"
                          "vt 0.5 0.25\n"
                          "vt 1 2 3\n"
                          "vn 0 0 1\n"
                          "g zeta\n"
                          "f 1/1/1 2/2/1 3//1\n"
                          "g alpha\n"
                          "f 1 2 3 4\n"
                          "g zeta\n"
                          "f 4/1 3/2 2/1\n";

// In a death test's child: exits 0 when path parses with `faces` faces in at most 2 GB of
// address space (unlimited under the address sanitizer, which bounds allocations itself), else 1 (std::bad_alloc ends the child otherwise).
[[noreturn]] void parseWithin2GB(const std::string& path, std::size_t faces)
{
    if (!kAddressSanitizer) {
        const rlim_t bytes = rlim_t(2) << 30;
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
    }
    std::cerr.setstate(std::ios::failbit); // the statistics are not what this is about
    const ObjFile file(path);
    std::exit(file.faceCount() == faces ? 0 : 1);
}

} // namespace

TEST(ObjReader, KeepsVertexDataAndSortsGroupsByName)
{
    ObjFixture fixture;
    const ObjFile obj = fixture.read(kCube);
    EXPECT_EQ(obj.name(), fixture.path);
    EXPECT_EQ(obj.fileName(), fixture.path);
    // The line starting with a blank is not a vertex.
    ASSERT_EQ(obj.vertexCount(), 4u);
    EXPECT_EQ(obj.vertices()[3], Vector3d(0, 1, -0.25));
    ASSERT_EQ(obj.textureCoordinates().size(), 2u);
    EXPECT_EQ(obj.textureCoordinates()[0], Vector3d(0.5, 0.25, 0.0));
    EXPECT_EQ(obj.textureCoordinates()[1], Vector3d(1, 2, 3));
    ASSERT_EQ(obj.normals().size(), 1u);

    // Equal names are not merged; sorting puts them side by side in file order.
    ASSERT_EQ(obj.groupCount(), 3u);
    EXPECT_EQ(obj.group(0).name(), "alpha");
    EXPECT_EQ(obj.group(1).name(), "zeta");
    EXPECT_EQ(obj.group(2).name(), "zeta");
    EXPECT_EQ(obj.group(1).face(0)[2], (ObjCorner{3, false, 0, true, 1}));
    EXPECT_EQ(obj.group(2).face(0)[0], (ObjCorner{4, true, 1, false, 0}));
    EXPECT_EQ(obj.group(0).face(0).size(), 4u);
    EXPECT_EQ(obj.group(0).face(0)[3], (ObjCorner{4, false, 0, false, 0}));
    EXPECT_EQ(obj.faceCount(), 3u);
}

// Storage for faces is reserved from the text left in the file. Reserving it for every group
// would add up to the square of the file's size: a 9.5 MB file of 250,000 one-face groups
// would ask for terabytes and end the program with std::bad_alloc. Parsed here in a child
// process limited to 2 GB of address space.
TEST(ObjReaderDeathTest, ManyGroupsInALargeFileFitInMemoryLinearInItsSize)
{
    ObjFixture fixture;
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (int g = 0; g < 250000; ++g) text += "g a\nf 1 2 3                          \n";
    writeText(fixture.path, text);
    ASSERT_GT(text.size(), std::size_t(9) << 20);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(parseWithin2GB(fixture.path, 250000), ::testing::ExitedWithCode(0), "");
}

TEST(ObjReader, FacesBeforeAnyGroupGoToTheDefaultGroup)
{
    ObjFixture fixture;
    const ObjFile obj = fixture.read("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\ng b\nf -3 -2 -1\n");
    ASSERT_EQ(obj.groupCount(), 2u);
    EXPECT_EQ(obj.group(0).name(), "b");
    EXPECT_EQ(obj.group(1).name(), "default");
    // Relative numbers are kept as written.
    EXPECT_EQ(obj.group(0).face(0)[0].vertex, -3);
}

TEST(ObjReader, GroupNamesDropBlanksAndMayBeEmpty)
{
    ObjFixture fixture;
    const ObjFile obj = fixture.read("v 0 0 0\ng  left  leg \nf 1 1 1\ng\nf 1 1 1\n");
    ASSERT_EQ(obj.groupCount(), 2u);
    EXPECT_EQ(obj.group(0).name(), "");
    EXPECT_EQ(obj.group(1).name(), "leftleg");
}

TEST(ObjReader, WritesProgressWarningsAndStatisticsToStandardError)
{
    ObjFixture fixture;
    testing::internal::CaptureStderr();
    fixture.read("o thing\ns 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1 2 3\nf 3 2 1\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Parsing .obj file '" + fixture.path + "'.\n" +
                       "Warning: ignoring object names.\n"
                       "Warning: ignoring smoothing groups.\n"
                       "Parsed obj file '" + fixture.path + "'; statistics:\n" +
                       "   1 groups,\n"
                       "   2 faces,\n"
                       "   3 vertices,\n"
                       "   1 normals, \n"
                       "   0 texture coordinates, \n");
}

TEST(ObjReader, ReportsMalformedLinesWithTheirPosition)
{
    struct Case {
        const char* text;
        std::string message;
        int line;
        int column;
    };
    ObjFixture fixture;
    const std::vector<Case> cases = {
        {"v 1 2 3\nv 1 2\n", "Invalid vertex", 2, 1},
        {"v 1 2 x\n", "Invalid vertex", 1, 1},
        {"v 1 2 3x\n", "Invalid vertex", 1, 1},
        {"\n\nvn 0 nan 1\n", "Invalid normal", 3, 1},
        {"vt 1\n", "Invalid texture coordinate", 1, 2},
        {"vt 1 2 3 4\n", "Invalid texture coordinate", 1, 2},
    };
    for (const Case& c : cases) {
        const ParserException e = fixture.parserError(c.text);
        EXPECT_EQ(e.message(), c.message) << c.text;
        EXPECT_EQ(e.fileName(), fixture.path);
        EXPECT_EQ(e.line(), c.line) << c.text;
        EXPECT_EQ(e.column(), c.column) << c.text;
    }
    const std::vector<std::pair<std::string, int>> invalidLines = {
        {"vx 1 2 3", 2},     // unknown keyword
        {"f 1 a 3", 2},      // a corner that is not a number
        {"f 1 2/x 3", 2},
        {"f 1 2// 3", 2},
        {"f 1 2 3 # tail", 2},
        {"f 1 99999999999 3", 2},
        {"mtl x", 2},
    };
    for (const auto& [line, number] : invalidLines) {
        const ParserException e = fixture.parserError("v 0 0 0\n" + line + "\r\n");
        EXPECT_EQ(e.message(), "Invalid line in .obj file '" + fixture.path + "': " + line);
        EXPECT_EQ(e.line(), number);
        EXPECT_EQ(e.column(), 1);
    }
}

TEST(ObjReader, RejectsOverlongLinesInsteadOfCuttingThem)
{
    ObjFixture fixture;
    const ParserException e = fixture.parserError("v 0 0 0\ng " + std::string(10000, 'a') + "\n");
    EXPECT_EQ(e.line(), 2);
    EXPECT_NE(e.message().find("longer than 9999"), std::string::npos);
    // 9999 characters are fine.
    EXPECT_NO_THROW(fixture.read("g " + std::string(9997, 'a') + "\n"));
}

TEST(ObjReader, MissingFilesAndNames)
{
    TempDirectory dir("obj-missing");
    const std::string path = dir.file("absent.obj");
    try {
        ObjFile obj(path);
        FAIL();
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Couldn't open .obj file '" + path + "'");
    }
    try {
        ObjFile obj("", "named");
        FAIL();
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(), "Empty filename.");
    }
    // A directory is no file either.
    EXPECT_THROW(ObjFile obj(dir.path().string()), IOException);
}

TEST(ObjMaterials, GroupsTakeTheCurrentMaterialUnlessTheyHaveFaces)
{
    ObjFixture fixture;
    writeText(fixture.dir.file("a.mtl"), "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n");
    writeText(fixture.dir.file("b.mtl"), "# second library\n\nnewmtl red\nKd 0.5 0 0\n");
    const ObjFile obj = fixture.read("mtllib a.mtl\nmtllib b.mtl\nv 0 0 0\n"
                                     "g a\nusemtl blue\nf 1 1 1\nusemtl red\n" // a keeps blue
                                     "g b\n"                                   // b starts with red
                                     "g c\nusemtl blue\n"                      // c takes blue
                                     "f 1 1 1\n");
    ASSERT_EQ(obj.materialLibraries().size(), 2u);
    EXPECT_EQ(obj.materialLibraries()[0]->name(), "a.mtl");
    ASSERT_EQ(obj.groupCount(), 3u);
    EXPECT_EQ(obj.group(0).material()->name(), "blue");
    // The last library that has "red" supplies it.
    ASSERT_TRUE(obj.group(1).material());
    EXPECT_EQ(obj.group(1).material()->Kd, Vector3d(0.5, 0, 0));
    EXPECT_EQ(obj.group(2).material()->name(), "blue");
}

TEST(ObjMaterials, ALibraryNamedAgainIsReadOnceAndWrittenBackAsOften)
{
    ObjFixture fixture;
    writeText(fixture.dir.file("a.mtl"), "newmtl red\nKd 1 0 0\n");
    writeText(fixture.dir.file("b.mtl"), "newmtl red\nKd 0.5 0 0\n");
    const std::string text = "mtllib a.mtl\nmtllib b.mtl\nmtllib a.mtl\nv 0 0 0\ng x\nusemtl red\nf 1 1 1\n";
    writeText(fixture.path, text);
    testing::internal::CaptureStderr();
    const ObjFile obj(fixture.path);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string parsingA = "Parsing .mtl file '" + fixture.dir.file("a.mtl") + "'.";
    ASSERT_NE(err.find(parsingA), std::string::npos);
    EXPECT_EQ(err.find(parsingA), err.rfind(parsingA)) << "a.mtl was read twice";
    ASSERT_EQ(obj.materialLibraries().size(), 3u);
    EXPECT_EQ(obj.materialLibraries()[2], obj.materialLibraries()[0]);
    // Named last, a.mtl is the last library with "red".
    ASSERT_TRUE(obj.group(0).material());
    EXPECT_EQ(obj.group(0).material()->Kd, Vector3d(1, 0, 0));
    EXPECT_EQ(obj.text().substr(0, 39), "mtllib a.mtl\nmtllib b.mtl\nmtllib a.mtl\n");
}

TEST(ObjMaterials, DefaultGroupStartsWithoutMaterial)
{
    ObjFixture fixture;
    writeText(fixture.dir.file("a.mtl"), "newmtl red\n");
    const ObjFile obj = fixture.read("mtllib a.mtl\nusemtl red\nv 0 0 0\nf 1 1 1\n");
    ASSERT_EQ(obj.groupCount(), 1u);
    EXPECT_FALSE(obj.group(0).material());
}

TEST(ObjMaterials, UnknownMaterialIsAnErrorEvenIfNoFaceUsesIt)
{
    ObjFixture fixture;
    writeText(fixture.dir.file("a.mtl"), "newmtl red\n");
    writeText(fixture.path, "mtllib a.mtl\nusemtl green\n");
    try {
        ObjFile obj(fixture.path);
        FAIL();
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(),
                  "Material 'green' not found in any of the material libraries for '" + fixture.path + "'.");
    }
}

TEST(MtlReader, ReadsPropertiesAndTextureOptions)
{
    TempDirectory dir("mtl");
    const std::string path = dir.file("m.mtl");
    writeText(path, "newmtl fur\n"
                    "Ka 0.1 0.2 0.3\nKd 0.4 0.5 0.6\nKs 1 1 1\n"
                    "Tr 0.75\nNs 12\nNi 1.5\nillum 2\n"
                    "map_Kd -s 2 3 -o -0.5 .25 1 -blendu fur.png\n"
                    "Tf 1 1 1\nmap_bump bump.png\n"
                    "newmtl plain\nd 0.5\n");
    testing::internal::CaptureStderr();
    const ObjMaterialLibrary library(path);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Parsing .mtl file '" + path + "'.\n" +
                       "Warning: unknown texture option: -blendu\n"
                       "Throwing out mystery material attribute 'Tf'.\n"
                       "Throwing out bump map.\n");
    const auto fur = library.material("fur");
    ASSERT_TRUE(fur);
    EXPECT_EQ(fur->Ka, Vector3d(0.1, 0.2, 0.3));
    EXPECT_EQ(fur->Kd, Vector3d(0.4, 0.5, 0.6));
    EXPECT_EQ(fur->Ks, Vector3d(1, 1, 1));
    EXPECT_EQ(fur->Tr, 0.75);
    EXPECT_EQ(fur->Ns, 12.0);
    EXPECT_EQ(fur->Ni, 1.5);
    EXPECT_EQ(fur->illum, 2u);
    EXPECT_EQ(fur->textureFileName, "fur.png");
    EXPECT_EQ(fur->textureScale, Vector3d(2, 3, 1));
    EXPECT_EQ(fur->textureOffset, Vector3d(-0.5, 0.25, 1));

    const auto plain = library.material("plain");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->Tr, 0.5);
    EXPECT_EQ(plain->Ka, Vector3d(0, 0, 0));
    EXPECT_EQ(plain->Kd, Vector3d(1, 1, 1));
    EXPECT_EQ(plain->Ns, 100.0);
    EXPECT_EQ(plain->Ni, 1.0);
    EXPECT_EQ(plain->textureFileName, "");
    EXPECT_EQ(plain->textureScale, Vector3d(1, 1, 1));
    EXPECT_FALSE(library.material("absent"));
}

TEST(MtlReader, ReportsEveryErrorWithLineAndPath)
{
    TempDirectory dir("mtl-errors");
    const std::string path = dir.file("m.mtl");
    const std::string at2 = " at line 2 of '" + path + "'.";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Kd 1 1 1\n", "Error: encountered material property before 'newmtl' command at line 1 of '" + path + "'."},
        {"newmtl a\nfoo 1\n", "Error: unknown command 'foo'" + at2},
        {"newmtl a\nillum -1\n", "Expected uint for property 'illum'" + at2},
        {"newmtl a\nillum\n", "Expected uint for property 'illum'" + at2},
        {"newmtl a\nNs high\n", "Expected double for property 'Ns'" + at2},
        {"newmtl a\nTr\n", "Expected double for property 'Tr'" + at2},
        {"newmtl a\nNi 1 2\n", "Expected double for property 'Ni'" + at2},
        {"newmtl a\nKa 1 1\n", "Expected 3-vector for property 'Ka'" + at2},
        {"newmtl a\nKs 1 1 z\n", "Expected 3-vector for property 'Ks'" + at2},
        {"newmtl a\nmap_Kd a.png b.png\n", "Unexpected extra texture filename" + at2},
        {"newmtl a\nmap_Ka -s a.png\n", "Expected: double" + at2},
        {"newmtl a\nmap_Kd -o 1x a.png\n", "Expected: double" + at2},
        {"newmtl a\nmap_Kd 0.5 a.png\n", "Unexpected real" + at2},
        {"newmtl a\nmap_Kd -s 1 1 1 1 a.png\n", "Unexpected real" + at2},
    };
    for (const auto& [text, message] : cases) {
        writeText(path, text);
        try {
            ObjMaterialLibrary library(path);
            ADD_FAILURE() << "accepted:\n" << text;
        } catch (const CreationException& e) {
            EXPECT_EQ(e.message(), message) << text;
        }
    }
    try {
        ObjMaterialLibrary library(dir.file("absent.mtl"));
        FAIL();
    } catch (const CreationException& e) {
        EXPECT_EQ(e.message(), "Couldn't open .mtl file '" + dir.file("absent.mtl") + "'");
    }
}

TEST(ObjWriter, WritesTenSignificantDigitsAndReadsBack)
{
    ObjFixture fixture;
    writeText(fixture.dir.file("lib.mtl"), "newmtl skin\n");
    const ObjFile obj = fixture.read("mtllib lib.mtl\n"
                                     "v 0.12345678901234 -1e-20 3\n"
                                     "v 1 0 0\nv 0 1 0\n"
                                     "vt 0.5 0.25\n"
                                     "vn 0 0 1\n"
                                     "g b\nf 1/1/1 2//1 3/1\n"
                                     "g a\nusemtl skin\nf 3 2 1\n"
                                     "g empty\n");
    const std::string out = fixture.dir.file("out.obj");
    obj.write(out);
    EXPECT_EQ(readText(out), "mtllib lib.mtl\n"
                             "v 0.123456789 -1e-20 3\n"
                             "v 1 0 0\n"
                             "v 0 1 0\n"
                             "vt 0.5 0.25 0\n"
                             "vn 0 0 1\n"
                             "g a\n"
                             "usemtl skin\n"
                             "f 3 2 1\n"
                             "g b\n"
                             "f 1/1/1 2//1 3/1\n");
    const ObjFile back(out);
    EXPECT_EQ(back.vertexCount(), 3u);
    EXPECT_EQ(back.groupCount(), 2u);
    EXPECT_EQ(back.group(1).face(0)[1], obj.group(1).face(0)[1]);
}

TEST(ObjWriter, AModelWithoutFacesLeavesTheOldFileInPlace)
{
    TempDirectory dir("obj-write");
    const std::string out = dir.file("out.obj");
    writeText(out, "previous contents\n");
    ObjFile model(ObjFile::Empty{}, "export", out);
    ObjFile::Group empty("nothing");
    model.append({Vector3d(1, 2, 3)}, {}, {}, {empty});
    try {
        model.write(out);
        FAIL();
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "No nonempty groups in .obj file.");
    }
    EXPECT_EQ(readText(out), "previous contents\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1)
        << "the temporary file is removed";

    const std::string blocked = dir.file("no-such-dir/out.obj");
    ObjFile::Group one("one");
    const ObjCorner corner{1, false, 0, false, 0};
    const ObjCorner face[3] = {corner, corner, corner};
    one.addFace(face);
    model.append({}, {}, {}, {one});
    try {
        model.write(blocked);
        FAIL();
    } catch (const IOException& e) {
        EXPECT_EQ(e.message(), "Unable to open file '" + blocked + "' for writing.");
    }
}

TEST(ObjWriter, AppendShiftsCornerNumbersPastEarlierData)
{
    ObjFile model(ObjFile::Empty{}, "export", "x.obj");
    for (int i = 0; i < 2; ++i) {
        ObjFile::Group group("g" + std::to_string(i));
        const ObjCorner face[3] = {{1, false, 0, true, 1}, {2, false, 0, true, 2}, {3, false, 0, true, 3}};
        group.addFace(face);
        model.append({Vector3d(), Vector3d(), Vector3d()}, {Vector3d(), Vector3d(), Vector3d()}, {}, {group});
    }
    ASSERT_EQ(model.groupCount(), 2u);
    EXPECT_EQ(model.group(1).face(0)[0], (ObjCorner{4, false, 0, true, 4}));
    EXPECT_EQ(model.group(1).face(0)[2], (ObjCorner{6, false, 0, true, 6}));
    EXPECT_EQ(model.text().substr(model.text().find("g g1")), "g g1\nf 4//4 5//5 6//6\n");
}

TEST(ObjWriter, LargeModelsAreWrittenInPiecesThatJoinUp)
{
    TempDirectory dir("obj-large");
    ObjFile model(ObjFile::Empty{}, "big", dir.file("big.obj"));
    std::vector<Vector3d> vertices;
    for (int i = 0; i < 60000; ++i) vertices.emplace_back(i * 0.001, -i * 0.5, 1.0 / (i + 1));
    ObjFile::Group group("mesh");
    for (int i = 1; i + 2 <= 60000; ++i) {
        const ObjCorner face[3] = {{i, false, 0, false, 0}, {i + 1, false, 0, false, 0}, {i + 2, false, 0, false, 0}};
        group.addFace(face);
    }
    model.append(vertices, {}, {}, {group});
    const std::string text = model.text();
    ASSERT_GT(text.size(), std::size_t(2) << 20); // more than one piece
    model.write(dir.file("big.obj"));
    EXPECT_TRUE(readText(dir.file("big.obj")) == text);
    const ObjFile back(dir.file("big.obj"));
    EXPECT_EQ(back.vertexCount(), 60000u);
    EXPECT_EQ(back.faceCount(), 59998u);
    EXPECT_EQ(back.vertices()[59999].y, -29999.5);
}
