#include "render/gl/GLTileRenderer.h"

#include "render/gl/GLState.h"

void GLTileRenderer::setTileSize(int width, int height, int border)
{
    m_grid.setTileSize(width, height, border);
    m_currentTile = 0;
}

void GLTileRenderer::setImageSize(int width, int height)
{
    m_grid.setImageSize(width, height);
    m_currentTile = 0;
}

void GLTileRenderer::setImageBuffer(GLenum format, GLenum type, void* pixels)
{
    m_format = format;
    m_type = type;
    m_pixels = pixels;
}

void GLTileRenderer::beginTile()
{
    if (m_currentTile <= 0) {
        m_currentTile = 0;
        glGetIntegerv(GL_VIEWPORT, m_savedViewport);
    }
    m_tile = m_grid.tile(m_currentTile);
    glViewport(m_tile.viewportX, m_tile.viewportY, m_tile.viewportWidth, m_tile.viewportHeight);

    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const Frustum& v = m_tile.volume;
    if (m_grid.perspective())
        glFrustum(v.left, v.right, v.bottom, v.top, v.zNear, v.zFar);
    else
        glOrtho(v.left, v.right, v.bottom, v.top, v.zNear, v.zFar);
    glMatrixMode(static_cast<GLenum>(matrixMode));
}

bool GLTileRenderer::endTile()
{
    glFlush();
    if (m_pixels != nullptr) {
        // The image rows are tightly packed: with the default alignment of 4 an RGB row of a
        // width that is not a multiple of 4 would be taken as padded and every row would shear.
        GLState::PackIntoImage pack(m_grid.imageWidth(), m_tile.imageY, m_tile.imageX);
        glReadPixels(m_tile.readX, m_tile.readY, m_tile.readWidth, m_tile.readHeight, m_format, m_type, m_pixels);
    }

    ++m_currentTile;
    if (m_currentTile < m_grid.tileCount()) return true;
    glViewport(m_savedViewport[0], m_savedViewport[1], m_savedViewport[2], m_savedViewport[3]);
    m_currentTile = -1;
    return false;
}
