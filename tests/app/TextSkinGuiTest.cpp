// Text skins through the file-opening command, and the OBJ export of the view.
#include "GuiTestSupport.h"

#include "app/MenuIds.h"

#include "herd/HierarchicalHerd.h"
#include "skin/BinarySkinLoader.h"
#include "skin/ObjExport.h"
#include "skin/ObjFile.h"

#include <cmath>
#include <iostream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesOfHerds(GLView* view)
{
    std::vector<std::string> names;
    for (const auto& herd : view->core().herds()) names.push_back(herd->skin()->name());
    return names;
}

std::string sampleTextSkin()
{
    return (startup().samples / "quadruped.txt").string();
}

} // namespace

TEST_F(GuiTest, SampleTextSkinOpensAsOneHerdNamedAfterTheFile)
{
    clearScene();
    m_frame->files().openFile(sampleTextSkin());
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    ASSERT_EQ(namesOfHerds(m_view), std::vector<std::string>{"quadruped"});
    const SkinFile binary = loadBinarySkinFile((startup().samples / "quadruped.bin").string());
    ASSERT_FALSE(binary.skins.empty());
    const Skin& skin = *m_core->herds().front()->skin();
    EXPECT_EQ(skin.vertexCount(), binary.skins.front()->vertexCount());
    EXPECT_EQ(skin.triangleCount(), binary.skins.front()->triangleCount());
    EXPECT_EQ(skin.fileName(), sampleTextSkin());

    // It draws like the binary quadruped it was made from: the seeded scene puts four animals
    // of either in the same places, so the pictures cover the same pixels (up to the coarser
    // levels of detail the binary file gives distant animals). Without ground and shadows,
    // which only the binary skin casts, only animals differ from the empty view (a text skin
    // opened without a lighting file is a flat grey of 0.5 x 0.5, near the background but not it).
    m_core->setShowStatistics(false);
    choose(kGroundPlaneId);
    choose(kShadowsId);
    ASSERT_FALSE(m_frame->groundPlane());
    ASSERT_FALSE(m_frame->shadows());
    const auto herdPicture = [&](const std::string& path) {
        clearScene();
        m_core->scene().reseed(m_seed);
        m_frame->files().openFile(path);
        m_core->setAnimalCount(4);
        m_core->setFrame(0);
        renderView();
        return frameBuffer();
    };
    const std::vector<unsigned char> textPicture = herdPicture(sampleTextSkin());
    EXPECT_FALSE(m_view->rendererFailed());
    const std::vector<unsigned char> binaryPicture = herdPicture((startup().samples / "quadruped.bin").string());
    m_core->setAnimalCount(0);
    renderView();
    const std::vector<unsigned char> empty = frameBuffer();
    choose(kGroundPlaneId);
    choose(kShadowsId);
    EXPECT_TRUE(m_reports.empty());

    std::size_t covered = 0, mismatched = 0;
    for (std::size_t i = 0; i + 2 < empty.size(); i += 3) {
        const auto differs = [&](const std::vector<unsigned char>& picture) {
            return picture[i] != empty[i] || picture[i + 1] != empty[i + 1] || picture[i + 2] != empty[i + 2];
        };
        covered += differs(textPicture);
        mismatched += differs(textPicture) != differs(binaryPicture);
    }
    EXPECT_GT(covered, empty.size() / 3 / 100) << "the text skin's animals cover almost nothing";
    EXPECT_LT(mismatched, covered / 100) << "the text skin's animals stand elsewhere than the binary skin's";
    std::cout << "text skin pixels " << covered << ", against the binary skin " << mismatched << " differ\n";
}

TEST_F(GuiTest, TheOpenCommandTakesTextAndBinarySkinsTogether)
{
    m_frame->files().openSkinFiles({sampleTextSkin(), startup().validSkin.string()});
    EXPECT_TRUE(m_reports.empty());
    EXPECT_EQ(namesOfHerds(m_view), (std::vector<std::string>{"quadruped", "herd-fine"}));
    EXPECT_EQ(m_core->totalAnimalCount(), 10u) << "both herds grow, so the top-up reaches ten exactly";
}

TEST_F(GuiTest, AMalformedMeshNamedByATextSkinIsReportedAndLoadingGoesOn)
{
    clearScene();
    writeData("broken.obj", "v 0 0 0\nv 1 2\n");
    const std::string skin = writeData("broken.txt", "*OBJFILENAME\nbroken.obj\n");
    m_frame->files().openFile(skin);
    m_frame->files().openFile(startup().validSkin.string());
    writeData("fine.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string badCommand = writeData("badcommand.txt", "*OBJFILENAME\nfine.obj\n*SKINNING\n");
    m_frame->files().openFile(badCommand);
    const std::vector<ErrorReport> expected = {
        {"Error reading file", "Invalid vertex"},
        {"Error reading skin", "Caught exception in line 3, column 9 of .skin file '" + badCommand +
                                   "':\n*SKINNING\n         ^ Unknown command: 'SKINNING'"},
    };
    EXPECT_EQ(m_reports, expected);
    EXPECT_EQ(namesOfHerds(m_view), std::vector<std::string>{"herd-fine"});
}

TEST_F(GuiTest, ExportObjWritesEveryAnimalOfTheView)
{
    clearScene();
    m_frame->files().openFile(sampleTextSkin());
    m_frame->files().openFile(startup().secondValidSkin.string());
    const auto& herds = m_core->herds();
    ASSERT_EQ(herds.size(), 2u);
    m_core->setAnimalCount(5);
    // The scene is seeded: with the test seed both herds get some of the five.
    ASSERT_GT(herds.front()->instanceCount(), 0u);
    ASSERT_GT(herds.back()->instanceCount(), 0u);
    std::size_t vertices = 0;
    std::size_t faces = 0;
    for (const auto& herd : herds) {
        vertices += std::size_t(herd->instanceCount()) * herd->skin()->vertexCount();
        faces += std::size_t(herd->instanceCount()) * herd->skin()->triangleCount();
    }

    const std::string path = (startup().dataDirectory / "view.obj").string();
    m_frame->files().exportObjTo(path);
    EXPECT_TRUE(m_reports.empty());
    const ObjFile back(path);
    EXPECT_EQ(back.vertexCount(), vertices);
    EXPECT_EQ(back.normals().size(), vertices);
    EXPECT_EQ(back.faceCount(), faces);
    EXPECT_EQ(back.groupCount(), std::size_t(m_core->totalAnimalCount()));

    // Every animal's first vertex where its herd puts it, in the group named after the skin and
    // the animal's number in its herd.
    for (const auto& herd : herds) {
        const Skin& skin = *herd->skin();
        for (unsigned i = 0; i < herd->instanceCount(); ++i) {
            const HerdInstance animal = herd->instance(i);
            const std::string name = exportGroupName(skin.name(), i);
            SCOPED_TRACE(name);
            const Vector3f p = skin.frameCount() ? skin.framePositions(animal.frame % skin.frameCount())[0]
                                                 : skin.restPositions()[0];
            const Matrix4f& m = animal.transform;
            std::size_t group = 0;
            while (group < back.groupCount() && back.group(group).name() != name) ++group;
            ASSERT_LT(group, back.groupCount());
            const std::int32_t v = back.group(group).face(0)[0].vertex; // 1-based, into this animal's vertices
            const std::int32_t first = v - static_cast<std::int32_t>(skin.triangle(0).index[0]);
            const Vector3d& exported = back.vertices()[static_cast<std::size_t>(first - 1)];
            for (int r = 0; r < 3; ++r) {
                const double expected = m(r, 0) * p.x + m(r, 1) * p.y + m(r, 2) * p.z + m(r, 3);
                EXPECT_NEAR(exported[r], expected, 1e-4 * (1.0 + std::fabs(expected))) << r;
            }
        }
    }

    // Nothing to export: the error box, and the earlier file stays.
    clearScene();
    m_frame->files().exportObjTo(path);
    const std::vector<ErrorReport> expected = {{"Error exporting obj file", "No nonempty groups in .obj file."}};
    EXPECT_EQ(m_reports, expected);
    EXPECT_EQ(ObjFile(path).vertexCount(), vertices);
}
