#pragma once

#include "foundation/BoundingBox.h"

#include <string>
#include <utility>
#include <vector>

// Bitmap text labels and key-value tables in 10-pixel Helvetica, as the view's statistics
// overlay and labels use them. The glyphs come from GLUT (initialised once per process on first
// use; that needs an X display) or, in a context without a window system, from the project's
// own copy of the same font (BitmapFont.h), which lands on the same pixels. Holds no data but
// that process-wide choice. Needs a current context.
class GLText {
public:
    GLText() = delete;

    enum class Glyphs { Glut, Own };
    // Chooses where every later label's glyphs come from; GLUT until told otherwise.
    static void setGlyphs(Glyphs glyphs);
    static Glyphs glyphs();

    // Where a label sits horizontally relative to its anchor.
    enum class Horizontal { Start = 0, End = 1, Center = 2 };
    // Where a label sits vertically: Below hangs it under the anchor (its top at the anchor),
    // Above puts its bottom on the anchor.
    enum class Vertical { Below = 0, Above = 1, Center = 2 };

    // Height of every label in pixels.
    static constexpr int kTextHeight = 10;

    // Width of the text in pixels: the sum of the characters' bitmap widths.
    static int textWidth(const std::string& text);

    // Places a label at an anchor in the current modelview space and, when draw is true, draws
    // it in the current colour with lighting and depth testing off (both restored after).
    // Returns the object-space box between the unprojections of the label's lower-left and
    // upper-right window corners; only measures when draw is false.
    static BoundingBox drawText(const std::string& text, double x, double y, double z, Horizontal horizontal,
                                Vertical vertical, bool draw = true);

    // Draws a two-column table in white in the overlay space, its top-left corner at
    // (originX, originY): keys left-aligned at originX, values right-aligned at one column.
    // An empty list changes no GL state.
    static void drawTextTable(double originX, double originY,
                              const std::vector<std::pair<std::string, std::string>>& rows);
};
