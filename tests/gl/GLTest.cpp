#include "GLTest.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>

namespace {

// Capabilities whose state a test must leave as SetUp made it.
constexpr GLenum kWatched[] = {GL_LIGHTING,      GL_DEPTH_TEST,    GL_CULL_FACE,         GL_TEXTURE_2D,
                               GL_BLEND,         GL_POLYGON_OFFSET_FILL, GL_VERTEX_PROGRAM_ARB, GL_VERTEX_ARRAY,
                               GL_COLOR_ARRAY,   GL_NORMAL_ARRAY,  GL_TEXTURE_COORD_ARRAY};

const char* name(GLenum capability)
{
    switch (capability) {
    case GL_LIGHTING: return "GL_LIGHTING";
    case GL_DEPTH_TEST: return "GL_DEPTH_TEST";
    case GL_CULL_FACE: return "GL_CULL_FACE";
    case GL_TEXTURE_2D: return "GL_TEXTURE_2D";
    case GL_BLEND: return "GL_BLEND";
    case GL_POLYGON_OFFSET_FILL: return "GL_POLYGON_OFFSET_FILL";
    case GL_VERTEX_PROGRAM_ARB: return "GL_VERTEX_PROGRAM_ARB";
    case GL_VERTEX_ARRAY: return "GL_VERTEX_ARRAY";
    case GL_COLOR_ARRAY: return "GL_COLOR_ARRAY";
    case GL_NORMAL_ARRAY: return "GL_NORMAL_ARRAY";
    default: return "GL_TEXTURE_COORD_ARRAY";
    }
}

bool expectedEnabled(GLenum capability)
{
    return capability == GL_DEPTH_TEST || capability == GL_CULL_FACE;
}

} // namespace

void GLTest::SetUp()
{
    while (glGetError() != GL_NO_ERROR) {
    }
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFovy, double(kWidth) / kHeight, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, kEyeDistance, 0, 0, 0, 0, 1, 0);

    for (GLenum capability : kWatched) {
        if (capability == GL_VERTEX_ARRAY || capability == GL_COLOR_ARRAY || capability == GL_NORMAL_ARRAY ||
            capability == GL_TEXTURE_COORD_ARRAY)
            glDisableClientState(capability);
        else if (expectedEnabled(capability))
            glEnable(capability);
        else
            glDisable(capability);
    }
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_NORMALIZE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDepthMask(GL_TRUE);
    glColor4f(1, 1, 1, 1);
    // One white light from the right, front and top, in eye space; no ambient light, so a
    // side facing away from it is black.
    glPushMatrix();
    glLoadIdentity();
    const GLfloat direction[4] = {1, 0.5f, 1, 0};
    const GLfloat white[4] = {1, 1, 1, 1};
    const GLfloat black[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glEnable(GL_LIGHT0);
    glPopMatrix();
    clear();
    expectNoGLError("SetUp");
}

void GLTest::TearDown()
{
    expectNoGLError("the end of the test");
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "modelview stack left unbalanced";
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "projection stack left unbalanced";
    GLint list = 0;
    glGetIntegerv(GL_LIST_INDEX, &list);
    EXPECT_EQ(list, 0) << "a display list is still being compiled";
    GLint buffer = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &buffer);
    EXPECT_EQ(buffer, 0) << "an array buffer is still bound";
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &buffer);
    EXPECT_EQ(buffer, 0) << "an element array buffer is still bound";
    for (GLenum capability : kWatched) {
        // Lighting is the renderers' own per-draw setting, not a temporary change.
        if (capability == GL_LIGHTING) continue;
        EXPECT_EQ(glIsEnabled(capability) == GL_TRUE, expectedEnabled(capability)) << name(capability) << " changed";
    }
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites) << "depth writes left off";
    // Whatever the test did, the next one starts clean.
    while (glGetError() != GL_NO_ERROR) {
    }
    glMatrixMode(GL_MODELVIEW);
}

void GLTest::clear()
{
    glClearColor(kBackground[0] / 255.0f, kBackground[1] / 255.0f, kBackground[2] / 255.0f, 0);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GLTest::expectNoGLError(const char* where)
{
    const GLenum error = glGetError();
    EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR)) << "GL error 0x" << std::hex << error << " at " << where;
}

Rgb GLTest::at(const std::vector<std::uint8_t>& pixels, int x, int y)
{
    const std::size_t i = 3 * (static_cast<std::size_t>(y) * kWidth + x);
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

bool GLTest::isBackground(const Rgb& c)
{
    return c.r == kBackground[0] && c.g == kBackground[1] && c.b == kBackground[2];
}

int GLTest::coveredPixels(const std::vector<std::uint8_t>& pixels)
{
    int count = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) count += isBackground(at(pixels, x, y)) ? 0 : 1;
    return count;
}

double GLTest::sphereRadiusInPixels(double radius)
{
    // The silhouette's half-angle is asin(r / d); the projection maps tan of an angle to pixels.
    const double pi = 3.14159265358979;
    const double f = 1.0 / std::tan(kFovy * pi / 360.0);
    return std::tan(std::asin(radius / kEyeDistance)) * f * kHeight / 2.0;
}
