#include "render/ImpostorAtlasLayout.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kHalfPi = 0.5 * std::numbers::pi;

// The smallest power of two of columns that keeps the atlas no wider than allowed and as close
// to square as it can be; rows follow.
void arrange(ImpostorAtlasLayout& layout, int maxTextureSize)
{
    const unsigned cells = layout.cellCount();
    const int maxColumns = std::max(1, maxTextureSize / layout.cellSize);
    int columns = 1;
    while (columns < maxColumns && static_cast<long long>(columns) * columns < static_cast<long long>(cells))
        columns *= 2;
    columns = std::min(columns, maxColumns);
    layout.columns = columns;
    layout.rows = static_cast<int>((cells + static_cast<unsigned>(columns) - 1) / static_cast<unsigned>(columns));
}

} // namespace

ImpostorAtlasLayout ImpostorAtlasLayout::make(const BoundingBox& animalBox, unsigned frameCount,
                                              double thresholdPixels, int maxTextureSize, unsigned azimuths,
                                              unsigned elevations, unsigned phases)
{
    ImpostorAtlasLayout layout;
    layout.azimuths = std::max(azimuths, 1u);
    layout.elevations = std::max(elevations, 1u);
    layout.frameCount = std::max(frameCount, 1u);
    layout.phases = std::clamp(phases, 1u, layout.frameCount);

    BoundingBox box = animalBox;
    if (box.isEmpty()) box = BoundingBox({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f});
    const Vector3f size(box.maximum.x - box.minimum.x, box.maximum.y - box.minimum.y,
                        box.maximum.z - box.minimum.z);
    layout.centre = Vector3f(0.5f * (box.minimum.x + box.maximum.x), 0.5f * (box.minimum.y + box.maximum.y),
                             0.5f * (box.minimum.z + box.maximum.z));
    const double diagonal = std::sqrt(double(size.x) * size.x + double(size.y) * size.y + double(size.z) * size.z);
    layout.radius = static_cast<float>(std::max(0.5 * diagonal, 1e-6));

    // The box is thresholdPixels tall at the switch; the cell spans the diagonal.
    const double height = std::max<double>(size.y, 1e-3 * diagonal);
    const double wanted = std::clamp(thresholdPixels, 1.0, double(kMaxCellSize)) * std::max(diagonal, 1e-6) / height;
    int cell = static_cast<int>(std::ceil(std::min(wanted, double(kMaxCellSize)) / kCellStep)) * kCellStep;
    cell = std::clamp(cell, kCellStep, kMaxCellSize);
    const int maxSide = std::max(maxTextureSize, kCellStep);
    cell = std::min(cell, maxSide / kCellStep * kCellStep);

    for (;;) {
        layout.cellSize = cell;
        arrange(layout, maxSide);
        const bool fits = layout.height() <= maxSide && layout.textureBytes() <= kMemoryBudget;
        if (fits) break;
        if (cell > kCellStep)
            cell -= kCellStep;
        else if (layout.phases > 1)
            --layout.phases; // even the smallest cells do not fit: picture fewer phases
        else
            break;
    }
    // Levels down to cells of 4 texels; below that a cell would blur into its neighbours.
    layout.mipLevels = 0;
    for (int side = layout.cellSize; side % 2 == 0 && side / 2 >= 4; side /= 2) ++layout.mipLevels;
    return layout;
}

std::size_t ImpostorAtlasLayout::textureBytes() const
{
    std::size_t total = 0;
    std::size_t w = static_cast<std::size_t>(width());
    std::size_t h = static_cast<std::size_t>(height());
    // Counted down to 1 x 1 whatever mipLevels says, so the bound holds for a full chain too.
    for (;;) {
        total += w * h * 4;
        if (w == 1 && h == 1) break;
        w = std::max<std::size_t>(w / 2, 1);
        h = std::max<std::size_t>(h / 2, 1);
    }
    return total;
}

double ImpostorAtlasLayout::azimuthAngle(unsigned i) const
{
    return kTwoPi * i / azimuths;
}

double ImpostorAtlasLayout::elevationAngle(unsigned j) const
{
    return kHalfPi * j / elevations;
}

Vector3f ImpostorAtlasLayout::direction(unsigned azimuth, unsigned elevation) const
{
    const double a = azimuthAngle(azimuth);
    const double e = elevationAngle(elevation);
    return Vector3f(static_cast<float>(std::cos(e) * std::sin(a)), static_cast<float>(std::sin(e)),
                    static_cast<float>(std::cos(e) * std::cos(a)));
}

Vector3f ImpostorAtlasLayout::right(unsigned azimuth, unsigned) const
{
    const double a = azimuthAngle(azimuth);
    return Vector3f(static_cast<float>(std::cos(a)), 0.0f, static_cast<float>(-std::sin(a)));
}

Vector3f ImpostorAtlasLayout::up(unsigned azimuth, unsigned elevation) const
{
    // direction x right.
    const double a = azimuthAngle(azimuth);
    const double e = elevationAngle(elevation);
    return Vector3f(static_cast<float>(-std::sin(e) * std::sin(a)), static_cast<float>(std::cos(e)),
                    static_cast<float>(-std::sin(e) * std::cos(a)));
}

unsigned ImpostorAtlasLayout::frameOfPhase(unsigned phase) const
{
    // round(phase x F / S) in integers.
    const unsigned long long numerator = 2ull * phase * frameCount + phases;
    return static_cast<unsigned>(numerator / (2ull * phases)) % frameCount;
}

unsigned ImpostorAtlasLayout::phaseOfFrame(std::uint32_t frame) const
{
    const unsigned long long f = frame % frameCount;
    // round(f x S / F), where S wraps round to phase 0.
    const unsigned long long nearest = (2ull * f * phases + frameCount) / (2ull * frameCount);
    return static_cast<unsigned>(nearest % phases);
}

ImpostorAtlasLayout::CellChoice ImpostorAtlasLayout::chooseCell(const Vector3f& toViewer) const
{
    const double x = toViewer.x;
    const double y = toViewer.y;
    const double z = toViewer.z;
    const double horizontal = std::sqrt(x * x + z * z);
    if (!std::isfinite(horizontal) || !std::isfinite(y) || (horizontal == 0.0 && y == 0.0)) return {};
    CellChoice choice;
    const double azimuthStep = kTwoPi / azimuths;
    const long a = std::lround(std::atan2(x, z) / azimuthStep);
    const long n = static_cast<long>(azimuths);
    choice.azimuth = static_cast<unsigned>(((a % n) + n) % n);
    const double elevationStep = kHalfPi / elevations;
    const long e = std::lround(std::atan2(y, horizontal) / elevationStep);
    choice.elevation = static_cast<unsigned>(std::clamp<long>(e, 0, static_cast<long>(elevations) - 1));
    return choice;
}

ImpostorCellQuad impostorCellQuad(const ImpostorAtlasLayout& layout, unsigned cellIndex, const ImpostorCellRect& rect)
{
    ImpostorCellQuad quad;
    if (rect.empty()) return quad;
    quad.empty = false;
    const unsigned azimuth = cellIndex % layout.azimuths;
    const unsigned elevation = (cellIndex / layout.azimuths) % layout.elevations;
    const Vector3f r = layout.right(azimuth, elevation);
    const Vector3f u = layout.up(azimuth, elevation);
    // Texel x of the cell spans [-radius + x t, -radius + (x + 1) t] on the picture plane.
    const float texel = 2.0f * layout.radius / static_cast<float>(layout.cellSize);
    const float left = -layout.radius + texel * static_cast<float>(rect.x0);
    const float rightEdge = -layout.radius + texel * static_cast<float>(rect.x1);
    const float bottom = -layout.radius + texel * static_cast<float>(rect.y0);
    const float top = -layout.radius + texel * static_cast<float>(rect.y1);
    const Vector3f& c = layout.centre;
    auto corner = [&](float h, float v) {
        return Vector3f(c.x + r.x * h + u.x * v, c.y + r.y * h + u.y * v, c.z + r.z * h + u.z * v);
    };
    quad.corners = {corner(left, bottom), corner(rightEdge, bottom), corner(rightEdge, top), corner(left, top)};
    const float w = static_cast<float>(layout.width());
    const float h = static_cast<float>(layout.height());
    const float s0 = static_cast<float>(layout.cellX(cellIndex) + rect.x0) / w;
    const float s1 = static_cast<float>(layout.cellX(cellIndex) + rect.x1) / w;
    const float t0 = static_cast<float>(layout.cellY(cellIndex) + rect.y0) / h;
    const float t1 = static_cast<float>(layout.cellY(cellIndex) + rect.y1) / h;
    quad.texCoords = {s0, t0, s1, t0, s1, t1, s0, t1};
    return quad;
}

ImpostorCellRect coveredRect(const std::vector<std::uint8_t>& rgba, const ImpostorAtlasLayout& layout,
                             unsigned cellIndex, int margin)
{
    const int width = layout.width();
    const int cx = layout.cellX(cellIndex);
    const int cy = layout.cellY(cellIndex);
    const int n = layout.cellSize;
    int x0 = n;
    int y0 = n;
    int x1 = 0;
    int y1 = 0;
    for (int y = 0; y < n; ++y) {
        const std::size_t row = (static_cast<std::size_t>(cy + y) * width + cx) * 4;
        for (int x = 0; x < n; ++x) {
            if (rgba[row + static_cast<std::size_t>(x) * 4 + 3] == 0) continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x + 1);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y + 1);
        }
    }
    if (x0 >= x1) return {};
    return {std::max(0, x0 - margin), std::max(0, y0 - margin), std::min(n, x1 + margin), std::min(n, y1 + margin)};
}

std::vector<std::uint8_t> resolveCoverage(const std::vector<std::uint8_t>& colour, const std::vector<float>& depth,
                                          int width, int height, int factor)
{
    const int outWidth = width / factor;
    const int outHeight = height / factor;
    const int samples = factor * factor;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outWidth) * outHeight * 4, 0);
    for (int y = 0; y < outHeight; ++y)
        for (int x = 0; x < outWidth; ++x) {
            unsigned sum[3] = {0, 0, 0};
            int covered = 0;
            for (int sy = 0; sy < factor; ++sy)
                for (int sx = 0; sx < factor; ++sx) {
                    const std::size_t s = static_cast<std::size_t>(y * factor + sy) * width + (x * factor + sx);
                    if (!(depth[s] < 1.0f)) continue;
                    ++covered;
                    for (int c = 0; c < 3; ++c) sum[c] += colour[s * 4 + c];
                }
            const std::size_t o = (static_cast<std::size_t>(y) * outWidth + x) * 4;
            // Premultiplied: the mean over all samples, uncovered ones adding black.
            for (int c = 0; c < 3; ++c)
                out[o + c] = static_cast<std::uint8_t>((sum[c] + static_cast<unsigned>(samples) / 2) / samples);
            out[o + 3] = static_cast<std::uint8_t>((255u * covered + static_cast<unsigned>(samples) / 2) / samples);
        }
    return out;
}

std::vector<std::uint8_t> halveRgba(const std::vector<std::uint8_t>& rgba, int width, int height)
{
    const int w = width / 2;
    const int h = height / 2;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                auto at = [&](int xx, int yy) {
                    return static_cast<unsigned>(rgba[(static_cast<std::size_t>(yy) * width + xx) * 4 + c]);
                };
                const unsigned sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                                     at(2 * x + 1, 2 * y + 1);
                out[(static_cast<std::size_t>(y) * w + x) * 4 + c] = static_cast<std::uint8_t>((sum + 2) / 4);
            }
    return out;
}
