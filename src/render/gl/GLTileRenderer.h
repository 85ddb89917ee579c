#pragma once

#include "camera/TileGrid.h"
#include "camera/TileRenderer.h"

#include <GL/glew.h>

// Draws an image larger than the window in window-sized tiles: the camera hands it the view
// volume of the whole image (applyProjection), then each beginTile sets the viewport and the
// projection of one tile (TileGrid does the arithmetic) and the following endTile reads that
// tile's pixels into their place in the caller's image buffer. Rows of the image run bottom to
// top, as GL reads them.
//
// The image buffer belongs to the caller and must hold imageWidth x imageHeight pixels of the
// given format and type, tightly packed. Needs the GL context current for beginTile/endTile.
class GLTileRenderer : public TileRenderer {
public:
    // Tile size including the border (normally the window's client size and border 0).
    // Throws std::invalid_argument for sizes that leave nothing to draw.
    void setTileSize(int width, int height, int border);
    void setImageSize(int width, int height);
    void setImageBuffer(GLenum format, GLenum type, void* pixels);
    void setRowOrder(TileGrid::RowOrder order) { m_grid.setRowOrder(order); }
    void setGuardBand(int pixels) { m_grid.setGuardBand(pixels); }

    void setPerspective(const Frustum& frustum) override { m_grid.setVolume(frustum, true); }
    void setOrthographic(const Frustum& frustum) override { m_grid.setVolume(frustum, false); }

    // Loads the current tile's viewport and projection; the first tile of a pass also saves
    // the viewport that endTile restores after the last one.
    void beginTile();
    // Reads the current tile back into the image and moves on; true while tiles remain.
    bool endTile();

    int tileCount() const { return m_grid.tileCount(); }
    const TileGrid& grid() const { return m_grid; }

private:
    TileGrid m_grid;
    GLenum m_format = GL_RGB;
    GLenum m_type = GL_UNSIGNED_BYTE;
    void* m_pixels = nullptr;
    // -1 when no pass runs.
    int m_currentTile = 0;
    TileGrid::Tile m_tile;
    GLint m_savedViewport[4] = {0, 0, 0, 0};
};
