// The generated vertex programs on a real ARB_vertex_program implementation, loaded as the
// viewer loads them: the harness sees a driver's rejection, a card with eight attributes takes
// the programs, and points drawn with the programs land where processor skinning puts the
// vertices, in the colour the lighting mode gives them. (Every combination of the program
// table loading within the native limits is checked where the renderer builds them,
// HardwareLayoutTest.)

#include "HardwareSuite.h"
#include "VertexProgramTestSkins.h"

#include "render/ProgramText.h"
#include "render/VertexProgramGenerator.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>

namespace {

using Generator = VertexProgramGenerator;

// Magenta: no colour any of the programs produces for the test skins.
constexpr std::uint8_t kMagenta[3] = {255, 0, 255};

unsigned cardAttributeLimit()
{
    GLint limit = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &limit);
    return unsigned(limit);
}

// One program object loaded from a text as the viewer loads it (comment lines removed).
class LoadedProgram {
public:
    explicit LoadedProgram(const std::string& text)
    {
        const std::string loaded = stripCommentLines(text);
        glGenProgramsARB(1, &m_name);
        glBindProgramARB(GL_VERTEX_PROGRAM_ARB, m_name);
        glProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(loaded.size()), loaded.data());
        GLint position = -1;
        glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
        if (position != -1) {
            const auto* error = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
            m_error = programErrorMessage(loaded, position, error ? error : "");
        }
        GLint native = 0;
        glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
        m_underNativeLimits = native != 0;
        while (glGetError() != GL_NO_ERROR) m_glError = true;
    }
    ~LoadedProgram() { glDeleteProgramsARB(1, &m_name); }
    LoadedProgram(const LoadedProgram&) = delete;
    LoadedProgram& operator=(const LoadedProgram&) = delete;

    bool ok() const { return m_error.empty() && !m_glError && m_underNativeLimits; }
    std::string why() const
    {
        return m_error + (m_glError ? " [GL error]" : "") + (m_underNativeLimits ? "" : " [over native limits]");
    }
    GLuint name() const { return m_name; }

private:
    GLuint m_name = 0;
    std::string m_error;
    bool m_glError = false;
    bool m_underNativeLimits = false;
};

const char* modeName(LightingMode mode)
{
    return mode == LightingMode::None ? "None" : mode == LightingMode::OpenGL ? "OpenGL" : "PRT";
}

} // namespace

using VertexProgramDriverTest = GLTest;

TEST_F(VertexProgramDriverTest, TheHarnessSeesADriverRejection)
{
    // Guards the checks below: a text with an undeclared name must be reported.
    LoadedProgram broken("!!ARBvp1.0\nMOV result.position, undeclared;\nEND\n");
    EXPECT_FALSE(broken.ok());
    EXPECT_NE(broken.why().find("Caught error at position"), std::string::npos) << broken.why();
}

TEST_F(VertexProgramDriverTest, ExampleLoadsOnACardWithEightAttributes)
{
    TestSkinShape shape;
    shape.displacementBasis = 1;
    shape.lightingBasis = 2;
    Generator::Choices c;
    c.lightingMode = LightingMode::PRT;
    c.vertexCorrectionCount = 1;
    c.prtCorrectionCount = 2;
    c.maxVertexAttributes = 8;
    const auto programs = Generator::generate(*makeTestSkin(shape), c);
    ASSERT_EQ(programs.layout.texCoord->index, 1u);
    LoadedProgram plain(programs.plainText), lit(programs.litText);
    EXPECT_TRUE(plain.ok()) << plain.why();
    EXPECT_TRUE(lit.ok()) << lit.why();
}

namespace {

// Sets up a camera, two directional lights and a material, draws single points with a
// program and finds where and in what colour they land. Puts back what the fixture watches.
class PointDrawing {
public:
    PointDrawing()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4, 4, -4, 4, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // Lights are given in eye space: set them before the modelview moves.
        const GLfloat dir0[] = {0, 0.6f, 0.8f, 0}, dir1[] = {-0.8f, 0, 0.6f, 0};
        const GLfloat ambient0[] = {0.2f, 0.1f, 0.3f, 1}, diffuse0[] = {0.7f, 0.6f, 0.5f, 1};
        const GLfloat ambient1[] = {0.05f, 0.1f, 0, 1}, diffuse1[] = {0.3f, 0.2f, 0.4f, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, dir0);
        glLightfv(GL_LIGHT1, GL_POSITION, dir1);
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient0);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse0);
        glLightfv(GL_LIGHT1, GL_AMBIENT, ambient1);
        glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse1);
        const GLfloat materialAmbient[] = {0.5f, 0.5f, 0.5f, 1}, materialDiffuse[] = {0.8f, 0.8f, 0.8f, 1};
        glMaterialfv(GL_FRONT, GL_AMBIENT, materialAmbient);
        glMaterialfv(GL_FRONT, GL_DIFFUSE, materialDiffuse);
        glMaterialf(GL_FRONT, GL_SHININESS, 0);
        for (int c = 0; c < 3; ++c) {
            m_ambient[c] = (ambient0[c] + ambient1[c]) * materialAmbient[c];
            m_diffuse[0][c] = diffuse0[c] * materialDiffuse[c];
            m_diffuse[1][c] = diffuse1[c] * materialDiffuse[c];
            m_light[0][c] = dir0[c];
            m_light[1][c] = dir1[c];
        }
        glRotatef(30, 0, 1, 0);
        glTranslatef(0.2f, -0.5f, 0.1f);
        glGetFloatv(GL_MODELVIEW_MATRIX, m_modelview);
        glGetFloatv(GL_PROJECTION_MATRIX, m_projection);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glPointSize(1);
        glClearColor(kMagenta[0] / 255.0f, kMagenta[1] / 255.0f, kMagenta[2] / 255.0f, 1);
    }
    ~PointDrawing() { glEnable(GL_DEPTH_TEST); }
    PointDrawing(const PointDrawing&) = delete;
    PointDrawing& operator=(const PointDrawing&) = delete;

    // Window coordinates of a model-space point.
    std::array<float, 2> window(const Vector3f& p) const
    {
        float eye[4], clip[4];
        const float in[4] = {p.x, p.y, p.z, 1};
        for (int r = 0; r < 4; ++r) eye[r] = m_modelview[r] * in[0] + m_modelview[4 + r] * in[1] + m_modelview[8 + r] * in[2] + m_modelview[12 + r];
        for (int r = 0; r < 4; ++r)
            clip[r] = m_projection[r] * eye[0] + m_projection[4 + r] * eye[1] + m_projection[8 + r] * eye[2] + m_projection[12 + r] * eye[3];
        return {(clip[0] / clip[3] * 0.5f + 0.5f) * kWidth, (clip[1] / clip[3] * 0.5f + 0.5f) * kHeight};
    }

    // OpenGL lighting of a model-space unit normal as the lit program computes it.
    Vector3f lit(const Vector3f& n) const
    {
        // The modelview is a rotation and a translation: its inverse transpose rotates alike.
        Vector3f e;
        for (int r = 0; r < 3; ++r) e[r] = m_modelview[r] * n.x + m_modelview[4 + r] * n.y + m_modelview[8 + r] * n.z;
        Vector3f color = m_ambient;
        for (int j = 0; j < 2; ++j) color += m_diffuse[j] * std::max(0.0f, e.dot(m_light[j]));
        return color;
    }

    struct Hit {
        int count = 0;
        float x = 0, y = 0;
        Vector3f color;
    };

    // Draws vertex v alone and reports the pixels that changed.
    Hit draw(unsigned v) const
    {
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_POINTS, GLint(v), 1);
        const auto pixels = testWindow().readPixels();
        Hit hit;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::uint8_t* p = &pixels[(std::size_t(y) * kWidth + std::size_t(x)) * 3];
                if (p[0] == kMagenta[0] && p[1] == kMagenta[1] && p[2] == kMagenta[2]) continue;
                ++hit.count;
                hit.x = x + 0.5f;
                hit.y = y + 0.5f;
                hit.color = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
            }
        return hit;
    }

private:
    GLfloat m_modelview[16];
    GLfloat m_projection[16];
    Vector3f m_ambient;
    Vector3f m_diffuse[2];
    Vector3f m_light[2];
};

Vector3f clamped(Vector3f c)
{
    for (int i = 0; i < 3; ++i) c[i] = std::clamp(c[i], 0.0f, 1.0f);
    return c;
}

} // namespace

TEST_F(VertexProgramDriverTest, DrawnPointsLandWhereProcessorSkinningPutsThem)
{
    const PointDrawing drawing;
    for (unsigned influences = 1; influences <= 4; ++influences)
        for (LightingMode mode : {LightingMode::None, LightingMode::OpenGL, LightingMode::PRT}) {
            TestSkinShape shape;
            shape.bones = 3;
            shape.influences = influences;
            shape.displacementBasis = 3;
            shape.normalBasis = 3;
            shape.lightingBasis = 6;
            const auto skin = makeTestSkin(shape);
            Generator::Choices c;
            c.lightingMode = mode;
            // Every correction the skin has, so that processor skinning is the reference.
            c.vertexCorrectionCount = c.normalCorrectionCount = c.prtCorrectionCount = 9;
            c.maxVertexAttributes = cardAttributeLimit();
            const auto programs = Generator::generate(*skin, c);
            LoadedProgram program(programs.litText);
            ASSERT_TRUE(program.ok()) << program.why();

            std::vector<std::vector<float>> buffers;
            for (const auto& record : programs.attributes->records()) {
                buffers.push_back(record.interleaved());
                glVertexAttribPointerARB(record.index, GLint(record.componentCount()), GL_FLOAT, GL_FALSE, 0,
                                         buffers.back().data());
                glEnableVertexAttribArrayARB(record.index);
            }
            glEnable(GL_VERTEX_PROGRAM_ARB);
            glBindProgramARB(GL_VERTEX_PROGRAM_ARB, program.name());
            for (unsigned f = 0; f < skin->frameCount(); ++f) {
                for (const auto& [index, value] : envParameters(*skin, programs.layout, f))
                    glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, index, value.data());
                for (unsigned v = 0; v < skin->vertexCount(); ++v) {
                    SCOPED_TRACE(std::string(modeName(mode)) + " influences " + std::to_string(influences) + " frame " +
                                 std::to_string(f) + " vertex " + std::to_string(v));
                    const auto hit = drawing.draw(v);
                    const auto want = drawing.window(skin->framePositions(f)[v]);
                    ASSERT_EQ(hit.count, 1);
                    EXPECT_NEAR(hit.x, want[0], 1.0f);
                    EXPECT_NEAR(hit.y, want[1], 1.0f);
                    Vector3f color;
                    if (mode == LightingMode::OpenGL) {
                        // A vertex without influences has no normal to light.
                        if (skin->influences(v).empty()) continue;
                        color = drawing.lit(skin->frameNormals(f)[v]);
                    } else if (mode == LightingMode::PRT) {
                        float light = skin->meanLighting()[v];
                        for (unsigned j = 0; j < skin->lightingBasisCount(); ++j)
                            light += skin->lightingBasis()(v, j) * skin->lightingCoordinates()(j, f);
                        color = skin->vertexColors()[v] * light;
                    }
                    color = clamped(color);
                    for (int i = 0; i < 3; ++i) EXPECT_NEAR(hit.color[i], color[i], 3.0f / 255) << "channel " << i;
                }
            }
            glDisable(GL_VERTEX_PROGRAM_ARB);
            for (const auto& record : programs.attributes->records()) glDisableVertexAttribArrayARB(record.index);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            if (HasFailure()) return;
        }
}
