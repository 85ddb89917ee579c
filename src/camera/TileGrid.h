#pragma once

#include "camera/Frustum.h"

// The arithmetic of tiled image export, without GL: an image of any size is cut into tiles of
// at most the window's size (the last column and row narrower), each drawn with the part of
// the camera's view volume it shows and read back into its place in the image.
//
// Tiles may carry a border of pixels on every side that is drawn but not read back (wide
// lines and points drawn near a tile edge then still reach it); the export uses border 0.
// Tiles are numbered row by row from 0; rows run from the bottom of the image (the order GL
// reads pixels in) unless top-to-bottom order is chosen.
class TileGrid {
public:
    enum class RowOrder { BottomToTop, TopToBottom };

    // Where one tile is drawn and where its pixels go.
    struct Tile {
        int row = 0;
        int column = 0;
        // The pixels the tile covers in the framebuffer: (0, 0, width, height), border included.
        int width = 0;
        int height = 0;
        // The viewport it is drawn with: the tile grown by the guard band on every side, so
        // it starts left of and below the framebuffer's corner.
        int viewportX = 0;
        int viewportY = 0;
        int viewportWidth = 0;
        int viewportHeight = 0;
        // The rectangle to read back, inside the viewport: (border, border) and the size
        // without the border on each side.
        int readX = 0;
        int readY = 0;
        int readWidth = 0;
        int readHeight = 0;
        // Its bottom-left pixel in the image (rows counted from the bottom).
        int imageX = 0;
        int imageY = 0;
        // The part of the whole view volume the viewport shows.
        Frustum volume;
    };

    // Tile size including the border. Throws std::invalid_argument unless the border is at
    // least 0 and leaves at least one pixel to read in each direction.
    void setTileSize(int width, int height, int border);
    // Throws std::invalid_argument unless both are positive.
    void setImageSize(int width, int height);
    // The view volume of the whole image (left/right/bottom/top of a perspective frustum at
    // the near plane, or of an orthographic box).
    void setVolume(const Frustum& volume, bool perspective);
    void setRowOrder(RowOrder order) { m_rowOrder = order; }
    // Pixels the viewport reaches past each tile edge; they fall outside the framebuffer and
    // are never seen. Polygons far larger than the view (the ground) are clipped at the
    // viewport's edges with some imprecision, which on screen touches only the window's edge
    // pixels but in an image would run down every seam between tiles; a guard band moves the
    // clipped edges off the tile. Throws std::invalid_argument when negative.
    void setGuardBand(int pixels);

    int imageWidth() const { return m_imageWidth; }
    int imageHeight() const { return m_imageHeight; }
    int columns() const;
    int rows() const;
    int tileCount() const { return columns() * rows(); }
    bool perspective() const { return m_perspective; }
    const Frustum& volume() const { return m_volume; }

    // Tile number index (0 <= index < tileCount(), else std::out_of_range).
    Tile tile(int index) const;

private:
    int innerWidth() const { return m_tileWidth - 2 * m_border; }
    int innerHeight() const { return m_tileHeight - 2 * m_border; }

    int m_tileWidth = 1;
    int m_tileHeight = 1;
    int m_border = 0;
    int m_guard = 0;
    int m_imageWidth = 1;
    int m_imageHeight = 1;
    Frustum m_volume;
    bool m_perspective = true;
    RowOrder m_rowOrder = RowOrder::BottomToTop;
};
