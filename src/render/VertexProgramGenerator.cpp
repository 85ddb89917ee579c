#include "render/VertexProgramGenerator.h"

#include "render/VertexProgramNames.h"
#include "skin/Skin.h"

#include <algorithm>
#include <span>

namespace {

// Per-vertex vectors as the flat float runs that VertexAttributeSet::add takes.
std::vector<float> flatten(const std::vector<Vector3f>& vectors)
{
    std::vector<float> out;
    out.reserve(vectors.size() * 3);
    for (const Vector3f& v : vectors) out.insert(out.end(), {v.x, v.y, v.z});
    return out;
}

std::vector<float> flatten(const std::vector<Vector2f>& vectors)
{
    std::vector<float> out;
    out.reserve(vectors.size() * 2);
    for (const Vector2f& v : vectors) out.insert(out.end(), {v.x, v.y});
    return out;
}

std::span<const float> column(const DenseMatrix& matrix, unsigned c)
{
    return {matrix.column(c), matrix.rows()};
}

std::string str(unsigned n)
{
    return std::to_string(n);
}

// The text pieces that both programs are concatenated from, in program order.
struct Sections {
    std::string header = "# ARB vertex program\n!!ARBvp1.0\n";
    std::string param = "PARAM mvp[4] = { state.matrix.mvp };\n";
    std::string output = "OUTPUT oColor = result.color;\nOUTPUT oPos = result.position;\n";
    std::string temp = "TEMP boneMat0;\nTEMP afterBoneTrans;\n";
    std::string skinning;
    std::string transform;
};

// The ATTRIB lines in the order the attributes were handed out.
std::string attribDeclarations(const FreeAttributeTracker& tracker)
{
    std::string out;
    for (unsigned i : tracker.usedIndices())
        out += "ATTRIB " + attributeName(i) + " = vertex.attrib[" + str(i) + "];\n";
    return out;
}

// The declarations and code shared by both programs, in their order.
std::string commonText(const Sections& s, const EnvScalarBlock& block, const FreeAttributeTracker& tracker)
{
    return s.header + s.param + block.declaration() + attribDeclarations(tracker) + s.temp + s.output + s.skinning +
           s.transform;
}

} // namespace

VertexProgramGenerator::Choices VertexProgramGenerator::Choices::fromSettings(const RenderSettings& settings,
                                                                            int detailLevel, bool blendedOverlay,
                                                                            unsigned maxVertexAttributes)
{
    Choices c;
    c.lightingMode = settings.lightingMode();
    c.vertexCorrectionCount = settings.vertexCorrectionCount();
    c.normalCorrectionCount = settings.normalCorrectionCount();
    c.prtCorrectionCount = settings.prtCorrectionCount();
    c.detailLevel = detailLevel;
    c.blendedOverlay = blendedOverlay;
    c.maxVertexAttributes = maxVertexAttributes;
    return c;
}

unsigned VertexProgramGenerator::correctionCount(unsigned basisCount, unsigned chosen, int detailLevel)
{
    if (chosen == 0) return 0;
    const long long count = static_cast<long long>(std::min(basisCount, chosen)) - detailLevel;
    return count < 0 ? 0u : static_cast<unsigned>(count);
}

unsigned VertexProgramGenerator::prtBasisCount(unsigned basisCount, unsigned chosen, bool blendedOverlay,
                                               int detailLevel)
{
    unsigned count = blendedOverlay ? basisCount : std::min(basisCount, chosen);
    if (detailLevel >= 2) count /= static_cast<unsigned>(detailLevel);
    return count;
}

VertexProgramGenerator::Programs VertexProgramGenerator::generate(const Skin& skin, const Choices& choices)
{
    Programs result;
    Layout& layout = result.layout;
    const unsigned vertexCount = skin.vertexCount();
    const unsigned bones = skin.boneCount();
    auto tracker = std::make_shared<FreeAttributeTracker>(choices.maxVertexAttributes);
    result.attributes = std::make_unique<VertexAttributeSet>(vertexCount, tracker);
    VertexAttributeSet& attributes = *result.attributes;

    // Preferred indices 0, 2 and 8 are where the conventional position, normal and first
    // texture coordinate alias on cards that alias them.
    layout.position = attributes.add("position", flatten(skin.restPositions()), 4, 3, 0);
    std::string positionSource = attributeName(layout.position.index);
    layout.normal = attributes.add("normal", flatten(skin.restNormals()), 4, 3, 2);
    const bool hasTexCoords = !skin.textureCoordinates().empty();
    if (hasTexCoords) layout.texCoord = attributes.add("texCoord", flatten(skin.textureCoordinates()), 4, 2, 8);

    Sections s;
    EnvScalarBlock block(3 * bones);
    layout.boneCount = bones;
    layout.scalarFirstVector = block.first();

    if (bones > 0) {
        s.param += "PARAM boneXforms[" + str(3 * bones) + "] = { program.env[0.." + str(3 * bones - 1) + "] };\n";
        s.temp += "ADDRESS addr;\nTEMP boneMat1;\nTEMP boneMat2;\n";
        if (choices.vertexCorrectionCount != 0 || choices.normalCorrectionCount != 0)
            s.temp += "TEMP beforeBoneTrans;\n";

        // With bones but no influence at all the bone matrices would be read without ever
        // being written; one all-zero influence makes them zero, so such vertices land at
        // the origin as on the processor.
        const unsigned influences = std::max(skin.maxInfluenceCount(), 1u);
        layout.influenceCount = influences;
        s.skinning += "# Compute skinning transformation matrix.  \n"
                      "# This is a weighted sum of the various bone transformation matrices,\n"
                      "# which are stored in constant memory.  In this case we have " +
                      str(influences) +
                      "\n"
                      "# bone influences; for each, we load the bone id using the ARL instruction,\n"
                      "# then multiply each row of the referenced bone transform by the skinning weight\n"
                      "# and add it to the final transform, boneMat[0-3].\n";
        std::vector<float> ids(vertexCount), weights(vertexCount);
        for (unsigned k = 0; k < influences; ++k) {
            for (unsigned v = 0; v < vertexCount; ++v) {
                const auto list = skin.influences(v);
                // The id is stored times 3 so that ARL lands on the bone's first row.
                ids[v] = k < list.size() ? 3.0f * static_cast<float>(list[k].bone) : 0.0f;
                weights[v] = k < list.size() ? list[k].weight : 0.0f;
            }
            const auto id = attributes.add("boneId[" + str(k) + "]", ids, 1, 1, 0);
            const auto weight = attributes.add("boneWeight[" + str(k) + "]", weights, 1, 1, 0);
            layout.boneIds.push_back(id);
            layout.boneWeights.push_back(weight);
            s.skinning += "ARL addr.x, " + scalarRead(id.index, id.component) + ";\n";
            for (unsigned r = 0; r < 3; ++r) {
                const std::string row = "boneMat" + str(r);
                s.skinning += (k == 0 ? "MUL " : "MAD ") + row + ", boneXforms[ addr.x+" + str(r) + "], " +
                              replicatedRead(weight.index, weight.component);
                s.skinning += (k == 0 ? std::string() : ", " + row) + ";\n";
            }
        }

        if (choices.vertexCorrectionCount != 0) {
            s.skinning += "# Add eigenskin vertex corrections.\n"
                          "# this is done in the local frame, see our paper for details.\n";
            const unsigned count = correctionCount(skin.displacementBasisCount(), choices.vertexCorrectionCount,
                                                   choices.detailLevel);
            for (unsigned i = 0; i < count; ++i) {
                const EnvScalarBlock::Slot slot = block.allocate();
                const auto a = attributes.add("eigVertexCorrection" + str(i) + "[" + str(i) + "]",
                                              column(skin.displacementBasis(), i), 3, 3, 0);
                layout.vertexCorrections.push_back({a, slot});
                s.skinning += "MAD beforeBoneTrans.xyz, " + attributeName(a.index) + ", " + block.reference(slot) +
                              ", " + positionSource + ";\n";
                positionSource = "beforeBoneTrans";
            }
        }

        s.transform += "# Multiply the corrected vertex position by the transform matrix\n";
        for (unsigned r = 0; r < 3; ++r)
            s.transform += std::string("DPH afterBoneTrans.") + componentLetter(r) + ", " + positionSource +
                           ", boneMat" + str(r) + ";\n";
        s.transform += "# Multiply the transformed vertex by the modelview matrix.\n";
        for (unsigned j = 0; j < 4; ++j)
            s.transform += std::string("DPH oPos.") + componentLetter(j) + ", afterBoneTrans, mvp[" + str(j) + "];\n";
    } else {
        for (unsigned j = 0; j < 4; ++j)
            s.transform += std::string("DPH oPos.") + componentLetter(j) + ", " + positionSource + ", mvp[" + str(j) +
                           "];\n";
    }

    if (hasTexCoords) {
        s.transform += "# Copy across the texture coordinate\nMOV oTexCoord, " + attributeName(layout.texCoord->index) +
                       ";\n";
        s.output += "OUTPUT oTexCoord = result.texcoord;\n";
    }

    // The plain program's comment has no line feed of its own: it shares the header's line.
    result.plainText = "# No lighting, so just move the output color into place" + commonText(s, block, *tracker) +
                       "MOV oColor, {0.0, 0.0, 0.0, 0.4};\nEND\n";

    std::string lighting;
    if (choices.lightingMode == LightingMode::PRT) {
        const unsigned count = prtBasisCount(skin.lightingBasisCount(), choices.prtCorrectionCount,
                                             choices.blendedOverlay, choices.detailLevel);
        layout.prtBasisCount = count;
        s.temp += "ALIAS sumLighting = afterBoneTrans;\nALIAS tempLighting = boneMat0;\n";
        layout.prtFirstVector = block.end();

        const DenseMatrix& basis = skin.lightingBasis();
        unsigned placed = 0;
        while (placed < count) {
            const unsigned m = std::min(4u, count - placed);
            if (m >= 3) {
                std::vector<float> group(static_cast<std::size_t>(basis.rows()) * m);
                for (unsigned v = 0; v < basis.rows(); ++v)
                    for (unsigned j = 0; j < m; ++j) group[static_cast<std::size_t>(v) * m + j] = basis(v, placed + j);
                layout.prtEntries.push_back({attributes.add("lightingAtt" + str(placed), group, m, m, 0), m});
                placed += m;
            } else {
                for (; placed < count; ++placed)
                    layout.prtEntries.push_back({attributes.add("lightingAtt" + str(placed), column(basis, placed), 1, 1, 0), 1});
            }
        }
        layout.prtVectorCount = (count + 3) / 4;

        const auto colors = flatten(skin.vertexColors());
        const auto color = attributes.add("lighting normalization", colors, 3, 3, 0);
        const auto mean = attributes.add("mean lighting", skin.meanLighting(), 1, 1, 0);
        layout.vertexColor = color;
        layout.meanLighting = mean;

        lighting += "MOV sumLighting, " + scalarRead(mean.index, mean.component) + ";\n";
        lighting += "# Compute the PRT lighting.\n"
                    "# Here, all lighting computations are done in black and white,\n"
                    "# and color is added at the very end.\n"
                    "# The PRT lighting is expressed as a linear combination of basis\n"
                    "# vectors; the basis vectors are stored in the vertex attributes\n"
                    "# and the coefficients to multiply them by are stored in constant\n"
                    "# memory (prtEnvName).  For more details, see our paper.\n";
        unsigned d = 0;
        for (const PrtEntry& entry : layout.prtEntries) {
            if (entry.count < 3) {
                lighting += "MAD sumLighting, " + scalarRead(entry.attribute.index, entry.attribute.component) +
                            ", prtEnvCorr[" + str(d / 4) + "]." + componentLetter(d % 4) + ", sumLighting;\n";
            } else {
                lighting += "DP" + str(entry.count) + " tempLighting, prtEnvCorr[" + str(d / 4) + "], " +
                            attributeName(entry.attribute.index) + ";\n";
                lighting += "ADD sumLighting, sumLighting, tempLighting;\n";
            }
            d += entry.count;
        }
        const unsigned g = layout.prtVectorCount;
        if (g > 0) {
            const unsigned f = layout.prtFirstVector;
            s.param += "PARAM prtEnvCorr[" + str(g) + "] = { program.env[" +
                       (g == 1 ? str(f) : str(f) + ".." + str(f + g - 1)) + "] };\n";
        }
        lighting += "# Add in color.\nMUL oColor.xyz, sumLighting, " + attributeName(color.index) +
                    ";\nMOV oColor.w, 1.0;\n";
    } else if (choices.lightingMode == LightingMode::OpenGL) {
        std::string normalSource = attributeName(layout.normal.index);
        s.param += "PARAM mvinv[4] = { state.matrix.modelview.invtrans };\n"
                   "PARAM specExp = state.material.shininess;\n";
        s.temp += "TEMP eyeNormal, dots;\nALIAS temp = afterBoneTrans;\n";
        if (bones > 0) {
            if (choices.normalCorrectionCount != 0) {
                lighting += "# Add in eigenskin normal corrections.\n";
                const unsigned count = correctionCount(skin.normalBasisCount(), choices.normalCorrectionCount,
                                                       choices.detailLevel);
                for (unsigned i = 0; i < count; ++i) {
                    const EnvScalarBlock::Slot slot = block.allocate();
                    const auto a = attributes.add("eigNormalCorrection" + str(i) + "[" + str(i) + "]",
                                                  column(skin.normalBasis(), i), 3, 3, 0);
                    layout.normalCorrections.push_back({a, slot});
                    lighting += "MAD beforeBoneTrans.xyz, " + attributeName(a.index) + ", " + block.reference(slot) +
                                ", " + normalSource + ";\n";
                    normalSource = "beforeBoneTrans";
                }
            }
            lighting += "# Transform normal using bone transform.\n"
                        "# Note that the correct thing to do would be to\n"
                        "# transform using the inverse transpose of the bone transform;\n"
                        "# however, this will be expensive to compute in a vertex shader.\n"
                        "# instead, we use the normal bone transform and rely on eigenskin\n"
                        "# normal corrections to fix the error which occurs.\n";
            for (unsigned r = 0; r < 3; ++r)
                lighting += std::string("DP3 afterBoneTrans.") + componentLetter(r) + ", boneMat" + str(r) + ", " +
                            normalSource + ";\n";
            normalSource = "afterBoneTrans";
        }
        lighting += "# Transform normal into eye space; notice that we use\n"
                    "# the correct matrix here (unlike before).\n";
        for (unsigned r = 0; r < 3; ++r)
            lighting += std::string("DP3 eyeNormal.") + componentLetter(r) + ", mvinv[" + str(r) + "], " +
                        normalSource + ";\n";
        lighting += "# Since we used the incorrect transform before,\n"
                    "# we normalize the normal.\n"
                    "DP3 eyeNormal.w, eyeNormal, eyeNormal;\n"
                    "RSQ eyeNormal.w, eyeNormal.w;\n"
                    "MUL eyeNormal.xyz, eyeNormal.w, eyeNormal;\n"
                    "# Standard OpenGL lighting.\n";
        for (unsigned j = 0; j < 2; ++j) {
            const std::string n = str(j);
            s.param += "PARAM lightDir" + n + " = state.light[" + n + "].position;\n";
            s.param += "PARAM ambientCol" + n + " = state.lightprod[" + n + "].ambient;\n";
            s.param += "PARAM diffuseCol" + n + " = state.lightprod[" + n + "].diffuse;\n";
            lighting += "DP3 dots.x, eyeNormal, lightDir" + n + ";\nMOV dots.w, specExp.x;\nLIT dots, dots;\n";
            // Only the diffuse term and the ambient products are used; LIT's specular is not.
            if (j == 0)
                lighting += "MAD temp, dots.y, diffuseCol0, ambientCol0;\n";
            else
                lighting += "MAD temp, dots.y, diffuseCol1, temp;\n"
                            "ADD oColor.xyz, temp, ambientCol1;\n"
                            "MOV oColor.w, diffuseCol1.w;\n";
        }
    }

    layout.scalarVectorCount = block.vectorCount();
    // Outside PRT lighting nothing is uploaded there; the value still names the first
    // vector past the scalars.
    if (choices.lightingMode != LightingMode::PRT) layout.prtFirstVector = block.end();

    if (choices.lightingMode == LightingMode::None) {
        result.litText = result.plainText;
        result.litIsPlain = true;
    } else {
        result.litText = commonText(s, block, *tracker) + lighting + "END\n";
        result.litIsPlain = false;
    }
    return result;
}
