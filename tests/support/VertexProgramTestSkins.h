#pragma once

// Skins of chosen shape for the vertex program tests, and the data a hardware renderer would
// hand to a generated program for them: attribute values per vertex and program.env vectors
// per frame, filled as the renderer's upload contract describes (bone rows from vector 0,
// the correction coefficients from 3B, the PRT coefficients from F, four to a vector).

#include "render/VertexProgramGenerator.h"
#include "skin/Skin.h"

#include <array>
#include <map>
#include <memory>

struct TestSkinShape {
    unsigned bones = 2;
    // The largest influence count: vertex 0 carries this many, the others fewer or as many.
    unsigned influences = 1;
    bool texCoords = true;
    unsigned displacementBasis = 0;
    unsigned normalBasis = 0;
    unsigned lightingBasis = 0;
    unsigned frames = 2;
};

using Float4 = std::array<float, 4>;

// Five vertices with distinct positions, normals, weights and bases; bones that rotate,
// shear and translate differently each frame.
std::shared_ptr<Skin> makeTestSkin(const TestSkinShape& shape);

// Generic attribute i of vertex v as the program reads it: the record's components, the
// rest defaulting to (0, 0, 0, 1).
std::map<unsigned, Float4> attributeValues(const VertexAttributeSet& attributes, unsigned v);

// program.env contents for frame f, uploaded in the renderer's order: bone rows, then Vc
// displacement and Nc normal coefficients, then P PRT coefficients at F, zero padded.
std::map<unsigned, Float4> envParameters(const Skin& skin, const VertexProgramGenerator::Layout& layout, unsigned f);
