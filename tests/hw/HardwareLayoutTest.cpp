// What the hardware renderer hands the driver, for every combination of lighting mode,
// influence count, bone count, texture coordinates, chosen correction counts around the
// skin's own, detail level and blended overlay: its programs load within the native limits,
// it enables exactly the generic attributes the programs declare and fills them with the
// attribute set's data, and it uploads exactly the program.env vectors the programs read, with
// the values the upload contract gives for the instance's frame (computed independently by the
// vertex program test helpers).

#include "HardwareSuite.h"
#include "ProgramCombinations.h"

#include "herd/SimpleHerd.h"
#include "render/gl/HardwareSkinRenderer.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <regex>
#include <set>

namespace {

// The GL calls of interest, recorded by swapping GLEW's entry points for forwarding ones.
struct Recorded {
    std::vector<std::pair<GLuint, Float4>> environment;
    std::vector<GLenum> environmentTargets;
    std::vector<GLuint> enabledAttributes;
};

Recorded* g_recorded = nullptr;
PFNGLPROGRAMENVPARAMETER4FVARBPROC g_environmentCall = nullptr;
PFNGLENABLEVERTEXATTRIBARRAYARBPROC g_enableCall = nullptr;

void GLAPIENTRY recordEnvironment(GLenum target, GLuint index, const GLfloat* values)
{
    g_recorded->environment.push_back({index, {values[0], values[1], values[2], values[3]}});
    g_recorded->environmentTargets.push_back(target);
    g_environmentCall(target, index, values);
}

void GLAPIENTRY recordEnable(GLuint index)
{
    g_recorded->enabledAttributes.push_back(index);
    g_enableCall(index);
}

// Records while it lives; the real entry points are back afterwards.
class CallRecorder {
public:
    CallRecorder()
    {
        g_recorded = &m_recorded;
        g_environmentCall = __glewProgramEnvParameter4fvARB;
        g_enableCall = __glewEnableVertexAttribArrayARB;
        __glewProgramEnvParameter4fvARB = recordEnvironment;
        __glewEnableVertexAttribArrayARB = recordEnable;
    }
    ~CallRecorder()
    {
        __glewProgramEnvParameter4fvARB = g_environmentCall;
        __glewEnableVertexAttribArrayARB = g_enableCall;
        g_recorded = nullptr;
    }
    CallRecorder(const CallRecorder&) = delete;
    CallRecorder& operator=(const CallRecorder&) = delete;

    const Recorded& recorded() const { return m_recorded; }

private:
    Recorded m_recorded;
};

// program.env vectors a program text reads ("program.env[a]" and "program.env[a..b]").
std::set<unsigned> environmentRead(const std::string& text)
{
    std::set<unsigned> read;
    static const std::regex range(R"(program\.env\[(\d+)(?:\.\.(\d+))?\])");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), range); it != std::sregex_iterator(); ++it) {
        const unsigned first = unsigned(std::stoul((*it)[1]));
        const unsigned last = (*it)[2].matched ? unsigned(std::stoul((*it)[2])) : first;
        for (unsigned k = first; k <= last; ++k) read.insert(k);
    }
    return read;
}

// Generic attributes a program text declares.
std::set<unsigned> attributesDeclared(const std::string& text)
{
    std::set<unsigned> declared;
    static const std::regex attribute(R"(vertex\.attrib\[(\d+)\])");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), attribute); it != std::sregex_iterator(); ++it)
        declared.insert(unsigned(std::stoul((*it)[1])));
    return declared;
}

bool underNativeLimits(const ARBVertexProgram& program)
{
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, program.name());
    GLint native = 0;
    glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
    return native != 0;
}

unsigned cardAttributeLimit()
{
    GLint limit = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &limit);
    return unsigned(limit);
}

// One animal at the given frame, its box around the origin where the camera looks.
std::shared_ptr<SimpleHerd> herdOfOne(const std::shared_ptr<Skin>& skin, unsigned frame)
{
    auto herd = std::make_shared<SimpleHerd>(skin);
    HerdInstance instance;
    instance.frame = frame;
    instance.box = BoundingBox({-1, -1, -1}, {1, 1, 1});
    herd->append(instance);
    return herd;
}

unsigned expectedCorrections(unsigned basis, unsigned chosen, int level)
{
    if (chosen == 0) return 0;
    const int count = int(std::min(basis, chosen)) - level;
    return count < 0 ? 0u : unsigned(count);
}

class HardwareLayoutTest : public GLTest {};

TEST_F(HardwareLayoutTest, EveryCombinationLoadsAndGetsExactlyWhatItsProgramsRead)
{
    const unsigned limit = cardAttributeLimit();
    ASSERT_GE(limit, 16u) << "llvmpipe offers 16 generic attributes";
    constexpr unsigned kDisplacement = kCombinationDisplacementBasis, kNormal = kCombinationNormalBasis,
                       kLighting = kCombinationLightingBasis, kFrame = kCombinationFrames - 1;
    int combinations = 0;
    for (const ProgramCombination& combination : everyProgramCombination()) {
        SCOPED_TRACE(combination.describe());
        const std::shared_ptr<Skin>& skin = combination.skin;
        const unsigned bones = combination.shape.bones, influences = combination.shape.influences;
        const bool texCoords = combination.shape.texCoords, overlay = combination.overlay;
        const LightingMode mode = combination.lighting;
        const unsigned chosen = combination.chosen;
        const int level = combination.level;
        ++combinations;
        HardwareSkinRenderer renderer(herdOfOne(skin, kFrame), level, "");
        renderer.setBlendedOverlay(overlay);
        HwSettings settings;
        settings.geometry = GeometryMode::Points;
        settings.lighting = mode;
        settings.vertexCorrections = settings.normalCorrections = settings.prtCorrections =
            chosen;
        CallRecorder recorder;
        renderer.render(settings);
        expectNoGLError("render");
        ASSERT_TRUE(renderer.built());

        // The renderer asked the generator for this card and these choices.
        VertexProgramGenerator::Choices choices = VertexProgramGenerator::Choices::fromSettings(
            settings, level, overlay, limit);
        const auto expected = VertexProgramGenerator::generate(*skin, choices);
        EXPECT_EQ(renderer.programText(), expected.litText);
        EXPECT_EQ(renderer.plainProgram()->text(), expected.plainText);
        EXPECT_EQ(renderer.plainProgram() == renderer.litProgram(),
                  mode == LightingMode::None);
        EXPECT_TRUE(underNativeLimits(*renderer.plainProgram()));
        EXPECT_TRUE(underNativeLimits(*renderer.litProgram()));

        // I, Vc, Nc, P and F.
        EXPECT_EQ(renderer.influenceCount(), influences);
        const unsigned vc = bones ? expectedCorrections(kDisplacement, chosen, level) : 0;
        const unsigned nc = bones && mode == LightingMode::OpenGL
                                ? expectedCorrections(kNormal, chosen, level)
                                : 0;
        unsigned p = 0;
        if (mode == LightingMode::PRT) {
            p = overlay ? kLighting : std::min(kLighting, chosen);
            if (level >= 2) p /= unsigned(level);
        }
        EXPECT_EQ(renderer.vertexCorrectionCount(), vc);
        EXPECT_EQ(renderer.normalCorrectionCount(), nc);
        EXPECT_EQ(renderer.prtBasisCount(), p);
        EXPECT_EQ(renderer.prtFirstVector(), 3 * bones + (vc + nc + 3) / 4);

        // Env: each vector once, for the vertex program target, with the
        // contract's values, and exactly the vectors the programs read.
        const Recorded& recorded = recorder.recorded();
        std::map<unsigned, Float4> uploaded;
        for (const auto& [index, value] : recorded.environment) {
            EXPECT_TRUE(uploaded.emplace(index, value).second) << "vector " << index << " twice";
        }
        for (GLenum target : recorded.environmentTargets)
            EXPECT_EQ(target, GLenum(GL_VERTEX_PROGRAM_ARB));
        std::map<unsigned, Float4> want = envParameters(*skin, renderer.layout(), kFrame);
        if (bones == 0)
            // Without bones the skin has no frames: like the software
            // renderer, it shows the rest pose lit by the mean alone.
            for (auto& entry : want) entry.second = {0, 0, 0, 0};
        EXPECT_EQ(uploaded, want);
        std::set<unsigned> read = environmentRead(renderer.programText());
        const std::set<unsigned> plainRead = environmentRead(renderer.plainProgram()->text());
        read.insert(plainRead.begin(), plainRead.end());
        std::set<unsigned> keys;
        for (const auto& entry : uploaded) keys.insert(entry.first);
        EXPECT_EQ(keys, read);
        if (p > 0) {
            // The PRT list: P coefficients then zeros to a whole vector.
            const std::vector<float> block = renderer.environmentFor(kFrame);
            const unsigned f = renderer.prtFirstVector();
            for (unsigned j = 0; j < (p + 3) / 4 * 4; ++j)
                EXPECT_EQ(block[4 * f + j],
                          j < p && bones ? skin->lightingCoordinates()(j, kFrame) : 0.0f)
                    << "PRT slot " << j;
        }

        // Attributes: the declared ones, each enabled once, holding the set's data.
        const VertexAttributeSet& attributes = *renderer.attributes();
        std::set<unsigned> records;
        for (const auto& record : attributes.records()) records.insert(record.index);
        const std::set<unsigned> enabled(recorded.enabledAttributes.begin(),
                                         recorded.enabledAttributes.end());
        EXPECT_EQ(recorded.enabledAttributes.size(), enabled.size());
        EXPECT_EQ(enabled, records);
        EXPECT_EQ(attributesDeclared(renderer.programText()), records);
        if (texCoords) {
            ASSERT_TRUE(renderer.layout().texCoord);
            EXPECT_EQ(renderer.layout().texCoord->index, 8u);
        }
        for (const auto& record : attributes.records()) {
            GLint size = 0, type = 0, normalized = 1, stride = -1, buffer = -1, on = 1;
            glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_SIZE_ARB, &size);
            glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_TYPE_ARB, &type);
            glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED_ARB, &normalized);
            glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_STRIDE_ARB, &stride);
            glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING_ARB, &buffer);
            glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_ENABLED_ARB, &on);
            EXPECT_EQ(size, GLint(record.componentCount())) << "attribute " << record.index;
            EXPECT_EQ(type, GL_FLOAT);
            EXPECT_EQ(normalized, 0);
            EXPECT_EQ(stride, 0);
            EXPECT_EQ(buffer, 0) << "vertex arrays live in client memory";
            EXPECT_EQ(on, 0) << "left enabled after the render";
            void* pointer = nullptr;
            glGetVertexAttribPointervARB(record.index, GL_VERTEX_ATTRIB_ARRAY_POINTER_ARB, &pointer);
            ASSERT_NE(pointer, nullptr);
            const auto* data = static_cast<const float*>(pointer);
            for (unsigned v = 0; v < skin->vertexCount(); ++v) {
                const Float4 want = attributeValues(attributes, v).at(record.index);
                for (unsigned c = 0; c < record.componentCount(); ++c)
                    EXPECT_EQ(data[v * record.componentCount() + c], want[c])
                        << "attribute " << record.index << " vertex " << v << " component " << c;
            }
        }
        if (HasFailure()) return;
    }
    EXPECT_EQ(combinations, 2016);
}

TEST_F(HardwareLayoutTest, BufferObjectsHoldTheInterleavedRecords)
{
    TestSkinShape shape;
    shape.bones = 3;
    shape.influences = 3;
    shape.displacementBasis = 2;
    shape.lightingBasis = 6;
    const auto skin = makeTestSkin(shape);
    HardwareSkinRenderer renderer(herdOfOne(skin, 1), 0, "");
    HwSettings settings;
    settings.lighting = LightingMode::PRT;
    settings.method = RenderMethod::VertexBufferObjects;
    settings.vertexCorrections = settings.prtCorrections = 9;
    renderer.render(settings);
    expectNoGLError("render");
    std::set<GLint> names;
    for (const auto& record : renderer.attributes()->records()) {
        GLint buffer = 0;
        glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING_ARB, &buffer);
        ASSERT_NE(buffer, 0) << "attribute " << record.index << " is not in a buffer object";
        EXPECT_TRUE(names.insert(buffer).second) << "one buffer per record";
        const std::vector<float> want = record.interleaved();
        std::vector<float> got(want.size());
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, GLuint(buffer));
        GLint size = 0;
        glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
        GLint usage = 0;
        glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
        EXPECT_EQ(usage, GL_STATIC_DRAW_ARB);
        ASSERT_EQ(size, GLint(want.size() * sizeof(float)));
        glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, size, got.data());
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        EXPECT_EQ(got, want) << "attribute " << record.index;
    }
    // A second render reuses the buffers.
    renderer.render(settings);
    for (const auto& record : renderer.attributes()->records()) {
        GLint buffer = 0;
        glGetVertexAttribivARB(record.index, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING_ARB, &buffer);
        EXPECT_EQ(names.count(buffer), 1u);
    }
}

TEST_F(HardwareLayoutTest, InstancesAtOneFrameShareOneUploadAndEachNewFrameUploadsAgain)
{
    TestSkinShape shape;
    shape.bones = 2;
    shape.frames = 4;
    shape.lightingBasis = 3;
    const auto skin = makeTestSkin(shape);
    auto herd = std::make_shared<SimpleHerd>(skin);
    for (unsigned frame : {1u, 1u, 3u, 1u, 7u}) {
        HerdInstance instance;
        instance.frame = frame;
        instance.box = BoundingBox({-1, -1, -1}, {1, 1, 1});
        herd->append(instance);
    }
    HardwareSkinRenderer renderer(herd, 0, "");
    HwSettings settings;
    settings.geometry = GeometryMode::Points;
    settings.lighting = LightingMode::PRT;
    settings.prtCorrections = 3;
    CallRecorder recorder;
    renderer.render(settings);
    expectNoGLError("render");
    // Bones (6 vectors) and P = 3 (one vector at F = 6): 7 vectors per upload, for frames 1,
    // 3, 1 and 7 (which wraps round to 3 on this 4-frame skin).
    const auto& environment = recorder.recorded().environment;
    ASSERT_EQ(environment.size(), 4u * 7u);
    const unsigned frames[] = {1, 3, 1, 3};
    for (unsigned u = 0; u < 4; ++u) {
        std::map<unsigned, Float4> upload(environment.begin() + 7 * u, environment.begin() + 7 * (u + 1));
        EXPECT_EQ(upload, envParameters(*skin, renderer.layout(), frames[u])) << "upload " << u;
        EXPECT_EQ(upload.at(6)[3], 0.0f) << "P = 3 leaves one zero";
    }
}

} // namespace
