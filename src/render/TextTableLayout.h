#pragma once

// Where the rows of a two-column key-value table go, worked out from the measured label sizes
// without GL. Keys are left-aligned at the origin's x, values right-aligned at one column x,
// both top-aligned at the row's y; rows step downwards.

#include <utility>
#include <vector>

struct TextTableLayout {
    // Measured size of one label, in the units of the space the table is drawn in.
    struct Extent {
        double width = 0.0;
        double height = 0.0;
    };
    // Right edge of every value: origin x + 1.3 x (largest key width + largest value width).
    double valueColumnX = 0.0;
    // 1.2 x the tallest label.
    double lineStep = 0.0;
    // Top of each row, the first at the origin's y.
    std::vector<double> rowY;
};

// Lays out one row per (key, value) extent pair, top-left corner at (originX, originY).
TextTableLayout layoutTextTable(double originX, double originY,
                                const std::vector<std::pair<TextTableLayout::Extent, TextTableLayout::Extent>>& rows);
