#include "render/MatrixScreenSpaceConverter.h"

#include "foundation/MatrixInverse.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

MatrixScreenSpaceConverter::MatrixScreenSpaceConverter(const Matrix4f& modelview, const Matrix4f& projection,
                                                       const Viewport& viewport)
    : m_viewport(viewport)
{
    // Both matrices are row-major for column vectors, so the point goes through the modelview
    // first: combined = projection x modelview.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += double(projection(r, k)) * double(modelview(k, c));
            m_combined[4 * r + c] = sum;
        }
    m_invertible = invert4x4(m_combined, m_inverse);
    const auto& m = m_combined;
    m_verticalScale = std::sqrt(m[4] * m[4] + m[5] * m[5] + m[6] * m[6]);
}

Vector3d MatrixScreenSpaceConverter::project(const Vector3d& p) const
{
    const auto& m = m_combined;
    const double x = m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3];
    const double y = m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7];
    const double z = m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11];
    const double w = m[12] * p.x + m[13] * p.y + m[14] * p.z + m[15];
    if (w == 0.0) return {kNaN, kNaN, kNaN};
    const double nx = x / w, ny = y / w, nz = z / w;
    return {m_viewport.x + m_viewport.width * (nx + 1.0) / 2.0, m_viewport.y + m_viewport.height * (ny + 1.0) / 2.0,
            (nz + 1.0) / 2.0};
}

Vector3d MatrixScreenSpaceConverter::unproject(const Vector3d& window) const
{
    if (!m_invertible || m_viewport.width == 0 || m_viewport.height == 0) return {kNaN, kNaN, kNaN};
    const double nx = (window.x - m_viewport.x) * 2.0 / m_viewport.width - 1.0;
    const double ny = (window.y - m_viewport.y) * 2.0 / m_viewport.height - 1.0;
    const double nz = 2.0 * window.z - 1.0;
    const auto& m = m_inverse;
    const double x = m[0] * nx + m[1] * ny + m[2] * nz + m[3];
    const double y = m[4] * nx + m[5] * ny + m[6] * nz + m[7];
    const double z = m[8] * nx + m[9] * ny + m[10] * nz + m[11];
    const double w = m[12] * nx + m[13] * ny + m[14] * nz + m[15];
    if (w == 0.0) return {kNaN, kNaN, kNaN};
    return {x / w, y / w, z / w};
}

NdcRectangle MatrixScreenSpaceConverter::boxRectangle(const BoundingBox& box) const
{
    if (box.isEmpty()) return {};
    // Clip x, y and w of a corner are sums of one term per axis; the two possible terms of
    // each axis are computed once and combined for the eight corners.
    const auto& m = m_combined;
    double tx[3][2], ty[3][2], tw[3][2];
    for (int a = 0; a < 3; ++a) {
        const double lo = box.minimum[a], hi = box.maximum[a];
        tx[a][0] = m[a] * lo, tx[a][1] = m[a] * hi;
        ty[a][0] = m[4 + a] * lo, ty[a][1] = m[4 + a] * hi;
        tw[a][0] = m[12 + a] * lo, tw[a][1] = m[12 + a] * hi;
    }
    NdcRectangle r{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int k = 0; k < 2; ++k) {
                const double x = tx[0][i] + tx[1][j] + tx[2][k] + m[3];
                const double y = ty[0][i] + ty[1][j] + ty[2][k] + m[7];
                const double w = tw[0][i] + tw[1][j] + tw[2][k] + m[15];
                const double inverseW = 1.0 / w;
                const double nx = x * inverseW, ny = y * inverseW;
                r.minX = std::min(r.minX, nx);
                r.maxX = std::max(r.maxX, nx);
                r.minY = std::min(r.minY, ny);
                r.maxY = std::max(r.maxY, ny);
            }
    return r;
}

double MatrixScreenSpaceConverter::apparentHeight(const BoundingBox& box) const
{
    if (box.isEmpty()) return kNaN;
    const auto& m = m_combined;
    const double x = 0.5 * (double(box.minimum.x) + double(box.maximum.x));
    const double y = 0.5 * (double(box.minimum.y) + double(box.maximum.y));
    const double z = 0.5 * (double(box.minimum.z) + double(box.maximum.z));
    const double w = m[12] * x + m[13] * y + m[14] * z + m[15];
    if (!(w > 0.0)) return kNaN;
    return (double(box.maximum.y) - double(box.minimum.y)) * m_verticalScale / w;
}
