#include "PreviewRenderer.h"

#include "foundation/PortableMath.h"

#include "foundation/Vector3d.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

// A view: rotation about y (yaw), then tilt about x, then orthographic projection onto x, y.
struct View {
    double yaw;
    double tilt;

    Vector3d apply(const Vector3f& p) const
    {
        const double c = portable::cos(yaw), s = portable::sin(yaw);
        const Vector3d a{c * p.x + s * p.z, p.y, -s * p.x + c * p.z};
        const double ct = portable::cos(tilt), st = portable::sin(tilt);
        return {a.x, ct * a.y - st * a.z, st * a.y + ct * a.z};
    }
};

struct ScreenVertex {
    double x, y, depth;
    Vector3f colour;
};

class Panel {
public:
    Panel(RgbImage& image, int x0, int y0, int width, int height)
        : m_image(image), m_x0(x0), m_y0(y0), m_width(width), m_height(height),
          m_depth(std::size_t(width) * height, std::numeric_limits<double>::infinity())
    {
    }

    void fill(const Vector3f& top, const Vector3f& bottom)
    {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) m_image.set(m_x0 + x, m_y0 + y, top + (bottom - top) * (float(y) / m_height));
    }

    // Gouraud-shaded triangle, nearer (smaller depth) wins; both sides drawn.
    void triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
    {
        const double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        if (std::fabs(area) < 1e-12) return;
        const int minX = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))));
        const int maxX = std::min(m_width - 1, int(std::ceil(std::max({a.x, b.x, c.x}))));
        const int minY = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))));
        const int maxY = std::min(m_height - 1, int(std::ceil(std::max({a.y, b.y, c.y}))));
        for (int y = minY; y <= maxY; ++y)
            for (int x = minX; x <= maxX; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double wa = ((b.x - px) * (c.y - py) - (c.x - px) * (b.y - py)) / area;
                const double wb = ((c.x - px) * (a.y - py) - (a.x - px) * (c.y - py)) / area;
                const double wc = 1.0 - wa - wb;
                if (wa < 0 || wb < 0 || wc < 0) continue;
                const double depth = wa * a.depth + wb * b.depth + wc * c.depth;
                double& stored = m_depth[std::size_t(y) * m_width + x];
                if (depth >= stored) continue;
                stored = depth;
                m_image.set(m_x0 + x, m_y0 + y, a.colour * float(wa) + b.colour * float(wb) + c.colour * float(wc));
            }
    }

private:
    RgbImage& m_image;
    int m_x0, m_y0, m_width, m_height;
    std::vector<double> m_depth;
};

// Lighting of vertex v in frame f as the viewer's PRT path reconstructs it.
float prtLighting(const Skin& skin, unsigned v, unsigned f)
{
    float value = skin.meanLighting()[v];
    const DenseMatrix& basis = skin.lightingBasis();
    for (unsigned k = 0; k < basis.columns(); ++k) value += basis(v, k) * skin.lightingCoordinates()(k, f);
    return value;
}

} // namespace

RgbImage PreviewRenderer::render(const Skin& skin, const std::vector<unsigned>& frames) const
{
    // The animals face +z: seen from their right (-x), and from the front right and above.
    const View views[2] = {{0.5 * std::numbers::pi, 0.0}, {0.5 * std::numbers::pi - 0.6, 0.35}};
    const int columns = static_cast<int>(frames.size());
    RgbImage image(m_panelWidth * columns, m_panelHeight * 2);
    const Vector3d light = Vector3d{-0.5, 0.8, 0.3}.normalized(); // from the viewed side

    for (int row = 0; row < 2; ++row) {
        const View& view = views[row];
        // One scale per row: fit every frame of this view with a margin.
        double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
        auto growWith = [&](const Skin& s, unsigned f) {
            for (const Vector3f& p : s.framePositions(f)) {
                const Vector3d q = view.apply(p);
                minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
                minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
            }
        };
        for (unsigned f : frames) {
            growWith(skin, f);
            if (skin.nextSkin()) growWith(*skin.nextSkin(), f);
        }
        const double scale = 0.85 * std::min(m_panelWidth / (maxX - minX), m_panelHeight / (maxY - minY));
        const double centreX = 0.5 * (minX + maxX), centreY = 0.5 * (minY + maxY);
        auto project = [&](const Vector3f& p, const Vector3f& colour) {
            const Vector3d q = view.apply(p);
            return ScreenVertex{0.5 * m_panelWidth + (q.x - centreX) * scale, 0.5 * m_panelHeight - (q.y - centreY) * scale,
                                -q.z, colour};
        };

        for (int column = 0; column < columns; ++column) {
            const unsigned f = frames[static_cast<std::size_t>(column)];
            Panel panel(image, column * m_panelWidth, row * m_panelHeight, m_panelWidth, m_panelHeight);
            panel.fill({0.62f, 0.75f, 0.9f}, {0.85f, 0.9f, 0.95f});
            // The ground line of the side view, and the shadow disc lying on it.
            const float groundY = float(0.5 * m_panelHeight + centreY * scale);
            if (row == 0)
                for (int y = std::max(0, int(groundY)); y < m_panelHeight; ++y)
                    for (int x = 0; x < m_panelWidth; ++x) image.set(column * m_panelWidth + x, row * m_panelHeight + y, {0.45f, 0.55f, 0.3f});
            if (const auto& shadow = skin.nextSkin()) {
                const std::vector<Vector3f>& positions = shadow->framePositions(f);
                for (const Triangle& t : shadow->triangles()) {
                    ScreenVertex corners[3];
                    for (int k = 0; k < 3; ++k) {
                        const unsigned v = t.index[k];
                        corners[k] = project(positions[v], shadow->vertexColors()[v] * shadow->meanLighting()[v]);
                        corners[k].depth += 1e3; // a decal: always behind the animal
                    }
                    panel.triangle(corners[0], corners[1], corners[2]);
                }
            }
            const std::vector<Vector3f>& positions = skin.framePositions(f);
            const std::vector<Vector3f>& normals = skin.frameNormals(f);
            std::vector<Vector3f> colours(skin.vertexCount());
            for (unsigned v = 0; v < skin.vertexCount(); ++v) {
                const double diffuse = std::max(0.0, Vector3d(normals[v]).dot(light));
                colours[v] = skin.vertexColors()[v] * (prtLighting(skin, v, f) * float(0.55 + 0.6 * diffuse));
            }
            for (const Triangle& t : skin.triangles())
                panel.triangle(project(positions[t.index[0]], colours[t.index[0]]), project(positions[t.index[1]], colours[t.index[1]]),
                               project(positions[t.index[2]], colours[t.index[2]]));
        }
    }
    return image;
}
