// The generated ARB vertex programs: their exact text for the golden cases, the error
// messages, the attribute and env parameter allocators, and, over many combinations of
// lighting, influences, texture coordinates and correction counts, programs that a driver
// accepts and that, run on every vertex, skin and light like the processor does.

#include "ArbVertexProgramInterpreter.h"
#include "ProgramCombinations.h"

#include "foundation/Exception.h"
#include "render/EnvScalarBlock.h"
#include "render/FreeAttributeTracker.h"
#include "render/VertexAttributeSet.h"
#include "render/VertexProgramGenerator.h"
#include "render/VertexProgramNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using Generator = VertexProgramGenerator;
using Placement = VertexAttributeSet::Placement;

// The message of the exception of type E that f throws, or a failure.
template <typename E>
std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "nothing thrown";
    return {};
}

Generator::Choices choices(LightingMode lighting, unsigned vertex = 0, unsigned normal = 0, unsigned prt = 0)
{
    Generator::Choices c;
    c.lightingMode = lighting;
    c.vertexCorrectionCount = vertex;
    c.normalCorrectionCount = normal;
    c.prtCorrectionCount = prt;
    c.maxVertexAttributes = 16;
    return c;
}

// The skin of the golden example: 2 bones, one influence per vertex, texture coordinates,
// and one displacement basis vector for the variant with a correction.
std::shared_ptr<Skin> exampleSkin()
{
    TestSkinShape shape;
    shape.displacementBasis = 1;
    shape.normalBasis = 1;
    shape.lightingBasis = 5;
    return makeTestSkin(shape);
}

const std::string kSkinningCode = "# Compute skinning transformation matrix.  \n"
                                  "# This is a weighted sum of the various bone transformation matrices,\n"
                                  "# which are stored in constant memory.  In this case we have 1\n"
                                  "# bone influences; for each, we load the bone id using the ARL instruction,\n"
                                  "# then multiply each row of the referenced bone transform by the skinning weight\n"
                                  "# and add it to the final transform, boneMat[0-3].\n"
                                  "ARL addr.x, v1.x;\n"
                                  "MUL boneMat0, boneXforms[ addr.x+0], v1.yyyy;\n"
                                  "MUL boneMat1, boneXforms[ addr.x+1], v1.yyyy;\n"
                                  "MUL boneMat2, boneXforms[ addr.x+2], v1.yyyy;\n";

std::string transformCode(const std::string& position)
{
    return "# Multiply the corrected vertex position by the transform matrix\n"
           "DPH afterBoneTrans.x, " + position + ", boneMat0;\n"
           "DPH afterBoneTrans.y, " + position + ", boneMat1;\n"
           "DPH afterBoneTrans.z, " + position + ", boneMat2;\n"
           "# Multiply the transformed vertex by the modelview matrix.\n"
           "DPH oPos.x, afterBoneTrans, mvp[0];\n"
           "DPH oPos.y, afterBoneTrans, mvp[1];\n"
           "DPH oPos.z, afterBoneTrans, mvp[2];\n"
           "DPH oPos.w, afterBoneTrans, mvp[3];\n";
}

} // namespace

// ---- Exact program text -------------------------------------------------------------------

TEST(VertexProgramGeneratorTest, ExampleProgramMatchesItsGoldenTextByteForByte)
{
    const std::string expected = "# No lighting, so just move the output color into place# ARB vertex program\n"
                                 "!!ARBvp1.0\n"
                                 "PARAM mvp[4] = { state.matrix.mvp };\n"
                                 "PARAM boneXforms[6] = { program.env[0..5] };\n"
                                 "ATTRIB v0 = vertex.attrib[0];\n"
                                 "ATTRIB v2 = vertex.attrib[2];\n"
                                 "ATTRIB v8 = vertex.attrib[8];\n"
                                 "ATTRIB v1 = vertex.attrib[1];\n"
                                 "TEMP boneMat0;\n"
                                 "TEMP afterBoneTrans;\n"
                                 "ADDRESS addr;\n"
                                 "TEMP boneMat1;\n"
                                 "TEMP boneMat2;\n"
                                 "OUTPUT oColor = result.color;\n"
                                 "OUTPUT oPos = result.position;\n"
                                 "OUTPUT oTexCoord = result.texcoord;\n" +
                                 kSkinningCode + transformCode("v0") +
                                 "# Copy across the texture coordinate\n"
                                 "MOV oTexCoord, v8;\n"
                                 "MOV oColor, {0.0, 0.0, 0.0, 0.4};\n"
                                 "END\n";
    const auto programs = Generator::generate(*exampleSkin(), choices(LightingMode::None));
    EXPECT_EQ(programs.plainText, expected);
    // Without lighting the plain program serves both passes.
    EXPECT_TRUE(programs.litIsPlain);
    EXPECT_EQ(programs.litText, expected);

    const auto& layout = programs.layout;
    EXPECT_EQ(layout.position, (Placement{0, 0}));
    EXPECT_EQ(layout.normal, (Placement{2, 0}));
    ASSERT_TRUE(layout.texCoord);
    EXPECT_EQ(*layout.texCoord, (Placement{8, 0}));
    EXPECT_EQ(layout.boneIds, (std::vector<Placement>{{1, 0}}));
    EXPECT_EQ(layout.boneWeights, (std::vector<Placement>{{1, 1}}));
    EXPECT_EQ(layout.scalarVectorCount, 0u);
}

TEST(VertexProgramGeneratorTest, OneVertexCorrectionReadsItsBasisAndCoefficientBeforeTheBoneTransform)
{
    const std::string expected = "# No lighting, so just move the output color into place# ARB vertex program\n"
                                 "!!ARBvp1.0\n"
                                 "PARAM mvp[4] = { state.matrix.mvp };\n"
                                 "PARAM boneXforms[6] = { program.env[0..5] };\n"
                                 "PARAM envParams[1] = { program.env[6] };\n"
                                 "ATTRIB v0 = vertex.attrib[0];\n"
                                 "ATTRIB v2 = vertex.attrib[2];\n"
                                 "ATTRIB v8 = vertex.attrib[8];\n"
                                 "ATTRIB v1 = vertex.attrib[1];\n"
                                 "ATTRIB v3 = vertex.attrib[3];\n"
                                 "TEMP boneMat0;\n"
                                 "TEMP afterBoneTrans;\n"
                                 "ADDRESS addr;\n"
                                 "TEMP boneMat1;\n"
                                 "TEMP boneMat2;\n"
                                 "TEMP beforeBoneTrans;\n"
                                 "OUTPUT oColor = result.color;\n"
                                 "OUTPUT oPos = result.position;\n"
                                 "OUTPUT oTexCoord = result.texcoord;\n" +
                                 kSkinningCode +
                                 "# Add eigenskin vertex corrections.\n"
                                 "# this is done in the local frame, see our paper for details.\n"
                                 "MAD beforeBoneTrans.xyz, v3, envParams[0].xxxx, v0;\n" +
                                 transformCode("beforeBoneTrans") +
                                 "# Copy across the texture coordinate\n"
                                 "MOV oTexCoord, v8;\n"
                                 "MOV oColor, {0.0, 0.0, 0.0, 0.4};\n"
                                 "END\n";
    const auto programs = Generator::generate(*exampleSkin(), choices(LightingMode::None, 1));
    EXPECT_EQ(programs.plainText, expected);
    ASSERT_EQ(programs.layout.vertexCorrectionCount(), 1u);
    EXPECT_EQ(programs.layout.vertexCorrections[0].attribute, (Placement{3, 0}));
    EXPECT_EQ(programs.layout.vertexCorrections[0].coefficient, (EnvScalarBlock::Slot{6, 0}));
    EXPECT_EQ(programs.layout.scalarFirstVector, 6u);
    EXPECT_EQ(programs.layout.scalarVectorCount, 1u);
}

TEST(VertexProgramGeneratorTest, PrtProgramWithFiveBasisVectorsUsesOneGroupAndOnePackedScalar)
{
    const std::string expected = "# ARB vertex program\n"
                                 "!!ARBvp1.0\n"
                                 "PARAM mvp[4] = { state.matrix.mvp };\n"
                                 "PARAM boneXforms[6] = { program.env[0..5] };\n"
                                 "PARAM prtEnvCorr[2] = { program.env[6..7] };\n"
                                 "ATTRIB v0 = vertex.attrib[0];\n"
                                 "ATTRIB v2 = vertex.attrib[2];\n"
                                 "ATTRIB v8 = vertex.attrib[8];\n"
                                 "ATTRIB v1 = vertex.attrib[1];\n"
                                 "ATTRIB v3 = vertex.attrib[3];\n"
                                 "ATTRIB v4 = vertex.attrib[4];\n"
                                 "TEMP boneMat0;\n"
                                 "TEMP afterBoneTrans;\n"
                                 "ADDRESS addr;\n"
                                 "TEMP boneMat1;\n"
                                 "TEMP boneMat2;\n"
                                 "ALIAS sumLighting = afterBoneTrans;\n"
                                 "ALIAS tempLighting = boneMat0;\n"
                                 "OUTPUT oColor = result.color;\n"
                                 "OUTPUT oPos = result.position;\n"
                                 "OUTPUT oTexCoord = result.texcoord;\n" +
                                 kSkinningCode + transformCode("v0") +
                                 "# Copy across the texture coordinate\n"
                                 "MOV oTexCoord, v8;\n"
                                 "MOV sumLighting, v1.w;\n"
                                 "# Compute the PRT lighting.\n"
                                 "# Here, all lighting computations are done in black and white,\n"
                                 "# and color is added at the very end.\n"
                                 "# The PRT lighting is expressed as a linear combination of basis\n"
                                 "# vectors; the basis vectors are stored in the vertex attributes\n"
                                 "# and the coefficients to multiply them by are stored in constant\n"
                                 "# memory (prtEnvName).  For more details, see our paper.\n"
                                 "DP4 tempLighting, prtEnvCorr[0], v3;\n"
                                 "ADD sumLighting, sumLighting, tempLighting;\n"
                                 "MAD sumLighting, v1.z, prtEnvCorr[1].x, sumLighting;\n"
                                 "# Add in color.\n"
                                 "MUL oColor.xyz, sumLighting, v4;\n"
                                 "MOV oColor.w, 1.0;\n"
                                 "END\n";
    const auto programs = Generator::generate(*exampleSkin(), choices(LightingMode::PRT, 0, 0, 5));
    EXPECT_EQ(programs.litText, expected);
    EXPECT_FALSE(programs.litIsPlain);
    // The plain program is the one made before the lighting attributes were added.
    EXPECT_EQ(programs.plainText, Generator::generate(*exampleSkin(), choices(LightingMode::None)).plainText);
    const auto& layout = programs.layout;
    EXPECT_EQ(layout.prtBasisCount, 5u);
    EXPECT_EQ(layout.prtFirstVector, 6u);
    EXPECT_EQ(layout.prtVectorCount, 2u);
    ASSERT_EQ(layout.prtEntries.size(), 2u);
    EXPECT_EQ(layout.prtEntries[0].attribute, (Placement{3, 0}));
    EXPECT_EQ(layout.prtEntries[0].count, 4u);
    EXPECT_EQ(layout.prtEntries[1].attribute, (Placement{1, 2}));
    EXPECT_EQ(*layout.meanLighting, (Placement{1, 3}));
    EXPECT_EQ(*layout.vertexColor, (Placement{4, 0}));
}

TEST(VertexProgramGeneratorTest, OpenGLLightingProgramCorrectsAndTransformsTheNormal)
{
    TestSkinShape shape;
    shape.texCoords = false;
    shape.displacementBasis = 1;
    shape.normalBasis = 1;
    const std::string expected = "# ARB vertex program\n"
                                 "!!ARBvp1.0\n"
                                 "PARAM mvp[4] = { state.matrix.mvp };\n"
                                 "PARAM boneXforms[6] = { program.env[0..5] };\n"
                                 "PARAM mvinv[4] = { state.matrix.modelview.invtrans };\n"
                                 "PARAM specExp = state.material.shininess;\n"
                                 "PARAM lightDir0 = state.light[0].position;\n"
                                 "PARAM ambientCol0 = state.lightprod[0].ambient;\n"
                                 "PARAM diffuseCol0 = state.lightprod[0].diffuse;\n"
                                 "PARAM lightDir1 = state.light[1].position;\n"
                                 "PARAM ambientCol1 = state.lightprod[1].ambient;\n"
                                 "PARAM diffuseCol1 = state.lightprod[1].diffuse;\n"
                                 "PARAM envParams[1] = { program.env[6] };\n"
                                 "ATTRIB v0 = vertex.attrib[0];\n"
                                 "ATTRIB v2 = vertex.attrib[2];\n"
                                 "ATTRIB v1 = vertex.attrib[1];\n"
                                 "ATTRIB v3 = vertex.attrib[3];\n"
                                 "ATTRIB v4 = vertex.attrib[4];\n"
                                 "TEMP boneMat0;\n"
                                 "TEMP afterBoneTrans;\n"
                                 "ADDRESS addr;\n"
                                 "TEMP boneMat1;\n"
                                 "TEMP boneMat2;\n"
                                 "TEMP beforeBoneTrans;\n"
                                 "TEMP eyeNormal, dots;\n"
                                 "ALIAS temp = afterBoneTrans;\n"
                                 "OUTPUT oColor = result.color;\n"
                                 "OUTPUT oPos = result.position;\n" +
                                 kSkinningCode +
                                 "# Add eigenskin vertex corrections.\n"
                                 "# this is done in the local frame, see our paper for details.\n"
                                 "MAD beforeBoneTrans.xyz, v3, envParams[0].xxxx, v0;\n" +
                                 transformCode("beforeBoneTrans") +
                                 "# Add in eigenskin normal corrections.\n"
                                 "MAD beforeBoneTrans.xyz, v4, envParams[0].yyyy, v2;\n"
                                 "# Transform normal using bone transform.\n"
                                 "# Note that the correct thing to do would be to\n"
                                 "# transform using the inverse transpose of the bone transform;\n"
                                 "# however, this will be expensive to compute in a vertex shader.\n"
                                 "# instead, we use the normal bone transform and rely on eigenskin\n"
                                 "# normal corrections to fix the error which occurs.\n"
                                 "DP3 afterBoneTrans.x, boneMat0, beforeBoneTrans;\n"
                                 "DP3 afterBoneTrans.y, boneMat1, beforeBoneTrans;\n"
                                 "DP3 afterBoneTrans.z, boneMat2, beforeBoneTrans;\n"
                                 "# Transform normal into eye space; notice that we use\n"
                                 "# the correct matrix here (unlike before).\n"
                                 "DP3 eyeNormal.x, mvinv[0], afterBoneTrans;\n"
                                 "DP3 eyeNormal.y, mvinv[1], afterBoneTrans;\n"
                                 "DP3 eyeNormal.z, mvinv[2], afterBoneTrans;\n"
                                 "# Since we used the incorrect transform before,\n"
                                 "# we normalize the normal.\n"
                                 "DP3 eyeNormal.w, eyeNormal, eyeNormal;\n"
                                 "RSQ eyeNormal.w, eyeNormal.w;\n"
                                 "MUL eyeNormal.xyz, eyeNormal.w, eyeNormal;\n"
                                 "# Standard OpenGL lighting.\n"
                                 "DP3 dots.x, eyeNormal, lightDir0;\n"
                                 "MOV dots.w, specExp.x;\n"
                                 "LIT dots, dots;\n"
                                 "MAD temp, dots.y, diffuseCol0, ambientCol0;\n"
                                 "DP3 dots.x, eyeNormal, lightDir1;\n"
                                 "MOV dots.w, specExp.x;\n"
                                 "LIT dots, dots;\n"
                                 "MAD temp, dots.y, diffuseCol1, temp;\n"
                                 "ADD oColor.xyz, temp, ambientCol1;\n"
                                 "MOV oColor.w, diffuseCol1.w;\n"
                                 "END\n";
    const auto programs = Generator::generate(*makeTestSkin(shape), choices(LightingMode::OpenGL, 1, 1));
    EXPECT_EQ(programs.litText, expected);
    // The plain program declares only the vertex-correction coefficient.
    EXPECT_NE(programs.plainText.find("PARAM envParams[1] = { program.env[6] };\nATTRIB v0"), std::string::npos);
    EXPECT_EQ(programs.plainText.find("v4"), std::string::npos);
    EXPECT_EQ(programs.layout.normalCorrections[0].coefficient, (EnvScalarBlock::Slot{6, 1}));
}

TEST(VertexProgramGeneratorTest, SkinWithoutBonesProjectsThePositionDirectlyAndIgnoresCorrections)
{
    TestSkinShape shape;
    shape.bones = 0;
    shape.influences = 0;
    shape.texCoords = false;
    shape.displacementBasis = 2;
    shape.normalBasis = 2;
    const auto skin = makeTestSkin(shape);
    const auto programs = Generator::generate(*skin, choices(LightingMode::None, 2, 2));
    EXPECT_EQ(programs.plainText, "# No lighting, so just move the output color into place# ARB vertex program\n"
                                  "!!ARBvp1.0\n"
                                  "PARAM mvp[4] = { state.matrix.mvp };\n"
                                  "ATTRIB v0 = vertex.attrib[0];\n"
                                  "ATTRIB v2 = vertex.attrib[2];\n"
                                  "TEMP boneMat0;\n"
                                  "TEMP afterBoneTrans;\n"
                                  "OUTPUT oColor = result.color;\n"
                                  "OUTPUT oPos = result.position;\n"
                                  "DPH oPos.x, v0, mvp[0];\n"
                                  "DPH oPos.y, v0, mvp[1];\n"
                                  "DPH oPos.z, v0, mvp[2];\n"
                                  "DPH oPos.w, v0, mvp[3];\n"
                                  "MOV oColor, {0.0, 0.0, 0.0, 0.4};\n"
                                  "END\n");
    EXPECT_EQ(programs.layout.vertexCorrectionCount(), 0u) << "nothing to upload when nothing is emitted";

    const auto lit = Generator::generate(*skin, choices(LightingMode::OpenGL, 2, 2));
    EXPECT_EQ(lit.layout.normalCorrectionCount(), 0u);
    EXPECT_EQ(lit.litText.find("boneXforms"), std::string::npos);
    EXPECT_EQ(lit.litText.find("ADDRESS addr;\n"), std::string::npos);
    EXPECT_EQ(lit.litText.find("envParams"), std::string::npos);
    EXPECT_NE(lit.litText.find("DP3 eyeNormal.x, mvinv[0], v2;\n"), std::string::npos);
}

TEST(VertexProgramGeneratorTest, CorrectionsDroppedByTheDetailLevelKeepTheirCommentsButNoInstruction)
{
    TestSkinShape shape;
    shape.displacementBasis = 2;
    const auto programs = Generator::generate(*makeTestSkin(shape), [] {
        auto c = choices(LightingMode::None, 5);
        c.detailLevel = 2;
        return c;
    }());
    const std::string& text = programs.plainText;
    EXPECT_NE(text.find("TEMP beforeBoneTrans;\n"), std::string::npos);
    EXPECT_NE(text.find("# Add eigenskin vertex corrections.\n"
                        "# this is done in the local frame, see our paper for details.\n"
                        "# Multiply the corrected vertex position"),
              std::string::npos);
    EXPECT_NE(text.find("DPH afterBoneTrans.x, v0, boneMat0;\n"), std::string::npos);
    EXPECT_EQ(text.find("envParams"), std::string::npos);
}

TEST(VertexProgramGeneratorTest, PrtCoefficientsStartAfterTheLastScalarVector)
{
    TestSkinShape shape;
    shape.displacementBasis = 5;
    shape.lightingBasis = 3;
    const auto skin = makeTestSkin(shape);
    // Four scalars fill vector 6 exactly: PRT starts at 7. Five spill into 7: PRT starts at 8.
    const auto four = Generator::generate(*skin, choices(LightingMode::PRT, 4, 0, 3));
    EXPECT_NE(four.litText.find("PARAM envParams[1] = { program.env[6] };\n"), std::string::npos);
    EXPECT_NE(four.litText.find("PARAM prtEnvCorr[1] = { program.env[7] };\n"), std::string::npos);
    EXPECT_EQ(four.layout.prtFirstVector, 7u);
    const auto five = Generator::generate(*skin, choices(LightingMode::PRT, 5, 0, 3));
    EXPECT_NE(five.litText.find("PARAM envParams[2] = { program.env[6..7] };\n"), std::string::npos);
    EXPECT_NE(five.litText.find("PARAM prtEnvCorr[1] = { program.env[8] };\n"), std::string::npos);
    EXPECT_NE(five.litText.find("MAD beforeBoneTrans.xyz, v7, envParams[1].xxxx, beforeBoneTrans;\n"),
              std::string::npos);
    EXPECT_NE(five.litText.find("DP3 tempLighting, prtEnvCorr[0], v9;\n"), std::string::npos);
    EXPECT_EQ(five.layout.prtFirstVector, 8u);

    // No PRT basis chosen: no coefficient array, colour is mean lighting times vertex colour.
    const auto none = Generator::generate(*skin, choices(LightingMode::PRT, 0, 0, 0));
    EXPECT_EQ(none.litText.find("prtEnvCorr["), std::string::npos);
    EXPECT_EQ(none.layout.prtVectorCount, 0u);
}

TEST(VertexProgramGeneratorTest, BonesWithoutAnyInfluenceStillDefineTheBoneMatrices)
{
    // Without an influence slot the bone matrices would be read unwritten: one all-zero
    // influence collapses such vertices to the origin, as processor skinning does.
    TestSkinShape shape;
    shape.influences = 0;
    const auto skin = makeTestSkin(shape);
    ASSERT_EQ(skin->maxInfluenceCount(), 0u);
    const auto programs = Generator::generate(*skin, choices(LightingMode::None));
    EXPECT_NE(programs.plainText.find("In this case we have 1\n"), std::string::npos);
    ArbVertexProgramInterpreter program(programs.plainText, {});
    ArbVertexProgramInterpreter::State state;
    state.mvp[0][3] = 0.5f; // a translation, so the origin maps somewhere recognisable
    const auto out = program.run(attributeValues(*programs.attributes, 1), envParameters(*skin, programs.layout, 1), state);
    EXPECT_EQ(out.position, (Float4{0.5f, 0, 0, 1}));
}

// ---- Errors -------------------------------------------------------------------------------

TEST(VertexProgramGeneratorTest, ErrorMessagesAreExact)
{
    EXPECT_EQ(messageOf<OpenGLException>([] {
                  FreeAttributeTracker tracker(2);
                  tracker.allocate(0);
                  tracker.allocate(0);
                  tracker.allocate(0);
              }),
              "Exceeded macximum number of usable vertex attributes: 2");
    // The example needs four attributes: position, normal, texture coordinates, bone data.
    auto tight = choices(LightingMode::None);
    tight.maxVertexAttributes = 3;
    EXPECT_EQ(messageOf<OpenGLException>([&] { Generator::generate(*exampleSkin(), tight); }),
              "Exceeded macximum number of usable vertex attributes: 3");
    tight.maxVertexAttributes = 4;
    EXPECT_NO_THROW(Generator::generate(*exampleSkin(), tight));

    EXPECT_EQ(messageOf<OpenGLException>([] {
                  VertexAttributeSet set(3, std::make_shared<FreeAttributeTracker>(16));
                  const std::vector<float> eightFloats(8, 1.0f);
                  set.add("short", eightFloats, 4, 3, 0);
              }),
              "Mismatch between vertex array sizes.");
    EXPECT_EQ(messageOf<Exception>([] { componentLetter(4); }), "Shouldn't reach here");
    EXPECT_EQ(std::string(1, componentLetter(3)) + componentLetter(0), "wx");
}

// ---- Allocators ---------------------------------------------------------------------------

TEST(VertexProgramGeneratorTest, TrackerHandsOutThePreferredIndexOrTheLowestFreeOne)
{
    FreeAttributeTracker tracker(4);
    EXPECT_EQ(tracker.allocate(2), 2u);
    EXPECT_EQ(tracker.allocate(2), 0u);
    EXPECT_EQ(tracker.allocate(9), 1u) << "an index beyond the limit is never handed out";
    EXPECT_EQ(tracker.allocate(0), 3u);
    EXPECT_EQ(tracker.usedIndices(), (std::vector<unsigned>{2, 0, 1, 3}));
    EXPECT_TRUE(tracker.freeIndices().empty());
}

TEST(VertexProgramGeneratorTest, CardWithEightAttributesMovesTextureCoordinatesToTheFirstFreeAttribute)
{
    auto eight = choices(LightingMode::None);
    eight.maxVertexAttributes = 8;
    const auto programs = Generator::generate(*exampleSkin(), eight);
    EXPECT_EQ(*programs.layout.texCoord, (Placement{1, 0}));
    EXPECT_EQ(programs.layout.boneIds[0], (Placement{3, 0}));
    EXPECT_NE(programs.plainText.find("MOV oTexCoord, v1;\n"), std::string::npos);
    EXPECT_NE(programs.plainText.find("ARL addr.x, v3.x;\n"), std::string::npos);
    ArbVertexProgramInterpreter::Limits limits;
    limits.maxAttributes = 8;
    EXPECT_NO_THROW(ArbVertexProgramInterpreter(programs.plainText, limits));
}

TEST(VertexProgramGeneratorTest, ScalarsFillFreeComponentsOfEarlierAttributesInListOrder)
{
    VertexAttributeSet set(2, std::make_shared<FreeAttributeTracker>(16));
    const std::vector<float> two = {1, 2}, six = {1, 2, 3, 4, 5, 6}, eight = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(set.add("position", six, 4, 3, 0), (Placement{0, 0}));
    EXPECT_EQ(set.add("basis", six, 3, 3, 0), (Placement{1, 0}));
    EXPECT_EQ(set.add("scalar a", two, 1, 1, 0), (Placement{1, 3})) << "the w of a three-component record";
    EXPECT_EQ(set.add("scalar b", two, 1, 1, 5), (Placement{5, 0})) << "a full set makes a new record";
    for (unsigned c = 1; c < 4; ++c) EXPECT_EQ(set.add("scalar", two, 1, 1, 0), (Placement{5, c}));
    EXPECT_EQ(set.add("scalar", two, 1, 1, 0), (Placement{2, 0}));
    EXPECT_EQ(set.add("pair", eight, 4, 4, 0), (Placement{3, 0})) << "reserve other than 1 never shares";

    const auto& records = set.records();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[1].componentCount(), 4u);
    EXPECT_EQ(records[1].labels[3], "scalar a");
    // Data is split by component and interleaved again for the buffer.
    EXPECT_EQ(records[0].arrays[1], (std::vector<float>{2, 5}));
    EXPECT_EQ(records[1].interleaved(), (std::vector<float>{1, 2, 3, 1, 4, 5, 6, 2}));
}

TEST(VertexProgramGeneratorTest, EnvScalarBlockPacksFourScalarsPerVector)
{
    EnvScalarBlock block(6);
    EXPECT_EQ(block.declaration(), "");
    EXPECT_EQ(block.end(), 6u);
    for (unsigned c = 0; c < 4; ++c) EXPECT_EQ(block.allocate(), (EnvScalarBlock::Slot{6, c}));
    EXPECT_EQ(block.declaration(), "PARAM envParams[1] = { program.env[6] };\n");
    EXPECT_EQ(block.end(), 7u);
    const auto fifth = block.allocate();
    EXPECT_EQ(block.reference(fifth), "envParams[1].xxxx");
    EXPECT_EQ(block.declaration(), "PARAM envParams[2] = { program.env[6..7] };\n");
    EXPECT_EQ(block.end(), 8u);
    EXPECT_EQ(block.reference(block.allocate()), "envParams[1].yyyy");
}

TEST(VertexProgramGeneratorTest, CorrectionCountsFollowTheChoiceTheSkinAndTheDetailLevel)
{
    // Vc and Nc: none chosen, more chosen than the skin has, detail levels eating into them.
    EXPECT_EQ(Generator::correctionCount(4, 0, 0), 0u);
    EXPECT_EQ(Generator::correctionCount(4, 2, 0), 2u);
    EXPECT_EQ(Generator::correctionCount(4, 9, 0), 4u);
    EXPECT_EQ(Generator::correctionCount(4, 9, 1), 3u);
    EXPECT_EQ(Generator::correctionCount(4, 2, 2), 0u);
    EXPECT_EQ(Generator::correctionCount(4, 2, 3), 0u) << "never below zero";
    // P: the overlay takes the whole basis even with nothing chosen; levels 2+ divide.
    EXPECT_EQ(Generator::prtBasisCount(6, 0, false, 0), 0u);
    EXPECT_EQ(Generator::prtBasisCount(6, 4, false, 1), 4u) << "level 1 does not divide";
    EXPECT_EQ(Generator::prtBasisCount(6, 9, false, 0), 6u);
    EXPECT_EQ(Generator::prtBasisCount(6, 0, true, 0), 6u);
    EXPECT_EQ(Generator::prtBasisCount(6, 5, false, 2), 2u);
    EXPECT_EQ(Generator::prtBasisCount(7, 0, true, 3), 2u);
}

TEST(VertexProgramGeneratorTest, ChoicesTakeEachCountFromItsOwnMenu)
{
    struct Settings : RenderSettings {
        GeometryMode geometryMode() const override { return GeometryMode::Polys; }
        LightingMode lightingMode() const override { return LightingMode::PRT; }
        RenderMethod renderMethod() const override { return RenderMethod::VertexArrays; }
        bool wireframeOnShaded() const override { return false; }
        bool useTriangleStrips() const override { return true; }
        unsigned vertexCorrectionCount() const override { return 1; }
        unsigned normalCorrectionCount() const override { return 2; }
        unsigned prtCorrectionCount() const override { return 3; }
    };
    const auto c = Generator::Choices::fromSettings(Settings{}, 2, true, 12);
    EXPECT_EQ(c.lightingMode, LightingMode::PRT);
    EXPECT_EQ(c.vertexCorrectionCount, 1u);
    EXPECT_EQ(c.normalCorrectionCount, 2u);
    EXPECT_EQ(c.prtCorrectionCount, 3u);
    EXPECT_EQ(c.detailLevel, 2);
    EXPECT_TRUE(c.blendedOverlay);
    EXPECT_EQ(c.maxVertexAttributes, 12u);
}

TEST(VertexProgramGeneratorTest, BoneIdsAreStoredTimesThreeAndAbsentInfluencesAreZero)
{
    TestSkinShape shape;
    shape.bones = 3;
    shape.influences = 3;
    const auto skin = makeTestSkin(shape);
    const auto programs = Generator::generate(*skin, choices(LightingMode::None));
    const auto& layout = programs.layout;
    ASSERT_EQ(layout.boneIds.size(), 3u);
    // Two influences share one attribute: ids and weights alternate x, y, z, w.
    EXPECT_EQ(layout.boneIds[1], (Placement{1, 2}));
    EXPECT_EQ(layout.boneWeights[2], (Placement{3, 1}));
    auto value = [&](const Placement& p, unsigned v) {
        for (const auto& r : programs.attributes->records())
            if (r.index == p.index) return r.arrays[p.component][v];
        ADD_FAILURE() << "no attribute " << p.index;
        return -1.0f;
    };
    for (unsigned v = 0; v < skin->vertexCount(); ++v)
        for (unsigned k = 0; k < 3; ++k) {
            const auto list = skin->influences(v);
            const bool present = k < list.size();
            EXPECT_EQ(value(layout.boneIds[k], v), present ? 3.0f * float(list[k].bone) : 0.0f) << v << ' ' << k;
            EXPECT_EQ(value(layout.boneWeights[k], v), present ? list[k].weight : 0.0f) << v << ' ' << k;
        }
}

// ---- Combinations run against processor-side skinning ---------------------------------------

namespace {

using Interpreter = ArbVertexProgramInterpreter;

// A camera and two lights that make every matrix row and light term count.
Interpreter::State testState()
{
    Interpreter::State s;
    s.mvp = {{{0.9f, 0.1f, 0, 0.5f}, {-0.1f, 1.1f, 0.2f, -0.25f}, {0, 0.3f, -1.2f, 2}, {0.05f, 0, -1, 4}}};
    s.modelviewInverseTranspose = {{{0.8f, 0, -0.6f, 0}, {0, 1, 0, 0}, {0.6f, 0, 0.8f, 0}, {0, 0, 0, 1}}};
    s.lightPosition = {{{0, 0.6f, 0.8f, 0}, {-0.8f, 0, 0.6f, 0}}};
    s.ambientProduct = {{{0.05f, 0.1f, 0.15f, 0.2f}, {0.01f, 0.02f, 0.03f, 0.04f}}};
    s.diffuseProduct = {{{0.8f, 0.7f, 0.6f, 1}, {0.3f, 0.2f, 0.1f, 0.75f}}};
    return s;
}

Float4 times(const std::array<Float4, 4>& rows, const Float4& p)
{
    Float4 out{};
    for (int r = 0; r < 4; ++r)
        out[r] = rows[r][0] * p[0] + rows[r][1] * p[1] + rows[r][2] * p[2] + rows[r][3] * p[3];
    return out;
}

// Rest data plus the first `count` basis vectors of a correction basis, weighted for frame f.
Vector3f corrected(Vector3f p, const DenseMatrix& basis, const DenseMatrix& coordinates, unsigned count, unsigned v,
                   unsigned f)
{
    for (unsigned i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) p[c] += coordinates(f, i) * basis(3 * v + unsigned(c), i);
    return p;
}

// What the lit (or plain) program must output for vertex v in frame f, computed the way the
// processor path does it, with the correction counts the layout reports.
Interpreter::Outputs expected(const Skin& skin, const Generator::Layout& layout, LightingMode mode, bool lit,
                              unsigned v, unsigned f, const Interpreter::State& state)
{
    Interpreter::Outputs out;
    Vector3f p = skin.restPositions()[v];
    Vector3f n = skin.restNormals()[v];
    if (skin.boneCount() > 0) {
        p = corrected(p, skin.displacementBasis(), skin.displacementCoordinates(), layout.vertexCorrectionCount(), v, f);
        n = corrected(n, skin.normalBasis(), skin.normalCoordinates(), layout.normalCorrectionCount(), v, f);
        Matrix3f m = Matrix3f::diagonal(0);
        Vector3f t;
        for (const BoneInfluence& i : skin.influences(v)) {
            const AffineTransform& bone = skin.boneAnimation(unsigned(i.bone))[f];
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) m(r, c) += i.weight * bone.linear(r, c);
            t += bone.translation * i.weight;
        }
        p = m * p + t;
        n = m * n;
    }
    out.position = times(state.mvp, {p.x, p.y, p.z, 1});
    out.color = {0, 0, 0, 0.4f};
    if (lit && mode == LightingMode::OpenGL) {
        Float4 e = times(state.modelviewInverseTranspose, {n.x, n.y, n.z, 0});
        const float length = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
        for (int c = 0; c < 3; ++c) e[c] /= length;
        for (int c = 0; c < 3; ++c) out.color[c] = state.ambientProduct[0][c] + state.ambientProduct[1][c];
        for (int j = 0; j < 2; ++j) {
            const Float4& l = state.lightPosition[j];
            const float d = std::max(0.0f, e[0] * l[0] + e[1] * l[1] + e[2] * l[2]);
            for (int c = 0; c < 3; ++c) out.color[c] += d * state.diffuseProduct[j][c];
        }
        out.color[3] = state.diffuseProduct[1][3];
    } else if (lit && mode == LightingMode::PRT) {
        float light = skin.meanLighting()[v];
        for (unsigned j = 0; j < layout.prtBasisCount; ++j) light += skin.lightingBasis()(v, j) * skin.lightingCoordinates()(j, f);
        const Vector3f& color = skin.vertexColors()[v];
        out.color = {light * color.x, light * color.y, light * color.z, 1};
    }
    if (!skin.textureCoordinates().empty()) {
        const Vector2f& uv = skin.textureCoordinates()[v];
        out.texCoord = {uv.x, uv.y, 0, 1};
    }
    return out;
}

void expectNear(const Float4& actual, const Float4& wanted, const char* what)
{
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(actual[c], wanted[c], 1e-4f * std::max(1.0f, std::fabs(wanted[c]))) << what << " component " << c;
}

// Runs one program on every vertex and frame and compares with the processor's answer.
void expectSkinsLikeTheProcessor(const Skin& skin, const Generator::Programs& programs, const std::string& text,
                                 LightingMode mode, bool lit)
{
    const Interpreter program(text, {});
    const auto state = testState();
    for (unsigned f = 0; f < skin.frameCount() || f == 0; ++f) {
        const auto env = envParameters(skin, programs.layout, f);
        for (unsigned v = 0; v < skin.vertexCount(); ++v) {
            SCOPED_TRACE("vertex " + std::to_string(v) + " frame " + std::to_string(f));
            const auto out = program.run(attributeValues(*programs.attributes, v), env, state);
            const auto want = expected(skin, programs.layout, mode, lit, v, f, state);
            EXPECT_EQ(out.positionWritten, 0xfu);
            EXPECT_EQ(out.colorWritten, 0xfu);
            EXPECT_EQ(out.texCoordWritten, skin.textureCoordinates().empty() ? 0u : 0xfu);
            expectNear(out.position, want.position, "position");
            // A vertex without influences has a zero skinned normal, which the program's
            // normalisation turns into NaN; it sits at the origin, so its colour never shows.
            const bool zeroNormal = lit && mode == LightingMode::OpenGL && skin.boneCount() > 0 && skin.influences(v).empty();
            if (!zeroNormal) expectNear(out.color, want.color, "color");
            expectNear(out.texCoord, want.texCoord, "texCoord");
        }
    }
}

} // namespace

TEST(VertexProgramGeneratorTest, EveryCombinationLoadsAndSkinsLikeTheProcessor)
{
    for (const ProgramCombination& combination : everyProgramCombination()) {
        const LightingMode mode = combination.lighting;
        if (combination.overlay && mode != LightingMode::PRT) continue;
        const unsigned bones = combination.shape.bones, influences = combination.shape.influences;
        const Skin& skin = *combination.skin;
        auto c = choices(mode, combination.chosen, combination.chosen, combination.chosen);
        c.detailLevel = combination.level;
        c.blendedOverlay = combination.overlay;
        SCOPED_TRACE(combination.describe());
        const auto programs = Generator::generate(skin, c);
        const auto& used = programs.attributes->tracker().usedIndices();
        try {
            const Interpreter plain(programs.plainText, {});
            const Interpreter lit(programs.litText, {});
            // Every attribute the renderer binds is declared by the lit program; the plain one
            // declares those made before it.
            EXPECT_EQ(lit.attributeIndices(), used);
            const auto& early = plain.attributeIndices();
            EXPECT_TRUE(early.size() <= used.size() && std::equal(early.begin(), early.end(), used.begin()));
            EXPECT_EQ(lit.opcodeCount("ARL"), bones ? std::max(influences, 1u) : 0u);
            EXPECT_EQ(programs.litIsPlain, mode == LightingMode::None);
            // The renderer's upload order: scalars right after the bone rows, PRT coefficients
            // right after the scalars.
            const auto& layout = programs.layout;
            const unsigned scalars = layout.vertexCorrectionCount() + layout.normalCorrectionCount();
            EXPECT_EQ(layout.scalarFirstVector, 3 * bones);
            EXPECT_EQ(layout.scalarVectorCount, (scalars + 3) / 4);
            EXPECT_EQ(layout.prtFirstVector, 3 * bones + layout.scalarVectorCount);
            expectSkinsLikeTheProcessor(skin, programs, programs.plainText, mode, false);
            expectSkinsLikeTheProcessor(skin, programs, programs.litText, mode, true);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << "\n" << programs.litText;
        }
        if (HasFailure()) return;
    }
}
