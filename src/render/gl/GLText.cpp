#include "render/gl/GLText.h"

#include "render/BitmapFont.h"
#include "render/TextTableLayout.h"
#include "render/gl/GLState.h"
#include "render/gl/OpenGLScreenSpaceConverter.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

namespace {

// freeglut's bitmap fonts refuse to work before glutInit, which wants a command line; the
// viewer's own is wx's, so a made-up one serves.
void ensureGlut()
{
    static const bool initialised = [] {
        int argc = 1;
        char name[] = "flexherd";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        return true;
    }();
    (void)initialised;
}

void* font()
{
    return GLUT_BITMAP_HELVETICA_10;
}

GLText::Glyphs& chosenGlyphs()
{
    static GLText::Glyphs glyphs = GLText::Glyphs::Glut;
    return glyphs;
}

// Draws the glyphs at the raster position as GLUT does: one glBitmap each, the raster position
// moving on by the advance.
void drawOwnGlyphs(const std::string& text)
{
    const BitmapFont& font = helvetica10();
    // Rows of one or two bytes, tightly packed.
    GLState::UnpackAlignment alignment(1);
    for (const unsigned char c : text) {
        const BitmapGlyph& glyph = font.glyphs[c];
        unsigned char bytes[2 * 16] = {};
        const int rowBytes = (glyph.width + 7) / 8;
        for (int row = 0; row < glyph.height; ++row) {
            // The glyph's leftmost pixel goes to the most significant bit of the row's first byte.
            const unsigned bits = static_cast<unsigned>(glyph.rows[row]) << (rowBytes * 8 - glyph.width);
            for (int b = 0; b < rowBytes; ++b)
                bytes[row * rowBytes + b] = static_cast<unsigned char>(bits >> (8 * (rowBytes - 1 - b)));
        }
        glBitmap(glyph.width, glyph.height, static_cast<GLfloat>(-glyph.left), static_cast<GLfloat>(-glyph.bottom),
                 static_cast<GLfloat>(glyph.advance), 0.0f, bytes);
    }
}

} // namespace

void GLText::setGlyphs(Glyphs glyphs)
{
    chosenGlyphs() = glyphs;
}

GLText::Glyphs GLText::glyphs()
{
    return chosenGlyphs();
}

int GLText::textWidth(const std::string& text)
{
    if (chosenGlyphs() == Glyphs::Own) return helvetica10().textWidth(text);
    ensureGlut();
    int width = 0;
    for (unsigned char c : text) width += glutBitmapWidth(font(), c);
    return width;
}

BoundingBox GLText::drawText(const std::string& text, double x, double y, double z, Horizontal horizontal,
                             Vertical vertical, bool draw)
{
    const OpenGLScreenSpaceConverter converter;
    Vector3d corner = converter.project({x, y, z});
    const double width = textWidth(text);
    if (horizontal == Horizontal::End) corner.x -= width;
    if (horizontal == Horizontal::Center) corner.x -= width / 2;
    if (vertical == Vertical::Below) corner.y -= kTextHeight;
    if (vertical == Vertical::Center) corner.y -= kTextHeight / 2.0;

    const Vector3d lowerLeft = converter.unproject(corner);
    if (draw && !text.empty()) {
        // Lighting must be off before glRasterPos: the raster colour is fixed there, lit or not.
        GLState::Disable lighting(GL_LIGHTING);
        GLState::Disable depth(GL_DEPTH_TEST);
        glShadeModel(GL_SMOOTH);
        glRasterPos3d(lowerLeft.x, lowerLeft.y, lowerLeft.z);
        if (chosenGlyphs() == Glyphs::Own)
            drawOwnGlyphs(text);
        else
            for (unsigned char c : text) glutBitmapCharacter(font(), c);
    }
    const Vector3d upperRight = converter.unproject({corner.x + width, corner.y + kTextHeight, corner.z});
    BoundingBox box;
    box.grow(Vector3f(float(lowerLeft.x), float(lowerLeft.y), float(lowerLeft.z)));
    box.grow(Vector3f(float(upperRight.x), float(upperRight.y), float(upperRight.z)));
    return box;
}

void GLText::drawTextTable(double originX, double originY, const std::vector<std::pair<std::string, std::string>>& rows)
{
    if (rows.empty()) return;
    GLState::OverlaySpace overlay;
    GLState::Disable lighting(GL_LIGHTING);
    GLState::Disable depth(GL_DEPTH_TEST);
    glColor4ub(255, 255, 255, 255);

    std::vector<std::pair<TextTableLayout::Extent, TextTableLayout::Extent>> extents;
    extents.reserve(rows.size());
    double y = originY;
    for (const auto& [key, value] : rows) {
        const BoundingBox k = drawText(key, originX, y, 0, Horizontal::Start, Vertical::Below, false);
        const BoundingBox v = drawText(value, originX, y, 0, Horizontal::End, Vertical::Below, false);
        extents.push_back({{k.maximum.x - k.minimum.x, k.maximum.y - k.minimum.y},
                           {v.maximum.x - v.minimum.x, v.maximum.y - v.minimum.y}});
        y -= 1.2 * std::max(extents.back().first.height, extents.back().second.height);
    }
    const TextTableLayout layout = layoutTextTable(originX, originY, extents);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        drawText(rows[i].first, originX, layout.rowY[i], 0, Horizontal::Start, Vertical::Below);
        drawText(rows[i].second, layout.valueColumnX, layout.rowY[i], 0, Horizontal::End, Vertical::Below);
    }
}
