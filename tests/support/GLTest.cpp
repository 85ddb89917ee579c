#include "GLTest.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace {

struct Capability {
    GLenum name;
    const char* label;
    bool enabled;
};

// Capabilities whose state a test must leave as SetUp made it. Lighting is missing on purpose:
// it is the renderers' own per-draw setting, not a temporary change.
constexpr Capability kWatched[] = {
    {GL_DEPTH_TEST, "GL_DEPTH_TEST", true},
    {GL_CULL_FACE, "GL_CULL_FACE", true},
    {GL_TEXTURE_2D, "GL_TEXTURE_2D", false},
    {GL_BLEND, "GL_BLEND", false},
    {GL_POLYGON_OFFSET_FILL, "GL_POLYGON_OFFSET_FILL", false},
    {GL_VERTEX_PROGRAM_ARB, "GL_VERTEX_PROGRAM_ARB", false},
    {GL_VERTEX_ARRAY, "GL_VERTEX_ARRAY", false},
    {GL_COLOR_ARRAY, "GL_COLOR_ARRAY", false},
    {GL_NORMAL_ARRAY, "GL_NORMAL_ARRAY", false},
    {GL_TEXTURE_COORD_ARRAY, "GL_TEXTURE_COORD_ARRAY", false},
};

// Not the default, so that a renderer that sets the mode and does not restore it shows up.
constexpr GLint kTextureMode = GL_ADD;

bool isClientArray(GLenum capability)
{
    return capability == GL_VERTEX_ARRAY || capability == GL_COLOR_ARRAY || capability == GL_NORMAL_ARRAY ||
           capability == GL_TEXTURE_COORD_ARRAY;
}

} // namespace

Rgb Picture::at(int x, int y) const
{
    const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool Picture::covered(int x, int y) const
{
    return !GLTest::isBackground(at(x, y));
}

int Picture::coveredCount() const
{
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) count += covered(x, y) ? 1 : 0;
    return count;
}

double Picture::meanBrightness() const
{
    double sum = 0;
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (covered(x, y)) {
                const Rgb c = at(x, y);
                sum += (c.r + c.g + c.b) / 3.0;
                ++count;
            }
    return count ? sum / count : 0.0;
}

PictureComparison compare(const Picture& a, const Picture& b, int channelTolerance)
{
    PictureComparison c;
    // A pixel is at a silhouette when some pixel of its 3 x 3 neighbourhood differs in
    // coverage from it, in either picture.
    auto atSilhouette = [](const Picture& p, int x, int y) {
        const bool centre = p.covered(x, y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= p.width || ny >= p.height) continue;
                if (p.covered(nx, ny) != centre) return true;
            }
        return false;
    };
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const bool inA = a.covered(x, y), inB = b.covered(x, y);
            c.coveredA += inA;
            c.coveredB += inB;
            const Rgb pa = a.at(x, y), pb = b.at(x, y);
            const int d = std::max({std::abs(pa.r - pb.r), std::abs(pa.g - pb.g), std::abs(pa.b - pb.b)});
            c.totalDifference += std::abs(pa.r - pb.r) + std::abs(pa.g - pb.g) + std::abs(pa.b - pb.b);
            const bool silhouette = atSilhouette(a, x, y) || atSilhouette(b, x, y);
            if (inA != inB) {
                ++c.coverageMismatches;
                if (!silhouette) ++c.coverageMismatchesAwayFromSilhouette;
                continue;
            }
            if (!inA || silhouette) continue;
            ++c.interior;
            c.largestChannelDifference = std::max(c.largestChannelDifference, d);
            if (d <= channelTolerance) continue;
            // Where two parts of the mesh pass through each other, the curve along which
            // one hides the other may fall a pixel apart (polygon offset, rounding): a pixel
            // matches when a neighbour in the other picture has its colour.
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= b.width || ny >= b.height) continue;
                    const Rgb q = b.at(nx, ny);
                    near = std::max({std::abs(pa.r - q.r), std::abs(pa.g - q.g), std::abs(pa.b - q.b)}) <=
                           channelTolerance;
                }
            if (!near) ++c.colourOutliers;
        }
    return c;
}

Picture differenceImage(const Picture& a, const Picture& b, int channelTolerance)
{
    Picture out = a;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Rgb pa = a.at(x, y), pb = b.at(x, y);
            const int d = std::max({std::abs(pa.r - pb.r), std::abs(pa.g - pb.g), std::abs(pa.b - pb.b)});
            std::uint8_t* p = &out.rgb[3 * (static_cast<std::size_t>(y) * a.width + x)];
            if (d > channelTolerance) {
                p[0] = 255;
                p[1] = p[2] = 0;
            } else {
                for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(p[c] / 3);
            }
        }
    return out;
}

std::ostream& operator<<(std::ostream& out, const PictureComparison& c)
{
    return out << "covered " << c.coveredA << " / " << c.coveredB << ", coverage mismatches " << c.coverageMismatches
               << " (" << c.coverageMismatchesAwayFromSilhouette << " away from the silhouette), interior "
               << c.interior << ", colour outliers " << c.colourOutliers << ", largest channel difference "
               << c.largestChannelDifference << ", total difference " << c.totalDifference;
}

void GLTest::SetUp()
{
    while (glGetError() != GL_NO_ERROR) {
    }
    const int width = testWindow().width(), height = testWindow().height();
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFovy, double(width) / height, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, kEyeDistance, 0, 0, 0, 0, 1, 0);

    for (const Capability& c : kWatched) {
        if (isClientArray(c.name))
            glDisableClientState(c.name);
        else if (c.enabled)
            glEnable(c.name);
        else
            glDisable(c.name);
    }
    GLint attributes = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &attributes);
    for (GLint i = 0; i < attributes; ++i) glDisableVertexAttribArrayARB(GLuint(i));
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_NORMALIZE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glBlendFunc(GL_ONE, GL_ZERO);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, kTextureMode);
    glColor4f(1, 1, 1, 1);
    glPointSize(1);
    glLineWidth(1);
    // GL's default, which texture loaders must change only for the length of an upload.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // One white light from the right, front and top, given in eye space with unit length:
    // fixed-function lighting normalises a directional light's direction, the generated
    // program takes it as it stands. No ambient light, and light 1 at its defaults (black).
    glPushMatrix();
    glLoadIdentity();
    const Vector3f d = Vector3f(1, 0.5f, 1).normalized();
    const GLfloat direction[4] = {d.x, d.y, d.z, 0};
    const GLfloat white[4] = {1, 1, 1, 1};
    const GLfloat black[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glEnable(GL_LIGHT0);
    // Light 1 and the material at GL's defaults, whatever an earlier test set.
    const GLfloat light1Position[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT1, GL_POSITION, light1Position);
    glLightfv(GL_LIGHT1, GL_AMBIENT, black);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, black);
    glLightfv(GL_LIGHT1, GL_SPECULAR, black);
    glDisable(GL_LIGHT1);
    const GLfloat materialAmbient[4] = {0.2f, 0.2f, 0.2f, 1}, materialDiffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, materialAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, materialDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0);
    glPopMatrix();
    glDisable(GL_LIGHTING);
    clear();
    expectNoGLError("SetUp");
}

void GLTest::TearDown()
{
    expectNoGLError("the end of the test");
    GLint value = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
    EXPECT_EQ(value, 1) << "modelview stack left unbalanced";
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
    EXPECT_EQ(value, 1) << "projection stack left unbalanced";
    glGetIntegerv(GL_LIST_INDEX, &value);
    EXPECT_EQ(value, 0) << "a display list is still being compiled";
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &value);
    EXPECT_EQ(value, 0) << "an array buffer is still bound";
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &value);
    EXPECT_EQ(value, 0) << "an element array buffer is still bound";
    for (const Capability& c : kWatched)
        EXPECT_EQ(glIsEnabled(c.name) == GL_TRUE, c.enabled) << c.label << " changed";
    GLint attributes = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS_ARB, &attributes);
    for (GLint i = 0; i < attributes; ++i) {
        glGetVertexAttribivARB(GLuint(i), GL_VERTEX_ATTRIB_ARRAY_ENABLED_ARB, &value);
        EXPECT_EQ(value, 0) << "generic attribute array " << i << " left enabled";
    }
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites) << "depth writes left off";
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_ONE) << "blend function changed";
    EXPECT_EQ(destination, GL_ZERO) << "blend function changed";
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, kTextureMode) << "texture environment mode changed";
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 4) << "unpack alignment left changed";
    GLint polygonMode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_FILL) << "front polygon mode left changed";
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

void GLTest::lookAt(const BoundingBox& box, const Vector3f& direction, float fill)
{
    const Vector3f centre = (box.minimum + box.maximum) * 0.5f;
    const float radius = 0.5f * (box.maximum - box.minimum).length();
    const double fovy = 40.0;
    const double distance = radius / std::tan(fovy * 3.14159265358979 / 360.0) / fill;
    const Vector3f eye = centre + direction.normalized() * float(distance);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, double(testWindow().width()) / testWindow().height(), 0.05 * distance, 4.0 * distance);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0, 1, 0);
}

Picture GLTest::picture() const
{
    return {testWindow().width(), testWindow().height(), testWindow().readPixels()};
}

std::vector<float> GLTest::depth() const
{
    const int width = testWindow().width(), height = testWindow().height();
    std::vector<float> values(static_cast<std::size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, values.data());
    return values;
}

void GLTest::expectNoGLError(const std::string& where)
{
    const GLenum error = glGetError();
    EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR)) << "GL error 0x" << std::hex << error << " at " << where;
}

bool GLTest::isBackground(const Rgb& c)
{
    return c.r == kBackground[0] && c.g == kBackground[1] && c.b == kBackground[2];
}

double GLTest::sphereRadiusInPixels(double radius)
{
    // The silhouette's half-angle is asin(r / d); the projection maps tan of an angle to pixels.
    const double pi = 3.14159265358979;
    const double f = 1.0 / std::tan(kFovy * pi / 360.0);
    return std::tan(std::asin(radius / kEyeDistance)) * f * testWindow().height() / 2.0;
}

void GLTest::save(const Picture& picture, const std::string& name)
{
    GLTestWindow::savePng(name, picture.rgb, picture.width, picture.height);
}
