#include "render/gl/FrameRenderer.h"

#include "camera/Camera.h"
#include "foundation/Exception.h"
#include "herd/HerdScene.h"
#include "render/ExportNaming.h"
#include "render/FrameStamps.h"
#include "render/MatrixScreenSpaceConverter.h"
#include "render/ViewNavigation.h"
#include "render/ViewSettings.h"
#include "render/gl/GLFramebuffer.h"
#include "render/gl/GLState.h"
#include "render/gl/GLText.h"
#include "render/gl/GLTileRenderer.h"
#include "render/gl/HardwareSkinRenderer.h"
#include "render/gl/ImpostorRenderer.h"
#include "render/gl/SoftwareSkinRenderer.h"
#include "skin/Skin.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>

namespace {

// Half the side of the ground quad: far beyond the far plane in every direction.
constexpr float kGroundHalfSize = 100000.0f;

// A directional light (w = 0) towards the normalised direction.
void setDirectionalLight(GLenum light, Vector3f direction, const GLfloat (&diffuse)[4])
{
    const float length = std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
    if (length > 0.0f) direction = Vector3f(direction.x / length, direction.y / length, direction.z / length);
    const GLfloat position[4] = {direction.x, direction.y, direction.z, 0.0f};
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glEnable(light);
}

void setUpLights(const Camera& camera)
{
    static const GLfloat kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLfloat kDim[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    setDirectionalLight(GL_LIGHT0, Vector3f(4.0f, 2.0f, -4.0f), kWhite);
    setDirectionalLight(GL_LIGHT1, Vector3f(-2.0f, 1.0f, 5.0f), kWhite);
    const Vector3f lookAt = camera.lookAtPoint();
    const Vector3f eye = camera.eye();
    setDirectionalLight(GL_LIGHT2, Vector3f(eye.x - lookAt.x, eye.y - lookAt.y, eye.z - lookAt.z), kDim);
}

void clearColour(BackgroundMode background)
{
    switch (background) {
    case BackgroundMode::White: glClearColor(1.0f, 1.0f, 1.0f, 0.0f); break;
    case BackgroundMode::LightGray: glClearColor(60.0f / 255.0f, 60.0f / 255.0f, 60.0f / 255.0f, 0.0f); break;
    case BackgroundMode::DarkGray: glClearColor(30.0f / 255.0f, 30.0f / 255.0f, 30.0f / 255.0f, 0.0f); break;
    case BackgroundMode::Blue: glClearColor(39.0f / 255.0f, 39.0f / 255.0f, 81.0f / 255.0f, 0.0f); break;
    case BackgroundMode::Black:
    case BackgroundMode::Sky: glClearColor(0.0f, 0.0f, 0.0f, 0.0f); break;
    }
}

void loadMatrix(GLenum mode, const Matrix4f& matrix)
{
    glMatrixMode(mode);
    glLoadIdentity();
    glMultMatrixf(matrix.transposed().data());
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string unableToWrite(const std::string& path, const std::string& reason)
{
    return "Unable to write to image '" + path + "': " + reason;
}

std::string sizeText(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// Every tile stamps a frame; once the export ends, however it ends, the frame rate on screen
// is measured afresh.
class ClearStampsAtEnd {
public:
    explicit ClearStampsAtEnd(FrameStamps& stamps) : m_stamps(stamps) {}
    ~ClearStampsAtEnd() { m_stamps.clear(); }
    ClearStampsAtEnd(const ClearStampsAtEnd&) = delete;
    ClearStampsAtEnd& operator=(const ClearStampsAtEnd&) = delete;

private:
    FrameStamps& m_stamps;
};

} // namespace

FrameRenderer::FrameRenderer(std::function<std::string()> skyImagePath) : m_sky(std::move(skyImagePath)) {}

FrameRenderer::~FrameRenderer() = default;

void FrameRenderer::releaseGLResources()
{
    m_renderers.releaseGLResources();
    m_rendererFailed = false;
}

std::string FrameRenderer::vertexProgramText() const
{
    const auto& hardware = m_renderers.hardware();
    if (hardware.empty()) return "No vertex program currently in use (1)";
    return hardware.front()->programText();
}

void FrameRenderer::drawFrame(const FrameContent& content, int width, int height)
{
    drawInto(content, nullptr, width, height);
}

void FrameRenderer::finishDrawing()
{
    glFinish();
}

void FrameRenderer::drawInto(const FrameContent& content, GLTileRenderer* tiles, int width, int height)
{
    content.measures.stamps.push(FrameStamps::nowMilliseconds());
    const ViewSettings& settings = content.settings;
    Camera& camera = content.camera;

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_AUTO_NORMAL);
    glDisable(GL_NORMALIZE);
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_FALSE);

    const auto drawStart = std::chrono::steady_clock::now();
    clearColour(settings.backgroundMode());
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);

    applyCamera(camera, tiles, width, height);
    // After the view matrix, so the lights keep their directions in the scene rather than
    // following the previous frame's view one frame late.
    setUpLights(camera);

    if (settings.backgroundMode() == BackgroundMode::Sky) m_sky.draw(camera.eye());

    glDisable(GL_CULL_FACE);
    const bool shadowsDrawn =
        settings.shadows() && !m_renderers.shadow().empty() && settings.lightingMode() == LightingMode::PRT;
    if (settings.groundPlane()) drawGroundPlane(camera, shadowsDrawn);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    if (!m_rendererFailed) {
        try {
            drawHerds(content, shadowsDrawn, width, height);
        } catch (const Exception& e) {
            // Set before the handler runs: a modal box draws frames, and those skip the herds.
            m_rendererFailed = true;
            if (m_onError) m_onError(e.message());
        }
    }

    content.measures.averageDrawTime =
        0.9 * content.measures.averageDrawTime + 0.1 * (millisecondsSince(drawStart) * 0.001);

    // Exported pictures show the scene alone: the overlay is for the person at the screen.
    if (tiles == nullptr) {
        TextRows statistics;
        if (content.statisticsRows) statistics = content.statisticsRows();
        if (!statistics.empty()) {
            glDisable(GL_CULL_FACE);
            GLText::drawTextTable(-90.0, 90.0, statistics);
            glDisable(GL_LIGHTING);
        }
        if (!content.helpRows.empty()) {
            glDisable(GL_CULL_FACE);
            GLText::drawTextTable(-90.0, helpPanelTop(statistics.size(), height), content.helpRows);
            glDisable(GL_LIGHTING);
        }
    }
    glFlush();
}

void FrameRenderer::applyCamera(Camera& camera, GLTileRenderer* tiles, int width, int height)
{
    camera.setNearFar(kNearPlane, kFarPlane);
    // A tile's viewport and projection are the tile renderer's.
    if (tiles == nullptr) {
        const double aspect = height > 0 ? static_cast<double>(width) / height : 0.0;
        camera.setAspect(aspect);
        camera.setViewportAspect(aspect);
        glViewport(0, 0, width, height);
        loadMatrix(GL_PROJECTION, camera.projection());
    }
    loadMatrix(GL_MODELVIEW, camera.view());
}

void FrameRenderer::drawGroundPlane(const Camera& camera, bool shadowsDrawn)
{
    GLState::Disable lighting(GL_LIGHTING);
    GLState::DepthWritesOff depthWrites;
    Vector3f colour(0.0f, 0.0f, 0.0f);
    if (shadowsDrawn) {
        // The ground takes the colour the shadow skin has where no animal darkens it, so the
        // blended shadows fade into the ground without a visible edge.
        const Skin& shadow = *m_renderers.shadow().back()->herd()->skin();
        if (!shadow.vertexColors().empty()) {
            const Vector3f c = shadow.vertexColors().front();
            const float scale = shadow.maxMeanLighting();
            colour = Vector3f(c.x * scale, c.y * scale, c.z * scale);
        }
    }
    glColor3f(colour.x, colour.y, colour.z);
    const Vector3f eye = camera.eye();
    GLState::Begin quads(GL_QUADS);
    glVertex3f(eye.x - kGroundHalfSize, 0.0f, eye.z - kGroundHalfSize);
    glVertex3f(eye.x - kGroundHalfSize, 0.0f, eye.z + kGroundHalfSize);
    glVertex3f(eye.x + kGroundHalfSize, 0.0f, eye.z + kGroundHalfSize);
    glVertex3f(eye.x + kGroundHalfSize, 0.0f, eye.z - kGroundHalfSize);
}

void FrameRenderer::drawHerds(const FrameContent& content, bool shadowsDrawn, int width, int height)
{
    // Herds loaded while no context could be current get their renderers now.
    m_renderers.sync(content.scene);

    FrameBreakdown breakdown;
    // The renderers add to this frame's figures while it draws, and point nowhere afterwards,
    // also when drawing throws.
    struct Measuring {
        const HerdRenderers& renderers;
        Measuring(const HerdRenderers& r, FrameBreakdown& b) : renderers(r)
        {
            for (const auto& renderer : renderers.all()) renderer->setBreakdown(&b);
        }
        ~Measuring()
        {
            for (const auto& renderer : renderers.all()) renderer->setBreakdown(nullptr);
        }
    } measuring(m_renderers, breakdown);

    const ViewSettings& settings = content.settings;
    const DetailMode detail = settings.detailMode();
    // Impostors are the farthest level of the view-dependent modes; a fixed level is one mesh
    // for every animal.
    const bool impostors = settings.impostors() && detail != DetailMode::Fixed && height > 0;
    // The switch height as a share of the picture's height in normalized device space (2 tall).
    const double impostorHeight = impostors ? 2.0 * settings.impostorPixels() / height : 0.0;
    if (impostors)
        for (const auto& renderer : m_renderers.impostors())
            renderer->prepare(settings, settings.useVertexProgram(), settings.impostorPixels());

    const auto lodStart = std::chrono::steady_clock::now();
    // Levels of detail go by the size on the whole picture: measured per tile, an animal would
    // get finer levels the smaller the window, and one that straddles two tiles could be drawn
    // at two levels, leaving a seam through it.
    const Matrix4f modelview = content.camera.view();
    const Matrix4f projection = content.camera.projection();
    const Viewport picture{0, 0, width, height};
    const auto converter = [=] { return std::make_unique<MatrixScreenSpaceConverter>(modelview, projection, picture); };
    for (const auto& herd : content.scene.herds()) {
        if (detail == DetailMode::Fixed)
            herd->setFixedLevel(static_cast<int>(settings.fixedDetailLevel()));
        else
            herd->setMode(static_cast<int>(detail));
        herd->setImpostorThreshold(impostorHeight);
        herd->setConverterFactory(converter);
    }
    for (const auto& herd : content.scene.herds()) herd->update();
    breakdown.lodUpdate = millisecondsSince(lodStart);

    if (impostors) {
        const ViewFrustumTest frustum(modelview, projection);
        for (const auto& renderer : m_renderers.impostors())
            renderer->update(frustum, content.camera.eye(), shadowsDrawn, breakdown);
    }

    const auto meshStart = std::chrono::steady_clock::now();
    if (shadowsDrawn)
        for (const auto& renderer : m_renderers.shadow()) renderer->render(settings);
    if (settings.useVertexProgram())
        for (const auto& renderer : m_renderers.hardware()) renderer->render(settings);
    else
        for (const auto& renderer : m_renderers.software()) renderer->render(settings);
    // What the renderers measured of their own (culling, skinning) is not drawing.
    breakdown.drawingMeshes = std::max(0.0, millisecondsSince(meshStart) - breakdown.culling - breakdown.skinning);

    if (impostors) {
        const auto shadowStart = std::chrono::steady_clock::now();
        // The blobs go under the impostors and the band's meshes only: depth-tested against the
        // meshes drawn, and without depth writes, they never cover an animal.
        if (shadowsDrawn)
            for (const auto& renderer : m_renderers.impostors()) renderer->renderShadows();
        breakdown.drawingImpostors += millisecondsSince(shadowStart);
        for (const auto& renderer : m_renderers.impostors()) renderer->render(breakdown);
    }
    content.measures.breakdown.add(breakdown);
}

void FrameRenderer::checkImageRequest(int width, int height, int tileWidth, int tileHeight, const std::string& path)
{
    if (!isAcceptedImageSide(width) || !isAcceptedImageSide(height))
        throw IOException(unableToWrite(path, sizeText(width, height) +
                                                  " pixels is not a size from 1 x 1 to 19999 x 19999."));
    if (tileWidth < 1 || tileHeight < 1)
        throw IOException(unableToWrite(path, "the view has no area to draw the tiles in."));
}

PixelImage FrameRenderer::renderImage(const FrameContent& content, int width, int height, int tileWidth,
                                      int tileHeight, const std::string& path)
{
    checkImageRequest(width, height, tileWidth, tileHeight, path);
    ClearStampsAtEnd clearStamps(content.measures.stamps);

    GLTileRenderer tiles;
    tiles.setTileSize(tileWidth, tileHeight, 0);
    tiles.setGuardBand(kTileGuardBand);
    tiles.setImageSize(width, height);
    // A window shrunk to a few pixels would take millions of frames; refused before allocating.
    if (tiles.tileCount() > kMaxTiles)
        throw IOException(unableToWrite(path, "the window is too small to draw " + sizeText(width, height) +
                                                  " pixels in tiles."));
    PixelImage image;
    try {
        image.width = width;
        image.height = height;
        image.rgb.assign(image.rowBytes() * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        throw IOException(unableToWrite(path, "not enough memory for " + sizeText(width, height) + " pixels."));
    }
    tiles.setImageBuffer(GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());

    Camera& camera = content.camera;
    camera.setNearFar(kNearPlane, kFarPlane);
    camera.setAspect(static_cast<double>(width) / height);
    camera.applyProjection(tiles);

    // Drawn off screen: reading a window's own back buffer returns undefined pixels wherever
    // another window (the export's progress dialog, say) covers it, since those pixels fail
    // the ownership test on most drivers. Without framebuffer objects the tiles go to the
    // bound framebuffer.
    const GLFramebuffer offscreen(tileWidth, tileHeight);
    do {
        tiles.beginTile();
        drawInto(content, &tiles, width, height);
    } while (tiles.endTile());

    // GL reads rows bottom to top; files store them top to bottom.
    image.flipRows();
    return image;
}
