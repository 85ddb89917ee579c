#pragma once

// The one table of vertex program settings that the program suites run through: the
// generator against the interpreter, the driver loading the programs, and the hardware
// renderer handing them their attributes and env vectors all check the same combinations.

#include "VertexProgramTestSkins.h"

#include "render/RenderSettings.h"

#include <memory>
#include <string>
#include <vector>

// One combination of what a generated program depends on: the skin's shape, the lighting
// mode, the correction counts chosen (one number for vertex, normal and PRT corrections), the
// detail level and the blended overlay.
struct ProgramCombination {
    TestSkinShape shape;
    // Made once per shape and shared by the combinations of that shape.
    std::shared_ptr<Skin> skin;
    LightingMode lighting = LightingMode::None;
    unsigned chosen = 0;
    int level = 0;
    bool overlay = false;

    // "PRT, bones 3, influences 2, texCoords 1, chosen 4, level 1, overlay 0", for traces.
    std::string describe() const;
};

// The bases every combination's skin carries, and its frames: chosen counts run from none to
// beyond these.
inline constexpr unsigned kCombinationDisplacementBasis = 3;
inline constexpr unsigned kCombinationNormalBasis = 3;
inline constexpr unsigned kCombinationLightingBasis = 5;
inline constexpr unsigned kCombinationFrames = 3;

// Skins of 0 and 3 bones with 0 to 4 influences (0 only without bones), with and without
// texture coordinates; every lighting mode; chosen counts 0, 1, 2, 3, 4, 5 and 7; detail
// levels 0 to 3; with and without the overlay. 2016 combinations in a fixed order, skins
// outermost.
const std::vector<ProgramCombination>& everyProgramCombination();

const char* lightingName(LightingMode mode);
