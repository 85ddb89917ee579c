#pragma once

#include "bake/ImportOptions.h"
#include "bake/ImportedModel.h"
#include "bake/ModelPlacement.h"

#include "skin/BinarySkinLoader.h"
#include "skin/BinarySkinWriter.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// What one level of an import came to.
struct LevelReport {
    unsigned vertices = 0;
    unsigned triangles = 0;
    unsigned displacementCorrections = 0;
    unsigned normalCorrections = 0;
    unsigned lightingVectors = 0;
    bool sloppy = false;           // the fallback simplifier made this level
    double positionRmsBefore = 0;  // metres from the dual-quaternion reference, no corrections
    double positionRmsAfter = 0;   // the same with every correction
};

// Everything the summary of an import says.
struct ImportReport {
    std::string modelPath;
    std::string name;
    std::size_t meshes = 0;
    std::size_t modelVertices = 0;  // vertices of the merged model that triangles use
    std::size_t modelTriangles = 0;
    std::size_t bones = 0;
    std::size_t frames = 0;
    std::string animationName;      // empty: no animation
    double durationSeconds = 0.0;
    double fps = 30.0;
    Placement placement;
    bool simplifiedToFit = false;   // the full level had more vertices than a skin can draw
    std::vector<LevelReport> levels;
    std::size_t shadowVertices = 0; // 0: no shadow skin
    std::string shadowBone;
    std::string textureSource;      // how the model names its texture ("" none)
    bool textureEmbedded = false;
    std::vector<std::string> warnings;
    ImportTimings timings;
};

// The baked model: skin records (levels of detail, finest first, each with its shadow as its
// next skin) as a binary skin file stores them, with their texture still to be placed
// (textureFileName is empty until writeImport names it).
struct ImportResult {
    std::vector<SkinRecord> records;
    ModelTexture texture;
    ImportReport report;
};

// Called with the share of the work done (0 to 1) and what is being done, as each step starts.
using ImportProgress = std::function<void(double fraction, const std::string& step)>;

// Reads a model file (readModel: Assimp, or the project's OBJ reader for ".obj"), places it
// (ModelPlacement.h), builds its levels (LevelBuilder.h) and bakes every level: eigenskin
// corrections against dual-quaternion skinning, PRT lighting from stand-in balls
// (ProxyFit.h), strips, frame boxes, and the shadow disc following the top-most bone.
// Frames are baked on every processor; the result does not depend on how many there are.
// Throws IOException naming the file for everything that goes wrong with it, and
// std::invalid_argument for options that contradict each other.
ImportResult importModel(const std::string& path, const ImportOptions& options, const ImportProgress& progress = {});

// The steps of importModel after reading: a model already read (and checked by
// checkImportedModel) is placed, simplified and baked.
ImportResult bakeModel(ImportedModel model, const ImportOptions& options, const ImportProgress& progress = {});

// Writes the records to `output` (atomically: a failed write leaves no half-written file).
// An embedded texture is written first, as PNG beside it (the output's name with ".png");
// a texture file is named relative to the output's directory. Returns the texture file name
// the records carry ("" for none). Throws IOException naming the file that cannot be written.
std::string writeImport(ImportResult& result, const std::filesystem::path& output);

// The texture file name writeImport gives the records for this output: "" for none, the
// output's name with ".png" for an embedded picture, else the texture file relative to the
// output's directory.
std::string importTextureName(const ImportResult& result, const std::filesystem::path& output);

// The result as the binary skin loader would give it after writeImport: the levels as Skins,
// each with its file name set to `fileName`. Throws CreationException if a record is
// inconsistent (which would be a fault of the import).
std::vector<std::shared_ptr<Skin>> importedSkins(const ImportResult& result, const std::string& fileName);

// The one-screen summary flexherd-import prints.
std::string importSummary(const ImportReport& report, const std::string& output, const std::string& textureFileName);
