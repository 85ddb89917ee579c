#include "render/TextTableLayout.h"

#include <algorithm>

TextTableLayout layoutTextTable(double originX, double originY,
                                const std::vector<std::pair<TextTableLayout::Extent, TextTableLayout::Extent>>& rows)
{
    double keyWidth = 0.0, valueWidth = 0.0, height = 0.0;
    for (const auto& [key, value] : rows) {
        keyWidth = std::max(keyWidth, key.width);
        valueWidth = std::max(valueWidth, value.width);
        height = std::max({height, key.height, value.height});
    }
    TextTableLayout layout;
    layout.valueColumnX = originX + 1.3 * (keyWidth + valueWidth);
    layout.lineStep = 1.2 * height;
    layout.rowY.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) layout.rowY.push_back(originY - double(i) * layout.lineStep);
    return layout;
}
