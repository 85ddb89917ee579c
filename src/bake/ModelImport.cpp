#include "bake/ModelImport.h"

#include "bake/Eigenskin.h"
#include "bake/LevelBuilder.h"
#include "bake/ParallelFor.h"
#include "bake/ObjModelReader.h"
#include "bake/PrtLighting.h"
#include "bake/ProxyFit.h"
#include "bake/ShadowBlob.h"
#include "bake/SkinReadBack.h"

#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Correction and lighting vectors this small (against the model's size, or against unit
// normals and lighting) change nothing visible: the columns a still or rigid model leaves.
constexpr double kNegligible = 1e-7;

double largestMagnitude(const DenseMatrix& m, unsigned column)
{
    double largest = 0.0;
    for (unsigned r = 0; r < m.rows(); ++r) largest = std::max(largest, double(std::fabs(m(r, column))));
    return largest;
}

// Drops trailing basis columns (and their coordinates) below `threshold`; the SVD orders
// columns by size, so the negligible ones come last. `columnsAreFrames` says the coordinates
// keep one column per frame (the lighting) rather than one row per frame (the corrections).
void trimNegligible(DenseMatrix& basis, DenseMatrix& coordinates, double threshold, bool columnsAreFrames)
{
    unsigned keep = basis.columns();
    while (keep > 0 && largestMagnitude(basis, keep - 1) <= threshold) --keep;
    if (keep == basis.columns()) return;
    basis.reshape(basis.rows(), keep);
    if (columnsAreFrames) {
        DenseMatrix kept(keep, coordinates.columns());
        for (unsigned c = 0; c < coordinates.columns(); ++c)
            for (unsigned r = 0; r < keep; ++r) kept(r, c) = coordinates(r, c);
        coordinates = std::move(kept);
    } else {
        coordinates.reshape(coordinates.rows(), keep);
    }
}

// The bone the shadow follows: the one nearest the top of the hierarchy, the one carrying
// the most vertices among equals.
std::size_t shadowBone(const ImportedModel& model)
{
    std::vector<std::size_t> carried(model.boneNames.size(), 0);
    for (const auto& influences : model.influences)
        if (!influences.empty()) ++carried[static_cast<std::size_t>(influences.front().bone)];
    std::size_t best = 0;
    for (std::size_t b = 1; b < model.boneNames.size(); ++b)
        if (model.boneDepths[b] < model.boneDepths[best] ||
            (model.boneDepths[b] == model.boneDepths[best] && carried[b] > carried[best]))
            best = b;
    return best;
}

// The shadow disc: as wide as the first frame's footprint spreads (twice the standard
// deviation, at most the farthest vertex), a tenth more, and never thinner than a twentieth
// of the longer axis.
SkinRecord shadowRecord(const ImportedModel& model, const FramePoses& poses, std::size_t bone)
{
    const std::vector<Vector3d> first = skinnedPositions(model, 0);
    double sumX = 0, sumZ = 0, farX = 0, farZ = 0;
    for (const Vector3d& p : first) {
        sumX += p.x * p.x;
        sumZ += p.z * p.z;
        farX = std::max(farX, std::fabs(p.x));
        farZ = std::max(farZ, std::fabs(p.z));
    }
    const double n = std::max<std::size_t>(1, first.size());
    double radiusX = 1.1 * std::min(2.0 * std::sqrt(sumX / n), farX);
    double radiusZ = 1.1 * std::min(2.0 * std::sqrt(sumZ / n), farZ);
    const double least = 0.05 * std::max(radiusX, radiusZ);
    radiusX = std::max({radiusX, least, 1e-3});
    radiusZ = std::max({radiusZ, least, 1e-3});
    ShadowBone shadow{model.bonePivots[bone], {}};
    for (const auto& frame : poses) shadow.poses.push_back(frame[bone].rigid);
    return ShadowBlob(model.name + "Shadow", 0.0, radiusX, radiusZ, {std::move(shadow)}, ShadowBlob::Angles::SquareRoots)
        .record();
}

double modelSize(const std::vector<Vector3d>& positions)
{
    Vector3d low{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    Vector3d high = low * -1.0;
    for (const Vector3d& p : positions)
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
    return positions.empty() ? 1.0 : std::max(1e-12, (high - low).length());
}

// The box of every frame as the viewer skins it (rest pose plus corrections, then the blended
// bone transform), in double with plain loops: the viewer's own skinning picks its kernel by
// processor, and the boxes go into the file, which must be the same on every processor.
// Then the whole animation's box: the rest pose's grown by every frame's.
void measureBoxes(SkinRecord& record, unsigned threads)
{
    const std::size_t frames = record.bones.empty() ? 0 : record.bones.front().size();
    const std::size_t vertices = record.positions.size();
    const DenseMatrix& basis = record.displacementBasis;
    const DenseMatrix& coordinates = record.displacementCoordinates;
    record.frameBoxes.assign(frames, BoundingBox());
    parallelFor(frames, [&](std::size_t f) {
        double low[3] = {1e300, 1e300, 1e300}, high[3] = {-1e300, -1e300, -1e300};
        for (std::size_t v = 0; v < vertices; ++v) {
            double p[3] = {record.positions[v].x, record.positions[v].y, record.positions[v].z};
            for (unsigned i = 0; i < basis.columns(); ++i) {
                const double c = coordinates(static_cast<unsigned>(f), i);
                for (int k = 0; k < 3; ++k) p[k] += c * basis(static_cast<unsigned>(3 * v + k), i);
            }
            double moved[3] = {0, 0, 0};
            for (const BoneInfluence& influence : record.influences[v]) {
                const AffineTransform& t = record.bones[static_cast<std::size_t>(influence.bone)][f];
                for (int r = 0; r < 3; ++r)
                    moved[r] += influence.weight * (t.linear(r, 0) * p[0] + t.linear(r, 1) * p[1] + t.linear(r, 2) * p[2] +
                                                     t.translation[r]);
            }
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], moved[k]);
                high[k] = std::max(high[k], moved[k]);
            }
        }
        if (vertices > 0)
            record.frameBoxes[f] = {{float(low[0]), float(low[1]), float(low[2])}, {float(high[0]), float(high[1]), float(high[2])}};
    }, threads);
    record.boundingBox = BoundingBox();
    for (const Vector3f& p : record.positions) record.boundingBox.grow(p);
    for (const BoundingBox& box : record.frameBoxes) record.boundingBox.grow(box);
}

class ProgressSteps {
public:
    explicit ProgressSteps(const ImportProgress& progress) : m_progress(progress) {}
    void operator()(double fraction, const std::string& step) const
    {
        if (m_progress) m_progress(fraction, step);
    }

private:
    const ImportProgress& m_progress;
};

} // namespace

ImportResult importModel(const std::string& path, const ImportOptions& options, const ImportProgress& progress)
{
    if (progress) progress(0.0, "Reading the model");
    ImportedModel model = readModel(path, options);
    checkImportedModel(model, path);
    ImportResult result = bakeModel(std::move(model), options, progress);
    result.report.modelPath = path;
    return result;
}

ImportResult bakeModel(ImportedModel model, const ImportOptions& options, const ImportProgress& progress)
{
    const ProgressSteps step(progress);
    ImportResult result;
    ImportReport& report = result.report;
    report.name = model.name;
    report.meshes = model.meshCount;
    report.bones = model.boneNames.size();
    report.frames = model.frameCount();
    report.animationName = model.animationName;
    report.durationSeconds = model.durationSeconds;
    report.fps = options.fps;
    report.textureSource = model.texture.sourceName;
    report.textureEmbedded = !model.texture.png.empty();
    report.warnings = model.warnings;
    report.timings = model.timings;
    report.modelTriangles = model.triangles.size();

    step(0.15, "Placing the model");
    report.placement = choosePlacement(model, options);
    placeModel(model, report.placement);

    step(0.2, "Simplifying the levels of detail");
    auto start = Clock::now();
    std::vector<std::int32_t> parts;
    parts.reserve(model.influences.size());
    for (const auto& influences : model.influences) parts.push_back(influences.front().bone);
    const LevelSet levels = buildLevels(model.positions, model.triangles, options.levels, parts);
    report.timings.simplification = secondsSince(start);
    report.modelVertices = levels.originalVertices;
    report.simplifiedToFit = levels.simplifiedToFit;
    if (levels.simplifiedToFit)
        report.warnings.push_back("The full level had " + std::to_string(levels.originalVertices) +
                                  " vertices, more than a skin can draw (" + std::to_string(Skin::kMaxVertexCount) +
                                  "); it was simplified to " + std::to_string(levels.levels.front().vertices.size()) + ".");
    if (static_cast<int>(levels.levels.size()) < options.levels)
        report.warnings.push_back("The model is too small for " + std::to_string(options.levels) + " levels; it has " +
                                  std::to_string(levels.levels.size()) + ".");

    FramePoses poses(model.poses.size());
    for (std::size_t f = 0; f < model.poses.size(); ++f)
        for (const Affine3d& pose : model.poses[f]) poses[f].push_back(BonePose::fromAffine(pose.linear, pose.translation));
    std::vector<std::vector<AffineTransform>> boneAnimations(model.boneNames.size());
    for (std::size_t b = 0; b < boneAnimations.size(); ++b)
        for (std::size_t f = 0; f < poses.size(); ++f) boneAnimations[b].push_back(poses[f][b].toAffine());

    std::vector<ProxySphere> proxies;
    std::vector<std::vector<Vector3d>> centres;
    std::vector<double> radii;
    if (options.prt > 0) {
        start = Clock::now();
        proxies = fitProxySpheres(model.positions, model.influences, model.boneNames.size());
        centres = PrtLighting::posedCentres(proxies, poses);
        for (const ProxySphere& proxy : proxies) radii.push_back(proxy.radius);
        report.timings.prt += secondsSince(start);
    }

    std::shared_ptr<SkinRecord> shadow;
    if (options.shadow) {
        start = Clock::now();
        const std::size_t bone = shadowBone(model);
        shadow = std::make_shared<SkinRecord>(shadowRecord(model, poses, bone));
        measureBoxes(*shadow, options.threads);
        shadow->primitiveGroups = readBackSkin(*shadow)->primitiveGroups();
        report.shadowVertices = shadow->positions.size();
        report.shadowBone = model.boneNames[bone];
        report.timings.shadow += secondsSince(start);
    }

    const double size = modelSize(model.positions);
    const std::size_t frames = poses.size();
    std::size_t totalVertices = 0;
    for (const LevelMesh& level : levels.levels) totalVertices += level.vertices.size();
    std::size_t doneVertices = 0;
    for (std::size_t l = 0; l < levels.levels.size(); ++l) {
        const LevelMesh& level = levels.levels[l];
        const double from = 0.25 + 0.7 * double(doneVertices) / double(totalVertices);
        const double share = 0.7 * double(level.vertices.size()) / double(totalVertices);
        const std::size_t vertexCount = level.vertices.size();
        const std::string ofLevel = " of level " + std::to_string(l);

        SkinRecord r;
        r.name = model.name;
        r.triangles = level.triangles;
        std::vector<Vector3d> positions, normals;
        std::vector<std::vector<BoneInfluence>> influences;
        positions.reserve(vertexCount);
        normals.reserve(vertexCount);
        influences.reserve(vertexCount);
        for (std::uint32_t v : level.vertices) {
            positions.push_back(model.positions[v]);
            normals.push_back(model.normals[v]);
            influences.push_back(model.influences[v]);
            r.positions.push_back(model.positions[v].toVector3f());
            r.normals.push_back(model.normals[v].toVector3f());
            r.boundingBox.grow(r.positions.back());
            if (!model.textureCoordinates.empty()) r.textureCoordinates.push_back(model.textureCoordinates[v]);
            r.vertexColors.push_back(model.colours[v]);
        }
        r.influences = influences;
        r.bones = boneAnimations;

        step(from, "Computing the corrections" + ofLevel);
        start = Clock::now();
        std::unique_ptr<Eigenskin> eigenskin;
        if (options.corrections > 0 || options.prt > 0) {
            eigenskin = std::make_unique<Eigenskin>(positions, normals, influences, poses, options.corrections, options.threads);
            r.displacementBasis = eigenskin->displacementBasis();
            r.displacementCoordinates = eigenskin->displacementCoordinates();
            r.normalBasis = eigenskin->normalBasis();
            r.normalCoordinates = eigenskin->normalCoordinates();
            trimNegligible(r.displacementBasis, r.displacementCoordinates, kNegligible * size, false);
            trimNegligible(r.normalBasis, r.normalCoordinates, kNegligible, false);
        }
        report.timings.corrections += secondsSince(start);

        step(from + 0.6 * share, "Computing the PRT lighting" + ofLevel);
        start = Clock::now();
        if (options.prt > 0) {
            const PrtLighting lighting(eigenskin->referencePositions(), eigenskin->referenceNormals(), centres, radii,
                                       options.prt, options.threads);
            r.meanLighting = lighting.meanLighting();
            r.lightingBasis = lighting.basis();
            r.lightingCoordinates = lighting.coordinates();
            trimNegligible(r.lightingBasis, r.lightingCoordinates, kNegligible, true);
        } else {
            // The skin file requires a mean per vertex; without PRT it is plain full light.
            r.meanLighting.assign(vertexCount, 1.0f);
            r.lightingBasis.resize(static_cast<unsigned>(vertexCount), 0);
            r.lightingCoordinates.resize(0, static_cast<unsigned>(frames));
        }
        report.timings.prt += secondsSince(start);

        step(from + 0.9 * share, "Building strips and frame boxes" + ofLevel);
        start = Clock::now();
        measureBoxes(r, options.threads);
        r.nextSkin = shadow;
        // Read back through the viewer's own reader, which checks the record and builds the
        // strips the file keeps.
        const std::unique_ptr<Skin> skin = readBackSkin(r);
        r.primitiveGroups = skin->primitiveGroups();
        LevelReport levelReport;
        levelReport.vertices = static_cast<unsigned>(vertexCount);
        levelReport.triangles = static_cast<unsigned>(level.triangles.size());
        levelReport.displacementCorrections = r.displacementBasis.columns();
        levelReport.normalCorrections = r.normalBasis.columns();
        levelReport.lightingVectors = r.lightingBasis.columns();
        levelReport.sloppy = levels.sloppy[l];
        if (eigenskin) {
            levelReport.positionRmsAfter = positionRms(*skin, eigenskin->referencePositions());
            levelReport.positionRmsBefore = levelReport.displacementCorrections == 0
                                                ? levelReport.positionRmsAfter
                                                : positionRms(*readBackSkin(withCorrections(r, 0)), eigenskin->referencePositions());
        }
        report.levels.push_back(levelReport);
        report.timings.shadow += secondsSince(start);

        result.records.push_back(std::move(r));
        doneVertices += vertexCount;
    }
    result.texture = std::move(model.texture);
    step(1.0, "Done");
    return result;
}

namespace {

std::filesystem::path embeddedTexturePath(const std::filesystem::path& output)
{
    std::filesystem::path texture = output;
    texture.replace_extension(".png");
    if (texture == output) texture += ".png";
    return texture;
}

} // namespace

std::string importTextureName(const ImportResult& result, const std::filesystem::path& output)
{
    if (!result.texture.png.empty()) return embeddedTexturePath(output).filename().string();
    if (result.texture.file.empty()) return {};
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::absolute(output, error).parent_path();
    const std::filesystem::path file = std::filesystem::weakly_canonical(std::filesystem::absolute(result.texture.file, error), error);
    const std::filesystem::path relative = file.lexically_relative(std::filesystem::weakly_canonical(directory, error));
    return relative.empty() ? file.string() : relative.generic_string();
}

std::string writeImport(ImportResult& result, const std::filesystem::path& output)
{
    const std::string textureFileName = importTextureName(result, output);
    if (!result.texture.png.empty()) writeFileAtomically(embeddedTexturePath(output), result.texture.png);
    for (SkinRecord& record : result.records) record.textureFileName = textureFileName;
    writeSkinFile(output, result.records);
    return textureFileName;
}

std::vector<std::shared_ptr<Skin>> importedSkins(const ImportResult& result, const std::string& fileName)
{
    std::vector<std::shared_ptr<Skin>> skins;
    for (const SkinRecord& record : result.records) {
        std::shared_ptr<Skin> skin = readBackSkin(record);
        skin->setFileName(fileName);
        skins.push_back(std::move(skin));
    }
    return skins;
}

namespace {

std::string fixed(double value, int digits)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
    return buffer;
}

std::string general(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3g", value);
    return buffer;
}

} // namespace

std::string importSummary(const ImportReport& report, const std::string& output, const std::string& textureFileName)
{
    std::ostringstream out;
    out << report.modelPath << " -> " << output << '\n';
    out << "  model:      " << report.modelVertices << " vertices, " << report.modelTriangles << " triangles in "
        << report.meshes << (report.meshes == 1 ? " mesh, " : " meshes, ") << report.bones
        << (report.bones == 1 ? " bone" : " bones") << '\n';
    if (report.animationName.empty())
        out << "  animation:  none (1 frame, the rest pose)\n";
    else
        out << "  animation:  '" << report.animationName << "', " << fixed(report.durationSeconds, 3) << " s at "
            << general(report.fps) << " fps: " << report.frames << (report.frames == 1 ? " frame" : " frames") << '\n';
    const Placement& p = report.placement;
    out << "  placement:  up " << p.up.text() << " (" << p.upSource << "), forward " << p.forward.text() << " ("
        << p.forwardSource << "), " << general(p.metresPerUnit) << " m per unit (" << p.scaleSource
        << "), moved by [" << general(p.offset.x) << ' ' << general(p.offset.y) << ' ' << general(p.offset.z) << "]\n";
    for (std::size_t l = 0; l < report.levels.size(); ++l) {
        const LevelReport& level = report.levels[l];
        out << "  level " << l << ":    " << level.vertices << " vertices, " << level.triangles << " triangles"
            << (level.sloppy ? " (coarse fallback)" : "") << ", corrections " << level.displacementCorrections << "+"
            << level.normalCorrections << " (position RMS " << general(level.positionRmsBefore) << " -> "
            << general(level.positionRmsAfter) << " m), lighting vectors " << level.lightingVectors << '\n';
    }
    if (report.shadowVertices > 0)
        out << "  shadow:     " << report.shadowVertices << " vertices following bone '" << report.shadowBone << "'\n";
    else
        out << "  shadow:     none\n";
    if (textureFileName.empty())
        out << "  texture:    none\n";
    else
        out << "  texture:    " << textureFileName << (report.textureEmbedded ? " (embedded in the model)" : "") << '\n';
    const ImportTimings& t = report.timings;
    out << "  seconds:    read " << fixed(t.read, 2) << ", merge " << fixed(t.merge, 2) << ", sampling "
        << fixed(t.sampling, 2) << ", simplification " << fixed(t.simplification, 2) << ", corrections "
        << fixed(t.corrections, 2) << ", PRT " << fixed(t.prt, 2) << ", shadow and strips " << fixed(t.shadow, 2) << '\n';
    for (const std::string& warning : report.warnings) out << "  warning:    " << warning << '\n';
    return out.str();
}
