#include "camera/TileGrid.h"

#include <stdexcept>
#include <string>

void TileGrid::setTileSize(int width, int height, int border)
{
    if (border < 0 || width - 2 * border < 1 || height - 2 * border < 1)
        throw std::invalid_argument("tile of " + std::to_string(width) + " x " + std::to_string(height) +
                                    " pixels leaves nothing inside a border of " + std::to_string(border));
    m_tileWidth = width;
    m_tileHeight = height;
    m_border = border;
}

void TileGrid::setGuardBand(int pixels)
{
    if (pixels < 0) throw std::invalid_argument("guard band of " + std::to_string(pixels) + " pixels");
    m_guard = pixels;
}

void TileGrid::setImageSize(int width, int height)
{
    if (width < 1 || height < 1)
        throw std::invalid_argument("image of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    m_imageWidth = width;
    m_imageHeight = height;
}

void TileGrid::setVolume(const Frustum& volume, bool perspective)
{
    m_volume = volume;
    m_perspective = perspective;
}

int TileGrid::columns() const
{
    return (m_imageWidth + innerWidth() - 1) / innerWidth();
}

int TileGrid::rows() const
{
    return (m_imageHeight + innerHeight() - 1) / innerHeight();
}

TileGrid::Tile TileGrid::tile(int index) const
{
    if (index < 0 || index >= tileCount())
        throw std::out_of_range("tile " + std::to_string(index) + " of " + std::to_string(tileCount()));
    Tile t;
    t.column = index % columns();
    t.row = index / columns();
    if (m_rowOrder == RowOrder::TopToBottom) t.row = rows() - 1 - t.row;

    // The last column and row hold what is left of the image, plus the border.
    t.width = t.column == columns() - 1 ? 2 * m_border + m_imageWidth - (columns() - 1) * innerWidth() : m_tileWidth;
    t.height = t.row == rows() - 1 ? 2 * m_border + m_imageHeight - (rows() - 1) * innerHeight() : m_tileHeight;
    t.readX = m_border;
    t.readY = m_border;
    t.readWidth = t.width - 2 * m_border;
    t.readHeight = t.height - 2 * m_border;
    t.imageX = t.column * innerWidth();
    t.imageY = t.row * innerHeight();
    t.viewportX = -m_guard;
    t.viewportY = -m_guard;
    t.viewportWidth = t.width + 2 * m_guard;
    t.viewportHeight = t.height + 2 * m_guard;
    // The tile starts border pixels left of and below the pixels it contributes, the viewport
    // the guard band further out.
    t.volume = m_volume.tile(m_imageWidth, m_imageHeight, t.imageX - m_border - m_guard, t.imageY - m_border - m_guard,
                             t.viewportWidth, t.viewportHeight);
    return t;
}
