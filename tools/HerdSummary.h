#pragma once

#include "herd/HerdFile.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

// What flexherd-info reports about herd files: the herds the viewer's "Load herd" command
// would make, read with the viewer's start-up creator ("Round").

// The skin loader the viewer uses for skin lines: text skins by their ".txt" extension,
// everything else as a binary skin file (loadSkinFileByName).
HerdFile::SkinFileLoader viewerSkinLoader();

// {"file":..., "herds":[{"skin":..., "levels":n, "instances":n}, ...]} or, when loading
// stops with an error box in the viewer, {"file":..., "error":{"caption":..., "message":...}}
// with that box's caption and text.
nlohmann::ordered_json describeHerdFile(const std::string& path);

// The herd part of the text report: one line per herd.
void printHerdReport(std::ostream& out, const nlohmann::ordered_json& report);
