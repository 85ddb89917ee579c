#pragma once

#include "skin/BinarySkinWriter.h"

#include <memory>
#include <string>

// Small, valid skin records for the tests: each reads back without complaint.
namespace fixtures {

// A unit quad (4 vertices, 2 triangles) bound to two bones over `frames` frames: bone 0
// stays put, bone 1 moves up by the frame number. Vertices 0 and 1 follow bone 0, vertices
// 2 and 3 split 0.5 / 0.5 between the bones. Mean lighting, one lighting basis vector and
// `frames` lighting frames make it pass the lighting checks.
SkinRecord quad(const std::string& name = "quad", unsigned frames = 3);

// A w x h grid of quads (two triangles each) with one bone and no animation frames.
SkinRecord grid(const std::string& name, unsigned w, unsigned h);

// The bytes of the records written back to back.
std::string bytesOf(const std::vector<SkinRecord>& records);

} // namespace fixtures
