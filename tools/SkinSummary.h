#pragma once

#include "skin/BinarySkinLoader.h"
#include "skin/Skin.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

// What flexherd-info reports about skins and skin files: counts, boxes and strip quality.

// Misses per triangle when every primitive group of the skin is fed in draw order through one
// 16-entry FIFO vertex cache that starts empty; 0 for a skin without triangles.
double primitiveGroupAcmr(const Skin& skin);

// One skin and its chain of next skins as a JSON object ("nextSkin" is null at the end).
nlohmann::ordered_json describeSkin(const Skin& skin);

// One file: {"file":..., "skins":[...]} or {"file":..., "error":{"caption":..., "message":...}},
// the caption and message being what the viewer's error box would show. Text skins (".txt")
// are described like binary skin files; herd files (".herd") get the herd report of
// describeHerdFile (HerdSummary.h), camera keys files (".keys") the record report of
// describeKeysFile (KeysSummary.h); OBJ meshes (".obj") get {"file":..., "obj":{"groups",
// "faces", "vertices", "normals", "texcoords", "materials":[names of the libraries' materials]}};
// other model files (isModelFile, ModelFiles.h) are imported with the default options and
// described like the binary skin file the import writes (caption "Error importing model").
nlohmann::ordered_json describeFile(const std::string& path);

// The same report as indented text, one record per paragraph.
void printFileReport(std::ostream& out, const nlohmann::ordered_json& report);
