#pragma once

#include "bake/ImportOptions.h"
#include "bake/Matrix3d.h"

#include "foundation/Vector2f.h"
#include "foundation/Vector3d.h"
#include "foundation/Vector3f.h"
#include "skin/Skin.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The texture a model brings: a file beside it, or an image stored inside the model file,
// already encoded as PNG.
struct ModelTexture {
    std::filesystem::path file; // an existing image file (empty when there is none)
    std::string png;            // the embedded image as PNG bytes (empty when there is none)
    std::string sourceName;     // how the model names it, for messages

    bool empty() const { return file.empty() && png.empty(); }
};

// Seconds spent in each step of an import, for the summary and the benchmark.
struct ImportTimings {
    double read = 0.0;
    double merge = 0.0;
    double sampling = 0.0;
    double simplification = 0.0;
    double corrections = 0.0;
    double prt = 0.0;
    double shadow = 0.0;
};

// One model read from a file and merged into a single skinned mesh, before placement, levels
// and baking, in double precision. Every vertex has 1 to 4 influences, strongest first,
// summing to 1, and every bone influences some vertex. poses[f][b] maps rest-pose space to
// frame f. Coordinates are the file's scene coordinates until the model is placed.
struct ImportedModel {
    std::string name;
    std::vector<Vector3d> positions;
    std::vector<Vector3d> normals;
    std::vector<Vector2f> textureCoordinates; // one per vertex, or none
    std::vector<Vector3f> colours;            // one per vertex (white unless the model has colours)
    std::vector<std::vector<BoneInfluence>> influences;
    std::vector<Triangle> triangles;

    std::vector<std::string> boneNames;
    std::vector<Vector3d> bonePivots; // each bone's joint in rest-pose space
    std::vector<int> boneDepths;      // how far below the scene root each bone's node lies
    std::vector<std::vector<Affine3d>> poses;

    std::string animationName; // empty when the model has no animation
    double durationSeconds = 0.0;
    double fps = 30.0;

    // What the file says about its axes and units; nullopt where it says nothing.
    std::optional<AxisDirection> fileUp;
    std::optional<AxisDirection> fileForward;
    std::optional<double> fileMetresPerUnit;

    ModelTexture texture;
    std::size_t meshCount = 0;
    std::vector<std::string> warnings;
    ImportTimings timings;

    std::size_t frameCount() const { return poses.size(); }
};

// The number of frames a clip of that many seconds gets at `fps`: max(1, round(seconds * fps)),
// so a looping clip does not repeat its first pose. Frame i shows the clip at i / fps seconds.
std::size_t sampledFrameCount(double seconds, double fps);

// Keeps each vertex's four strongest influences (ties to the lower bone), renormalised to
// sum 1; influences of weight 0 or less are dropped first. Then drops bones that influence
// no vertex, renumbering the rest in order (names, pivots, depths and poses follow).
// A vertex left without influences is an error the caller has excluded.
void finishInfluences(ImportedModel& model, const std::vector<std::vector<std::pair<std::int32_t, double>>>& weights);

// Checks what the bakers rely on: every position, normal and pose finite and within 1e15 of
// the origin, every vertex with influences of bones that exist, every triangle index in range,
// one pose per bone in every frame and at least one frame. Throws IOException "Unable to
// import model 'path': ..." saying what is wrong (a hostile file must not reach the bakers).
void checkImportedModel(const ImportedModel& model, const std::string& path);
