#pragma once

#include "render/EnvScalarBlock.h"
#include "render/RenderSettings.h"
#include "render/VertexAttributeSet.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class Skin;

// Writes the ARB vertex programs ("!!ARBvp1.0") that skin a mesh on the graphics card, for
// one skin and the user's choices of lighting and correction counts, and decides where every
// per-vertex value (generic attributes) and per-frame value (program.env vectors) lives.
// GL-free: the hardware renderer reads the attribute limit from GL, loads the texts and
// uploads data into the places the returned Layout names, so program and upload agree.
//
// Two programs are made: the plain one (skinning and projection, colour fixed to black at
// 0.4 alpha, also used for the wireframe overlay) and the lit one (the same followed by
// OpenGL lighting or PRT lighting). Without lighting the plain program serves as both.
class VertexProgramGenerator {
public:
    // Everything besides the skin that a build reads.
    struct Choices {
        LightingMode lightingMode = LightingMode::None;
        // The checked positions of the "Vertex corrections", "Normal corrections" and PRT
        // "Corrections" menus (0 = none).
        unsigned vertexCorrectionCount = 0;
        unsigned normalCorrectionCount = 0;
        unsigned prtCorrectionCount = 0;
        // The renderer's level in its hierarchical herd (0 = full detail); coarser levels
        // drop corrections.
        int detailLevel = 0;
        // Set for the shadow skin's renderer, which always takes the full PRT basis.
        bool blendedOverlay = false;
        // GL_MAX_VERTEX_ATTRIBS_ARB of the card the programs are for.
        unsigned maxVertexAttributes = 16;

        // The choices as the settings answer them at this moment.
        static Choices fromSettings(const RenderSettings& settings, int detailLevel, bool blendedOverlay,
                                    unsigned maxVertexAttributes);
    };

    // One correction basis vector: its attribute (components x, y, z) and the env slot that
    // holds its coefficient for the current frame.
    struct Correction {
        VertexAttributeSet::Placement attribute;
        EnvScalarBlock::Slot coefficient;
    };

    // A run of PRT basis columns read together: count 3 or 4 columns in components 0.. of an
    // attribute of their own (one DP3/DP4), or a single column packed as a scalar.
    struct PrtEntry {
        VertexAttributeSet::Placement attribute;
        unsigned count = 0;
    };

    // Where the programs expect their data; the renderer uploads exactly this.
    struct Layout {
        // B: program.env vector 3b + r holds row r of bone b's transform.
        unsigned boneCount = 0;
        // Bone influences the program reads per vertex (boneIds/boneWeights entries).
        unsigned influenceCount = 0;
        VertexAttributeSet::Placement position;
        VertexAttributeSet::Placement normal;
        std::optional<VertexAttributeSet::Placement> texCoord;
        // Influence k of each vertex: 3 x bone index, and weight (both 0 when absent).
        std::vector<VertexAttributeSet::Placement> boneIds;
        std::vector<VertexAttributeSet::Placement> boneWeights;
        // Vc entries, then (OpenGL lighting only) Nc entries; their coefficients fill the
        // scalar block from vector 3B in this order.
        std::vector<Correction> vertexCorrections;
        std::vector<Correction> normalCorrections;
        unsigned scalarFirstVector = 0;
        unsigned scalarVectorCount = 0;
        // PRT lighting only: P basis columns, their coefficients four to a vector from F.
        unsigned prtBasisCount = 0;
        unsigned prtFirstVector = 0;
        unsigned prtVectorCount = 0;
        std::vector<PrtEntry> prtEntries;
        std::optional<VertexAttributeSet::Placement> vertexColor;
        std::optional<VertexAttributeSet::Placement> meanLighting;

        unsigned vertexCorrectionCount() const { return static_cast<unsigned>(vertexCorrections.size()); }
        unsigned normalCorrectionCount() const { return static_cast<unsigned>(normalCorrections.size()); }
    };

    struct Programs {
        std::string plainText;
        // Equal to plainText when litIsPlain: then only one program is to be loaded.
        std::string litText;
        bool litIsPlain = true;
        Layout layout;
        // Holds the tracker too; the renderer makes one buffer per record.
        std::unique_ptr<VertexAttributeSet> attributes;
    };

    // Builds both programs and the data layout. Throws OpenGLException when the card has too
    // few attributes or a skin array does not hold one value per vertex.
    static Programs generate(const Skin& skin, const Choices& choices);

    // Vc or Nc: 0 when none is chosen, else min(basis count, chosen) less the detail level,
    // never below 0.
    static unsigned correctionCount(unsigned basisCount, unsigned chosen, int detailLevel);
    // P: min(basis count, chosen), or the whole basis for the blended overlay; divided by the
    // detail level from level 2 on.
    static unsigned prtBasisCount(unsigned basisCount, unsigned chosen, bool blendedOverlay, int detailLevel);
};
