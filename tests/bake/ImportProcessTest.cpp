// The import as a child process: results, progress, cancellation, and a child that fails,
// crashes or exhausts its memory, none of which may take the caller down.
#include "TempDirectory.h"

#include "bake/ImportProcess.h"
#include "bake/ModelImport.h"
#include "bake/ImageCodec.h"
#include "foundation/Exception.h"
#include "skin/ImageFile.h"
#include "render/TexturePath.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

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

TEST(ImportProcess, AnImportedObjCarriesItsTextureWhereverTheViewerLoadsIt)
{
    // A textured pyramid in its own directory, its picture a known 4 x 2 pattern; the model
    // is named by a relative path, as on a command line.
    const TempDirectory models("textured-obj");
    const std::filesystem::path folder = models.path() / "deep" / "er";
    std::filesystem::create_directories(folder);
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < 8; ++i) rgba.insert(rgba.end(), {std::uint8_t(30 * i), std::uint8_t(255 - 20 * i), 77, 255});
    {
        std::ofstream(folder / "coat.png", std::ios::binary) << encodePngRgba(4, 2, rgba.data(), "coat.png");
        std::ofstream(folder / "beast.mtl") << "newmtl coat\nmap_Kd coat.png\n";
        std::ofstream(folder / "beast.obj") << "mtllib beast.mtl\ng body\nusemtl coat\n"
                                                "v 0 0 0\nv 2 0 0\nv 2 0 2\nv 0 0 2\nv 1 3 1\n"
                                                "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
                                                "f 1/1 4/4 3/3 2/2\nf 1/1 2/2 5/5\nf 2/2 3/3 5/5\nf 3/3 4/4 5/5\nf 4/4 1/1 5/5\n";
    }
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(models.path());
    struct Back {
        std::filesystem::path to;
        ~Back() { std::filesystem::current_path(to); }
    } back{cwd};

    // The viewer's way: the child process writes into a fresh private directory, the viewer
    // loads the skins and draws with the texture named relative to that directory.
    const std::filesystem::path output = createImportDirectory();
    struct Remove {
        std::filesystem::path directory;
        ~Remove() { removeImportDirectory(directory); }
    } remove{output};
    const SkinFile file = importModelFile("deep/er/beast.obj", output, [](double, const std::string&) { return true; });
    ASSERT_EQ(file.skins.size(), 1u);
    const std::string name = file.skins.front()->textureFileName();
    ASSERT_FALSE(name.empty());
    // The skins carry their own picture: the model's folder may go.
    std::filesystem::remove_all(models.path() / "deep");
    const PixelImage picture = readImageFile(texturePath(file.directory.string(), name));
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 2);
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(picture.rgb[static_cast<std::size_t>(3 * i + c)], rgba[static_cast<std::size_t>(4 * i + c)])
                << "pixel " << i << " channel " << c;
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

TEST(ImageCodec, JpegTexturesBecomeOpaquePngsOfTheViewersPixelsAndBrokenOnesFail)
{
    // A JPEG texture goes through the viewer's own JPEG reader: the PNG written for it holds
    // exactly the pixels the viewer decodes from the JPEG, opaque.
    const std::string jpegPath = std::string(FLEXHERD_IMAGE_DATA_DIR) + "/twocolour.jpg";
    std::ifstream in(jpegPath, std::ios::binary);
    const std::string jpeg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string png = convertToPng(jpeg, "twocolour.jpg");
    const auto bytes = [](const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); };
    const PixelImage fromJpeg = decodeImage(bytes(jpeg), jpeg.size(), "twocolour.jpg");
    const PixelImage fromPng = decodeImage(bytes(png), png.size(), "twocolour.png");
    EXPECT_EQ(fromPng.width, fromJpeg.width);
    EXPECT_EQ(fromPng.rgb, fromJpeg.rgb);
    // A cut JPEG, and the fill bytes before a start marker whose Huffman table overran the
    // other decoder, fail with the texture named.
    for (const std::string& broken : {jpeg.substr(0, 20), std::string("\xFF\xFF") + jpeg}) {
        try {
            convertToPng(broken, "coat.jpg");
            ADD_FAILURE() << "a broken JPEG converted";
        } catch (const IOException& e) {
            EXPECT_NE(e.message().find("'coat.jpg'"), std::string::npos) << e.message();
        }
    }
    // The viewer's header checks hold for textures too: 16-bit PNM samples (which stb converts
    // past its buffer), and an 82-byte TGA claiming a megapixel (decoded into made-up black
    // before); an 8-bit PNM converts.
    std::string tga(82, '\x80');
    const char header[18] = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 8, 0};
    tga.replace(0, 18, header, 18);
    for (const auto& [broken, reason] : {std::pair<std::string, std::string>{std::string("P5 2 1 65535\n\xFF\xFF\x80\x00", 17),
                                                                             "unsupported PNM header"},
                                         {tga, "claims more pixels"}}) {
        try {
            convertToPng(broken, "coat.img");
            ADD_FAILURE() << reason << ": converted";
        } catch (const IOException& e) {
            EXPECT_NE(e.message().find("'coat.img' cannot be read: "), std::string::npos) << e.message();
            EXPECT_NE(e.message().find(reason), std::string::npos) << e.message();
        }
    }
    const std::string ppm = "P6 1 1 255\n\x0A\x14\x1E";
    const std::string converted = convertToPng(ppm, "dot.ppm");
    EXPECT_EQ(decodeImage(bytes(converted), converted.size(), "dot.png").rgb, (std::vector<unsigned char>{10, 20, 30}));
}
