#pragma once

#include "skin/PixelImage.h"
#include "render/gl/HerdRenderers.h"
#include "render/gl/SkySphere.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Camera;
class GLTileRenderer;
class HerdScene;
class ViewSettings;
struct FrameMeasures;

// Rows of a two-column text table: label and value.
using TextRows = std::vector<std::pair<std::string, std::string>>;

// What one frame shows, as a viewer holds it.
struct FrameContent {
    const HerdScene& scene;
    // Its aspect ratio and near and far planes are set for the frame.
    Camera& camera;
    const ViewSettings& settings;
    // Each frame pushes a frame stamp and updates the average draw time.
    FrameMeasures& measures;
    // The statistics table, asked for once the herds are drawn (their draw time is one of its
    // figures); none when empty.
    std::function<TextRows()> statisticsRows;
    // The mouse-and-keys panel under the table; none when empty.
    TextRows helpRows;
};

// Draws a viewer's frames with OpenGL: lights, clear colour, camera, sky, ground plane, the
// herds at their levels of detail (shadows first, then the hardware or the software renderers
// as "Use vertex program" says) and the overlay, in that order. It draws into whatever context
// is current and whatever framebuffer is bound, so a window, a tiled image export and an
// off-screen run share the one recipe.
//
// Owns the herd renderers and the sky's GL resources, so it must be destroyed while its context
// is current. Every call needs that context current.
class FrameRenderer {
public:
    // The near and far planes every frame gives the camera.
    static constexpr double kNearPlane = 0.1;
    static constexpr double kFarPlane = 10000.0;
    // The largest image an export takes, in tiles; beyond that it would run for hours.
    static constexpr int kMaxTiles = 16384;
    // Pixels the tiles' viewports reach past their edges (TileGrid::setGuardBand).
    static constexpr int kTileGuardBand = 16;

    // skyImagePath names the "Sky" background's picture; it is asked for on the first frame
    // with the sky.
    explicit FrameRenderer(std::function<std::string()> skyImagePath);
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // Told the message when drawing the herds throws; from then on frames leave the herds out
    // until releaseGLResources. The failure is recorded before the handler runs, so frames
    // drawn meanwhile (a modal box's) skip the herds too.
    void setErrorHandler(std::function<void(const std::string& message)> handler) { m_onError = std::move(handler); }

    // Makes the renderers of herds that have none yet (see HerdRenderers::sync). Throws what
    // renderer construction throws (an unreadable texture).
    void syncRenderers(const HerdScene& scene) { m_renderers.sync(scene); }
    // Every renderer drops its GL resources (rebuilt from the settings at the next frame), and
    // herds are drawn again after a renderer error.
    void releaseGLResources();
    bool rendererFailed() const { return m_rendererFailed; }
    const HerdRenderers& renderers() const { return m_renderers; }
    // The first hardware renderer's vertex program, or "No vertex program currently in use (1)"
    // without hardware renderers.
    std::string vertexProgramText() const;

    // Draws one frame of width x height pixels into the bound framebuffer (viewport, aspect
    // ratio and projection for that size), then glFlush; buffers are not swapped.
    void drawFrame(const FrameContent& content, int width, int height);
    // Waits until everything drawn so far is finished (glFinish), as a window's buffer swap
    // does: what a timing of frames drawn off screen needs.
    static void finishDrawing();

    // Throws IOException "Unable to write to image 'PATH': ..." when width or height is not in
    // 1..19999, or the tiles have no area. GL-free, so a caller can check before it looks for
    // a context.
    static void checkImageRequest(int width, int height, int tileWidth, int tileHeight, const std::string& path);
    // Draws the frame as a width x height image, in tiles of tileWidth x tileHeight pixels
    // drawn off screen (when framebuffer objects exist), without the overlay, and returns it
    // upright. Levels of detail are chosen by the size on the whole image. The camera keeps
    // the image's aspect ratio; the frame stamps are cleared, since every tile stamped one.
    // Throws IOException naming the path: checkImageRequest's, and when the image would take
    // more than kMaxTiles tiles or its memory cannot be had.
    PixelImage renderImage(const FrameContent& content, int width, int height, int tileWidth, int tileHeight,
                           const std::string& path);

private:
    void drawInto(const FrameContent& content, GLTileRenderer* tiles, int width, int height);
    void applyCamera(Camera& camera, GLTileRenderer* tiles, int width, int height);
    void drawGroundPlane(const Camera& camera, bool shadowsDrawn);
    void drawHerds(const FrameContent& content, bool shadowsDrawn, int width, int height);

    HerdRenderers m_renderers;
    SkySphere m_sky;
    std::function<void(const std::string&)> m_onError;
    bool m_rendererFailed = false;
};
