// The import as a child process: results, progress, cancellation, and a child that fails,
// crashes or exhausts its memory, none of which may take the caller down.
#include "TempDirectory.h"

#include "bake/ImportProcess.h"
#include "bake/ModelImport.h"
#include "foundation/Exception.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

const std::string kModels = FLEXHERD_ASSIMP_MODELS;
const std::filesystem::path kImporter = FLEXHERD_IMPORT_PROGRAM_FOR_TESTS;
const std::filesystem::path kFake = FLEXHERD_FAKE_IMPORTER;
constexpr std::size_t kMemoryLimit = 2048;

std::string failureOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const IOException& e) {
        return e.message();
    }
    return "(no failure)";
}

TEST(ImportProcess, TheChildsSkinsMatchTheImportInThisProcess)
{
    const TempDirectory directory("child-import");
    const std::string path = kModels + "/FBX/animation_with_skeleton.fbx";
    std::vector<std::pair<double, std::string>> steps;
    const ImportRun run = runImportProcess(
        path, ImportOptions{}, directory.path(),
        [&](double fraction, const std::string& step) {
            if (steps.empty() || steps.back().second != step) steps.emplace_back(fraction, step);
            return true;
        },
        kImporter, kMemoryLimit);
    ASSERT_FALSE(run.cancelled);
    ASSERT_EQ(run.skins.size(), 3u);
    EXPECT_EQ(run.skinFile, directory.path() / "animation_with_skeleton.bin");
    EXPECT_EQ(run.directory, directory.path());
    EXPECT_NE(run.summary.find("13 bones"), std::string::npos) << run.summary;
    for (const auto& skin : run.skins) EXPECT_EQ(skin->fileName(), path);
    // Progress rises from reading to the end, through every level.
    ASSERT_GE(steps.size(), 6u);
    EXPECT_EQ(steps.front().second, "Reading the model");
    EXPECT_EQ(steps.back(), std::make_pair(1.0, std::string("Done")));
    for (std::size_t i = 1; i < steps.size(); ++i) EXPECT_GE(steps[i].first, steps[i - 1].first);

    // The same bytes as an import in this process: results do not depend on the process.
    const auto local = importedSkins(importModel(path, ImportOptions{}), path);
    for (std::size_t l = 0; l < local.size(); ++l) {
        EXPECT_EQ(run.skins[l]->restPositions(), local[l]->restPositions());
        EXPECT_EQ(run.skins[l]->bones(), local[l]->bones());
        EXPECT_EQ(run.skins[l]->displacementBasis(), local[l]->displacementBasis());
        EXPECT_EQ(run.skins[l]->meanLighting(), local[l]->meanLighting());
    }
}

TEST(ImportProcess, FailuresComeBackAsErrorsNamingTheModel)
{
    const TempDirectory directory("child-failures");
    const auto progress = [](double, const std::string&) { return true; };
    const std::string malformed = kModels + "/glTF2/IndexOutOfRange/IndexOutOfRange.gltf";
    EXPECT_EQ(failureOf([&] { runImportProcess(malformed, ImportOptions{}, directory.path(), progress, kImporter, kMemoryLimit); })
                  .rfind("Unable to import model '" + malformed + "': ", 0),
              0u);
    // Hundreds of gigabytes asked for: the child's allocations fail, the caller lives on.
    const std::string greedy = kModels + "/invalid/OutOfMemory.off";
    const std::string message =
        failureOf([&] { runImportProcess(greedy, ImportOptions{}, directory.path(), progress, kImporter, kMemoryLimit); });
    EXPECT_NE(message.find("'" + greedy + "'"), std::string::npos) << message;

    const std::string crash = failureOf(
        [&] { runImportProcess("/models/crash.fbx", ImportOptions{}, directory.path(), progress, kFake, kMemoryLimit); });
    EXPECT_EQ(crash, "Importing model '/models/crash.fbx' failed: the importer stopped on signal " + std::to_string(SIGSEGV) +
                         " (" + strsignal(SIGSEGV) + ").");
    EXPECT_EQ(failureOf([&] { runImportProcess("/m/fail.x", ImportOptions{}, directory.path(), progress, kFake, kMemoryLimit); }),
              "Unable to import model '/m/fail.x': broken.");
    EXPECT_NE(failureOf([&] { runImportProcess("/m/usage.x", ImportOptions{}, directory.path(), progress, kFake, kMemoryLimit); })
                  .find("ended with status 2: flexherd-import: unknown option '--bogus'"),
              std::string::npos);
    EXPECT_NE(failureOf([&] {
                  runImportProcess("/m/a.x", ImportOptions{}, directory.path(), progress, directory.path() / "missing", kMemoryLimit);
              }).find("Unable to run the model importer"),
              std::string::npos);
    // Nothing is left behind.
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
}

TEST(ImportProcess, CancelEndsTheChild)
{
    const TempDirectory directory("child-cancel");
    int calls = 0;
    std::string lastStep;
    const ImportRun run = runImportProcess(
        "/models/wait.fbx", ImportOptions{}, directory.path(),
        [&](double fraction, const std::string& step) {
            ++calls;
            lastStep = step;
            // The child waits forever; the progress line is what tells us it is running.
            return !(fraction == 0.125 && step == "Reading the model");
        },
        kFake, kMemoryLimit);
    EXPECT_TRUE(run.cancelled);
    EXPECT_TRUE(run.skins.empty());
    EXPECT_EQ(lastStep, "Reading the model");
    EXPECT_GE(calls, 1);
    EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
}

TEST(ImportProcess, AnotherImportOfOneModelGetsFilesOfItsOwn)
{
    const TempDirectory directory("child-twice");
    const std::string path = kModels + "/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
    const auto progress = [](double, const std::string&) { return true; };
    const ImportRun first = runImportProcess(path, ImportOptions{}, directory.path(), progress, kImporter, kMemoryLimit);
    const ImportRun second = runImportProcess(path, ImportOptions{}, directory.path(), progress, kImporter, kMemoryLimit);
    EXPECT_EQ(first.skinFile.filename(), "BoxTextured.bin");
    EXPECT_EQ(second.skinFile.filename(), "BoxTextured-2.bin");
    EXPECT_EQ(first.skins.front()->textureFileName(), "BoxTextured.png");
    EXPECT_EQ(second.skins.front()->textureFileName(), "BoxTextured-2.png");
    EXPECT_TRUE(std::filesystem::exists(directory.path() / "BoxTextured.png"));
    EXPECT_TRUE(std::filesystem::exists(directory.path() / "BoxTextured-2.png"));
    EXPECT_EQ(first.warnings, std::vector<std::string>{"The model is too small for 3 levels; it has 1."});
}

TEST(ImportProcess, AsASkinFileFailuresAreImportExceptions)
{
    const TempDirectory directory("child-skin-file");
    const auto progress = [](double, const std::string&) { return true; };
    const SkinFile good = importModelFile(kModels + "/X/anim_test.x", directory.path(), progress);
    EXPECT_EQ(good.skins.size(), 3u);
    EXPECT_EQ(good.directory, directory.path());
    const std::string bad = kModels + "/invalid/empty.x";
    try {
        importModelFile(bad, directory.path(), progress);
        ADD_FAILURE() << "an empty model imported";
    } catch (const ModelImportException& e) {
        EXPECT_EQ(e.message().rfind("Unable to import model '" + bad + "': ", 0), 0u) << e.message();
    }
    const SkinFile cancelled =
        importModelFile(kModels + "/X/anim_test.x", directory.path(), [](double, const std::string&) { return false; });
    EXPECT_TRUE(cancelled.skins.empty());
}

TEST(ImportProcess, ImportDirectoriesArePrivateAndFresh)
{
    const std::filesystem::path a = createImportDirectory(), b = createImportDirectory();
    EXPECT_NE(a, b);
    EXPECT_NE(a.filename().string().find("flexherd-import-" + std::to_string(::getpid()) + "-"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(a).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
    removeImportDirectory(a);
    removeImportDirectory(b);
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_GE(defaultImportMemoryLimit(), 1024u);
}

} // namespace
