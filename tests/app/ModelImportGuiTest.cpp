// Model files of other formats (glTF, FBX, ...) opened in the viewer: through the open
// dialog, the importer child process with its progress dialog, herd files naming them, a
// failing or crashing importer and Cancel.
#include "GuiTestSupport.h"

#include "BentCylinder.h"

#include "app/ImportProgressDialog.h"
#include "bake/ImportProcess.h"
#include "camera/CameraFraming.h"
#include "herd/HerdBounds.h"
#include "herd/HierarchicalHerd.h"

#include <wx/button.h>
#include <wx/progdlg.h>

#include <sys/wait.h>

#include <cerrno>

namespace fs = std::filesystem;

namespace {

// The bent cylinder (three joints, a one-second clip) as a glTF file of the test data.
std::string bentCylinderFile(const std::string& name)
{
    const fs::path path = startup().dataDirectory / name;
    writeGltf(path, BentCylinder().gltf());
    return path.string();
}

// The viewer's importer with the stand-in program of the child-process tests, which crashes,
// fails or waits by the model's file name.
SkinFile fakeImport(const std::string& path, const fs::path& directory, const ImportRunProgress& progress)
{
    SkinFile file;
    try {
        ImportRun run = runImportProcess(path, ImportOptions{}, directory, progress, FLEXHERD_FAKE_IMPORTER, 1024);
        file.skins = std::move(run.skins);
        file.directory = run.directory;
    } catch (const Exception& e) {
        throw ModelImportException(e.message());
    }
    return file;
}

// True when this process has no child, running or unreaped.
bool noChildProcess()
{
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

class ModelImportTest : public GuiTest {
protected:
    void TearDown() override
    {
        m_core->setModelImporter(importModelFile);
        GuiTest::TearDown();
    }
};

} // namespace

TEST_F(ModelImportTest, AModelChosenInTheOpenDialogBecomesAHerdOfItsLevelsAndSurvivesAHerdFile)
{
    CameraRestorer cameras(m_core);
    const std::string model = bentCylinderFile("bent-cylinder.gltf");
    clearScene();
    {
        ScriptedDialogs dialogs({model});
        m_frame->files().onOpenSkin();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.unexpected, 0);
        // The viewer's own formats first, then every model extension, then everything.
        const std::string& wildcard = dialogs.shown[0].text;
        EXPECT_EQ(wildcard.rfind("Binary Skinning Data(*.bin)|*.bin|Text Files(*.txt)|*.txt|Model Files|", 0), 0u)
            << wildcard;
        for (const char* pattern : {"*.gltf;", "*.glb;", "*.fbx;", "*.dae;", "*.x;", "*.smd;", "*.md5mesh;", "*.obj"})
            EXPECT_NE(wildcard.find(pattern), std::string::npos) << pattern;
        const std::string last = "|All files(*.*)|*.*";
        EXPECT_EQ(wildcard.substr(wildcard.size() - last.size()), last) << wildcard;
    }
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    EXPECT_EQ(m_frame->importProgress().dialog(), nullptr);
    ASSERT_EQ(m_core->herds().size(), 1u);
    const auto& herd = *m_core->herds().front();
    // Three levels of about 1, 1/4 and 1/16 of the triangles, each with its shadow skin, and
    // 30 frames for the one-second clip.
    const unsigned vertices = BentCylinder::kRings * BentCylinder::kSegments;
    const unsigned triangles = 2 * (BentCylinder::kRings - 1) * BentCylinder::kSegments;
    ASSERT_EQ(herd.levels().size(), 3u);
    EXPECT_EQ(herd.skin()->vertexCount(), vertices);
    EXPECT_EQ(herd.skin()->triangleCount(), triangles);
    EXPECT_EQ(herd.skin()->frameCount(), 30u);
    EXPECT_EQ(herd.skin()->fileName(), model);
    for (std::size_t level = 1; level < 3; ++level) {
        const Skin& skin = *herd.levels()[level]->skin();
        EXPECT_LT(skin.triangleCount(), herd.levels()[level - 1]->skin()->triangleCount()) << level;
        EXPECT_GT(skin.triangleCount(), 0u) << level;
        EXPECT_EQ(skin.frameCount(), 30u);
    }
    EXPECT_TRUE(herd.skin()->nextSkin() != nullptr);
    EXPECT_EQ(m_core->totalAnimalCount(), 10u);
    // The 3 m cylinders stand where the start view sees every one of them.
    EXPECT_TRUE(boxInView(*m_core->perspectiveCamera(), instanceBounds(m_core->herds())));
    renderView();
    EXPECT_FALSE(m_view->rendererFailed());

    // A herd file names the model as its skin line and imports it again when read.
    const std::string herdFile = (startup().dataDirectory / "cylinders.herd").string();
    m_frame->files().saveHerdTo(herdFile);
    clearScene();
    m_frame->files().loadHerdFrom(herdFile);
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    ASSERT_EQ(m_core->herds().size(), 1u);
    EXPECT_EQ(m_core->herds().front()->skin()->fileName(), model);
    EXPECT_EQ(m_core->herds().front()->levels().size(), 3u);
    EXPECT_EQ(m_core->totalAnimalCount(), 10u);
}

TEST_F(ModelImportTest, AFailedOrCrashedImportIsReportedWithTheFileAndTheRestStillLoads)
{
    // A file the real importer cannot read, and a stand-in importer that crashes.
    const std::string broken = writeData("broken.gltf", "{ \"asset\": { \"version\": \"2.0\" }, \"meshes\": [ {");
    m_frame->files().openSkinFiles({broken, (startup().samples / "quadruped.bin").string()});
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(m_reports[0].caption, "Error importing model");
    EXPECT_NE(m_reports[0].message.find("'" + broken + "'"), std::string::npos) << m_reports[0].message;
    ASSERT_EQ(m_core->herds().size(), 1u);
    EXPECT_EQ(m_core->herds().front()->skin()->name(), "quadruped");

    m_reports.clear();
    m_core->setModelImporter(fakeImport);
    const std::string crashing = writeData("crash-model.fbx", "anything");
    m_frame->files().openSkinFiles({(startup().samples / "quadruped.bin").string(), crashing});
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_EQ(m_reports[0].caption, "Error importing model");
    EXPECT_EQ(m_reports[0].message,
              "Importing model '" + crashing + "' failed: the importer stopped on signal 11 (Segmentation fault).");
    EXPECT_EQ(m_frame->importProgress().dialog(), nullptr);
    EXPECT_TRUE(noChildProcess());
    // The viewer lives on with what loaded, and draws it.
    ASSERT_EQ(m_core->herds().size(), 1u);
    EXPECT_EQ(m_core->totalAnimalCount(), 10u);
    renderView();
    EXPECT_FALSE(m_view->rendererFailed());
}

TEST_F(ModelImportTest, CancelInTheProgressDialogEndsTheImporterAndLeavesNoHerd)
{
    // The stand-in reports one step and then waits until it is killed; the test presses the
    // progress dialog's Cancel once it shows that step.
    int updates = 0;
    std::string shownTitle, shownMessage;
    ImportProgressDialog& display = m_frame->importProgress();
    m_core->setModelImporter([&](const std::string& path, const fs::path& directory, const ImportRunProgress& progress) {
        return fakeImport(path, directory, [&](double fraction, const std::string& step) {
            wxProgressDialog* dialog = display.dialog();
            if (dialog != nullptr && ++updates == 3) {
                shownTitle = dialog->GetTitle().ToStdString();
                shownMessage = dialog->GetMessage().ToStdString();
                auto* cancel = dynamic_cast<wxButton*>(dialog->FindWindow(wxID_CANCEL));
                EXPECT_NE(cancel, nullptr);
                if (cancel) {
                    wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
                    click.SetEventObject(cancel);
                    cancel->GetEventHandler()->ProcessEvent(click);
                }
            }
            // Without a dialog, or when its Cancel did nothing, the waiting importer would never end.
            if (dialog == nullptr || updates > 100) {
                ADD_FAILURE() << "the import was not cancelled (" << updates << " updates)";
                return false;
            }
            return progress(fraction, step);
        });
    });
    const std::string waiting = writeData("wait-model.dae", "anything");
    m_frame->files().openSkinFiles({waiting});
    EXPECT_GE(updates, 3);
    EXPECT_EQ(shownTitle, "Importing model");
    EXPECT_EQ(shownMessage, "Importing 'wait-model.dae'\nReading the model");
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    EXPECT_TRUE(m_core->herds().empty());
    EXPECT_EQ(m_frame->importProgress().dialog(), nullptr);
    EXPECT_TRUE(noChildProcess());

    // Cancelling a model named by a herd file stops the herd file there, without a report: the
    // herds before the model stay.
    updates = 0;
    const std::string herdFile = writeData("with-model.herd", (startup().samples / "quadruped.bin").string() + "\n" +
                                                                  waiting + "\n");
    m_frame->files().loadHerdFrom(herdFile);
    EXPECT_GE(updates, 3);
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    ASSERT_EQ(m_core->herds().size(), 1u);
    EXPECT_EQ(m_core->herds().front()->skin()->name(), "quadruped");
    EXPECT_TRUE(noChildProcess());
}

TEST_F(ModelImportTest, AModelFarLargerThanTheSampleAnimalsIsFramedOnceLoaded)
{
    CameraRestorer cameras(m_core);
    // The bent cylinder 40 times over: 120 m tall, as a model in centimetres read as metres
    // would be. From the start view the camera stands among such animals.
    constexpr float kScale = 40.0f;
    GltfModel giant = BentCylinder().gltf();
    for (auto& p : giant.positions)
        for (float& c : p) c *= kScale;
    for (auto& joint : giant.skeleton)
        for (double& c : joint.translation) c *= kScale;
    for (auto& matrix : giant.inverseBindMatrices)
        for (int i = 12; i < 15; ++i) matrix[i] *= kScale;
    for (auto& track : giant.tracks)
        if (!track.rotation)
            for (auto& value : track.values)
                for (int i = 0; i < 3; ++i) value[i] *= kScale;
    const fs::path path = startup().dataDirectory / "giant.gltf";
    writeGltf(path, giant);

    const ProjectiveFixedYCamera startView = *m_core->perspectiveCamera();
    m_frame->files().openSkinFiles({path.string()});
    EXPECT_TRUE(m_reports.empty()) << m_reports.front().message;
    ASSERT_EQ(m_core->herds().size(), 1u);
    ASSERT_EQ(m_core->totalAnimalCount(), 10u);
    const BoundingBox bounds = instanceBounds(m_core->herds());
    EXPECT_GT(bounds.maximum.y - bounds.minimum.y, 100.0f);
    EXPECT_FALSE(boxInView(startView, bounds));
    // Framed at the window's shape: every animal whole in the view.
    EXPECT_TRUE(boxInView(*m_core->perspectiveCamera(), bounds));
    EXPECT_NEAR(m_core->perspectiveCamera()->effectiveAspect(),
                double(m_view->clientSize().x) / double(m_view->clientSize().y), 1e-9);

    // The sample animals, which the start view was made for, leave the camera alone.
    const ProjectiveFixedYCamera framed = *m_core->perspectiveCamera();
    m_frame->files().openSkinFiles({(startup().samples / "quadruped.bin").string()});
    EXPECT_EQ(m_core->perspectiveCamera()->lookAtPoint(), framed.lookAtPoint());
    EXPECT_EQ(m_core->perspectiveCamera()->dolly(), framed.dolly());
}
