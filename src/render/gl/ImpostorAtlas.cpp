#include "render/gl/ImpostorAtlas.h"

#include "foundation/Exception.h"
#include "herd/SimpleHerd.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/Skin.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

// Pictures are drawn at this many samples a texel on each axis and averaged, so the edge of an
// animal gets partial coverage instead of a staircase.
constexpr int kSupersampling = 2;
// The largest off-screen picture drawn at once; cells are drawn in batches that fill it.
constexpr int kBatchSide = 2048;
// Texels kept around each cell's picture, so that filtered edges stay inside the quad.
constexpr int kQuadMargin = 2;
// Mipmap level bias of the atlas.
constexpr float kLodBias = -0.5f;

bool g_keepTexels = false;

// The user's choices, but always filled polygons without the line pass: the atlas pictures
// the animal's surface whatever the geometry mode shows of it.
class AtlasSettings : public RenderSettings {
public:
    explicit AtlasSettings(const RenderSettings& settings) : m_settings(settings) {}
    GeometryMode geometryMode() const override { return GeometryMode::Polys; }
    LightingMode lightingMode() const override { return m_settings.lightingMode(); }
    RenderMethod renderMethod() const override { return m_settings.renderMethod(); }
    bool wireframeOnShaded() const override { return false; }
    bool useTriangleStrips() const override { return m_settings.useTriangleStrips(); }
    unsigned vertexCorrectionCount() const override { return m_settings.vertexCorrectionCount(); }
    unsigned normalCorrectionCount() const override { return m_settings.normalCorrectionCount(); }
    unsigned prtCorrectionCount() const override { return m_settings.prtCorrectionCount(); }

private:
    const RenderSettings& m_settings;
};

// Every piece of GL state the atlas changes, put back when it goes out of scope (also when an
// exception passes): server and client attributes, both matrix stacks.
class SavedState {
public:
    SavedState()
    {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
    }
    ~SavedState()
    {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib();
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;
};

void directionalLight(GLenum light, float x, float y, float z, float intensity)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    const GLfloat position[4] = {x / length, y / length, z / length, 0.0f};
    const GLfloat diffuse[4] = {intensity, intensity, intensity, 1.0f};
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glEnable(light);
}

} // namespace

void ImpostorAtlas::keepTexels(bool keep)
{
    g_keepTexels = keep;
}

ImpostorAtlas::ImpostorAtlas(std::shared_ptr<Skin> skin, int detailLevel, const std::string& directory,
                             const RenderSettings& settings, bool hardwareSkinning, double thresholdPixels)
    : m_threshold(thresholdPixels)
{
    const auto start = std::chrono::steady_clock::now();
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    GLint maxRenderbuffer = kBatchSide;
    if (GLEW_EXT_framebuffer_object) glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &maxRenderbuffer);
    m_layout = ImpostorAtlasLayout::make(skin->boundingBox(), skin->frameCount(), thresholdPixels, maxTexture);
    const ImpostorAtlasLayout& layout = m_layout;

    const int sampleSide = layout.cellSize * kSupersampling;
    const int cellsPerSide = std::max(1, std::min(kBatchSide, static_cast<int>(maxRenderbuffer)) / sampleSide);
    const int batchSide = cellsPerSide * sampleSide;
    const int texelSide = cellsPerSide * layout.cellSize;

    auto herd = std::make_shared<SimpleHerd>(skin);
    std::unique_ptr<SkinRenderer> renderer;
    if (hardwareSkinning)
        renderer = std::make_unique<HardwareSkinRenderer>(herd, detailLevel, directory);
    else
        renderer = std::make_unique<SoftwareSkinRenderer>(herd, detailLevel, directory);
    const AtlasSettings atlasSettings(settings);

    std::vector<std::uint8_t> atlas(static_cast<std::size_t>(layout.width()) * layout.height() * 4, 0);
    {
        const SavedState saved;
        const GLFramebuffer target(batchSide, batchSide);
        if (!target.valid())
            throw OpenGLException("Impostors need framebuffer objects, which this OpenGL does not offer.");
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LESS);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glShadeModel(GL_SMOOTH);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClearDepth(1.0);

        const float r = layout.radius;
        const Vector3f& c = layout.centre;
        std::vector<std::uint8_t> colour(static_cast<std::size_t>(batchSide) * batchSide * 4);
        std::vector<float> depth(static_cast<std::size_t>(batchSide) * batchSide);
        const unsigned perBatch = static_cast<unsigned>(cellsPerSide * cellsPerSide);
        for (unsigned first = 0; first < layout.cellCount(); first += perBatch) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            const unsigned last = std::min(layout.cellCount(), first + perBatch);
            for (unsigned index = first; index < last; ++index) {
                const unsigned slot = index - first;
                const unsigned azimuth = index % layout.azimuths;
                const unsigned elevation = (index / layout.azimuths) % layout.elevations;
                const unsigned phase = index / (layout.azimuths * layout.elevations);
                glViewport(static_cast<GLint>(slot % cellsPerSide) * sampleSide,
                           static_cast<GLint>(slot / cellsPerSide) * sampleSide, sampleSide, sampleSide);
                glMatrixMode(GL_PROJECTION);
                glLoadIdentity();
                // The eye stands 2 radii from the centre, so the animal lies 1 to 3 radii deep.
                glOrtho(-r, r, -r, r, 0.5 * r, 3.5 * r);
                glMatrixMode(GL_MODELVIEW);
                glLoadIdentity();
                const Vector3f d = layout.direction(azimuth, elevation);
                gluLookAt(c.x + 2.0 * r * d.x, c.y + 2.0 * r * d.y, c.z + 2.0 * r * d.z, c.x, c.y, c.z, 0.0, 1.0,
                          0.0);
                // The view's lights, set in the animal's space as the view sets them in the scene's.
                directionalLight(GL_LIGHT0, 4.0f, 2.0f, -4.0f, 1.0f);
                directionalLight(GL_LIGHT1, -2.0f, 1.0f, 5.0f, 1.0f);
                directionalLight(GL_LIGHT2, d.x, d.y, d.z, 0.3f);

                HerdInstance instance;
                instance.frame = layout.frameOfPhase(phase);
                instance.box = skin->boundingBox();
                herd->clear();
                herd->append(instance);
                renderer->render(atlasSettings);
            }
            glReadPixels(0, 0, batchSide, batchSide, GL_RGBA, GL_UNSIGNED_BYTE, colour.data());
            glReadPixels(0, 0, batchSide, batchSide, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
            const std::vector<std::uint8_t> texels =
                resolveCoverage(colour, depth, batchSide, batchSide, kSupersampling);
            const std::size_t cellRow = static_cast<std::size_t>(layout.cellSize) * 4;
            for (unsigned index = first; index < last; ++index) {
                const unsigned slot = index - first;
                const int sx = static_cast<int>(slot % cellsPerSide) * layout.cellSize;
                const int sy = static_cast<int>(slot / cellsPerSide) * layout.cellSize;
                for (int y = 0; y < layout.cellSize; ++y)
                    std::memcpy(&atlas[(static_cast<std::size_t>(layout.cellY(index) + y) * layout.width() +
                                        layout.cellX(index)) * 4],
                                &texels[(static_cast<std::size_t>(sy + y) * texelSide + sx) * 4], cellRow);
            }
        }
        // Drawing the atlas may leave an error behind (a card that ran out of memory).
        if (const GLenum error = glGetError(); error != GL_NO_ERROR)
            throw OpenGLException(std::string("Drawing the impostor pictures failed: ") +
                                  reinterpret_cast<const char*>(gluErrorString(error)));
    }
    renderer.reset();

    m_cells.resize(layout.cellCount());
    for (unsigned index = 0; index < layout.cellCount(); ++index)
        m_cells[index] = impostorCellQuad(layout, index, coveredRect(atlas, layout, index, kQuadMargin));

    m_texture = std::make_unique<GLTexture>();
    {
        const SavedState saved;
        glBindTexture(GL_TEXTURE_2D, m_texture->name());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, layout.mipLevels);
        // Impostors are seen a little smaller than their cells most of the time; trilinear
        // filtering would blend in the next level and blur the coat. The bias keeps the base
        // level until the picture is shrunk by more than about 1.4.
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, kLodBias);
        int width = layout.width();
        int height = layout.height();
        std::vector<std::uint8_t> level = atlas;
        for (int mip = 0;; ++mip) {
            glTexImage2D(GL_TEXTURE_2D, mip, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
            if (mip == layout.mipLevels) break;
            level = halveRgba(level, width, height);
            width /= 2;
            height /= 2;
        }
        if (const GLenum error = glGetError(); error != GL_NO_ERROR)
            throw OpenGLException(std::string("Uploading the impostor atlas failed: ") +
                                  reinterpret_cast<const char*>(gluErrorString(error)));
    }
    if (g_keepTexels) m_texels = std::move(atlas);
    m_buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

ImpostorAtlas::~ImpostorAtlas() = default;
