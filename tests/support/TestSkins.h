#pragma once

// Skins built in memory for the GL tests and the render benchmark, read back through the
// binary reader so they are exactly what the viewer would load.

#include "skin/BinarySkinWriter.h"
#include "skin/Skin.h"

#include <memory>
#include <string>

// A closed UV sphere of radius 1 around the origin: `segments` around, `rings` from pole to
// pole, 2 x segments x (rings - 1) triangles, in one colour. Two bones: bone 0 stays put, bone
// 1 turns about the z axis by 0.15 radians a frame; vertices above the equator follow both
// with weight 0.5, the rest bone 0 alone, so frame 0 is the rest pose and every frame stays
// inside the unit box. Mean lighting is `meanLighting` everywhere when flatLighting is set,
// else brighter on the side facing (1, 1, 1); with prtBasis, two basis vectors (the normal's
// x and y) whose coefficients swing a light round frame by frame.
struct SphereOptions {
    unsigned segments = 24;
    unsigned rings = 13;
    unsigned frames = 8;
    Vector3f color{0.8f, 0.4f, 0.2f};
    bool flatLighting = true;
    float meanLighting = 0.75f;
    bool prtBasis = false;
    std::string textureFileName;
};

SkinRecord sphereRecord(const std::string& name, const SphereOptions& options);

// The record read back into a Skin (through the binary format).
std::shared_ptr<Skin> skinOf(const SkinRecord& record);
