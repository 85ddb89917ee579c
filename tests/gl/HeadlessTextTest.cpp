// The overlay's text drawn without a window system looks as it does in the window: the
// project's own copy of the 10-pixel Helvetica against GLUT's, glyph for glyph, first in this
// window's context, then drawn by a child process with no X display at all (DISPLAY unset) in
// a surfaceless EGL context, its pixels compared with the window's.

#include "HeadlessText.h"

#include "GLSuite.h"
#include "GLSuiteMain.h"
#include "TempDirectory.h"

#include "render/gl/GLText.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::size_t differingPixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        count += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    return count;
}

std::size_t litPixels(const std::vector<std::uint8_t>& pixels)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) count += pixels[i] != 0 || pixels[i + 1] != 0 || pixels[i + 2] != 0;
    return count;
}

// The window's text, drawn with the glyphs given, read back bottom row first.
std::vector<std::uint8_t> windowText(GLText::Glyphs glyphs)
{
    const GLText::Glyphs before = GLText::glyphs();
    GLText::setGlyphs(glyphs);
    drawHeadlessTestText(testWindow().width(), testWindow().height());
    GLText::setGlyphs(before);
    return testWindow().readPixels();
}

} // namespace

TEST_F(GLTest, OwnGlyphsLandOnTheSamePixelsAsGlutsInTheWindow)
{
    const std::vector<std::uint8_t> glut = windowText(GLText::Glyphs::Glut);
    const std::vector<std::uint8_t> own = windowText(GLText::Glyphs::Own);
    // Every printable character of the table is drawn: a good part of the window is text.
    EXPECT_GT(litPixels(glut), 1500u);
    EXPECT_EQ(differingPixels(own, glut), 0u);
    // Widths measure the same, so tables lay out alike.
    for (int c = 1; c < 256; ++c) {
        const std::string text(1, static_cast<char>(c));
        GLText::setGlyphs(GLText::Glyphs::Own);
        const int ownWidth = GLText::textWidth(text);
        GLText::setGlyphs(GLText::Glyphs::Glut);
        EXPECT_EQ(ownWidth, GLText::textWidth(text)) << "character " << c;
    }
}

TEST_F(GLTest, TextDrawnWithoutADisplayEqualsTheWindowsText)
{
    const std::vector<std::uint8_t> window = windowText(GLText::Glyphs::Glut);
    const TempDirectory scratch("headless-text");
    const std::string pixelsPath = scratch.file("pixels.rgb");
    const std::string command = "env -u DISPLAY '" + std::string(FLEXHERD_TEST_GL_PROGRAM) + "' " +
                                kDrawHeadlessTextOption + " " + std::to_string(testWindow().width()) + " " +
                                std::to_string(testWindow().height()) + " '" + pixelsPath + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(pixelsPath, std::ios::binary);
    const std::vector<std::uint8_t> headless{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(headless.size(), window.size());
    EXPECT_GT(litPixels(headless), 1500u);
    EXPECT_EQ(differingPixels(headless, window), 0u);
}
