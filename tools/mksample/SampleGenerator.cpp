#include "SampleGenerator.h"

#include "AnimalBuilder.h"
#include "CameraKeysWriter.h"
#include "FurTexture.h"
#include "bake/ImageWriter.h"
#include "ObjWriter.h"
#include "PreviewRenderer.h"
#include "SkyImage.h"
#include "TextSkinWriter.h"

#include "foundation/Exception.h"
#include "skin/BinarySkinLoader.h"

#include <cstdio>

namespace {

constexpr const char* kSkyFileName = "sky2048_0247.jpg";
constexpr std::uint32_t kSkySeed = 247;
constexpr int kJpegQuality = 90;

std::string format(const char* pattern, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// "a/b/c/d" with three significant digits.
template <std::size_t N>
std::string series(const std::array<double, N>& values)
{
    std::string out;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) out += '/';
        out += format("%.3g", values[i]);
    }
    return out;
}

std::string describeAnimal(const std::string& fileName, const AnimalBuilder& builder)
{
    const SkinRecord& finest = builder.records().front();
    std::string line = fileName + ": " + std::to_string(builder.records().size()) + " levels, " +
                       std::to_string(finest.bones.size()) + " bones, " + std::to_string(builder.walk().frameCount()) +
                       " frames, facing +z, ground speed " + format("%.3f", builder.walk().groundSpeed()) +
                       " m/frame, shadow skin " + std::to_string(finest.nextSkin->positions.size()) + " vertices;";
    for (std::size_t level = 0; level < builder.figures().size(); ++level) {
        const LevelFigures& f = builder.figures()[level];
        line += " L" + std::to_string(level) + " " + std::to_string(f.vertices) + "v position RMS (m) with 0/2/4/8 corrections " +
                series(f.positionRms) + ", lighting RMS with 0/4/8/16 vectors " + series(f.lightingRms) + ";";
    }
    line.pop_back();
    return line;
}

} // namespace

std::vector<std::string> SampleGenerator::generate(const std::filesystem::path& directory) const
{
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw IOException("Unable to create directory '" + directory.string() + "'.");

    std::vector<std::string> lines;
    const int textureSize = m_options.textureSize;
    for (const BodyPlan& plan : {BodyPlan::quadruped(), BodyPlan::longneck()}) {
        const AnimalBuilder builder(plan, m_options.frameCount, m_options.densities);
        const std::string binName = plan.name + ".bin";
        writeSkinFile(directory / binName, builder.records());
        lines.push_back(describeAnimal(binName, builder));

        const Vector3f tint = plan.coat == CoatKind::Patches ? Vector3f{1.0f, 0.99f, 0.96f} : Vector3f{1.0f, 0.96f, 0.88f};
        writePng(directory / plan.textureFileName,
                 FurTexture(plan.seed * 31u + 5u, tint).render(textureSize, builder.model().textureRegions()));
        lines.push_back(plan.textureFileName + ": " + std::to_string(textureSize) + "x" + std::to_string(textureSize) +
                        " fur texture");

        if (plan.coat != CoatKind::Patches) continue;
        // The finest quadruped level once more, in the text formats.
        const SkinRecord& finest = builder.records().front();
        const std::string base = plan.name;
        writeTextSkin(directory / (base + ".txt"), finest, base + ".obj");
        lines.push_back(base + ".txt: text skin of level 0 (" + std::to_string(finest.positions.size()) + " vertices, " +
                        std::to_string(finest.bones.size()) + " bones, " + std::to_string(finest.displacementBasis.columns()) +
                        " displacement and " + std::to_string(finest.normalBasis.columns()) + " normal corrections)");
        writeObj(directory / (base + ".obj"), finest, base + ".mtl", "coat");
        lines.push_back(base + ".obj: rest pose, " + std::to_string(finest.triangles.size()) + " triangles");
        writeMtl(directory / (base + ".mtl"), "coat", plan.textureFileName);
        lines.push_back(base + ".mtl: material 'coat' with map_Kd " + plan.textureFileName);
        writeLightingFile(directory / (base + ".light"), finest);
        lines.push_back(base + ".light: vertex colours and PRT lighting (" + std::to_string(finest.lightingBasis.columns()) +
                        " basis vectors)");
    }

    const std::vector<CameraKeyTrack> flyby = herdFlyby(m_options.flybyFrames);
    writeCameraKeys(directory / "flyby.keys", flyby);
    lines.push_back("flyby.keys: " + std::to_string(flyby.size()) + " records, " + std::to_string(flyby.front().keys.size()) +
                    " keys each over frames 0-" + std::to_string(m_options.flybyFrames));

    writeJpeg(directory / kSkyFileName, SkyImage(kSkySeed).render(m_options.skyWidth, m_options.skyHeight), kJpegQuality);
    lines.push_back(std::string(kSkyFileName) + ": " + std::to_string(m_options.skyWidth) + "x" +
                    std::to_string(m_options.skyHeight) + " sky");
    return lines;
}

void SampleGenerator::writePreview(const std::filesystem::path& directory, const std::filesystem::path& picture)
{
    std::vector<RgbImage> rows;
    for (const char* name : {"quadruped.bin", "longneck.bin"}) {
        const SkinFile file = loadBinarySkinFile((directory / name).string());
        const Skin& skin = *file.skins.front();
        rows.push_back(PreviewRenderer(480, 360).render(skin, {0, skin.frameCount() / 4}));
    }
    RgbImage sheet(rows.front().width(), rows.front().height() * static_cast<int>(rows.size()));
    int top = 0;
    for (const RgbImage& row : rows) {
        for (int y = 0; y < row.height(); ++y)
            for (int x = 0; x < row.width(); ++x) sheet.set(x, top + y, row.get(x, y));
        top += row.height();
    }
    writePng(picture, sheet);
}
