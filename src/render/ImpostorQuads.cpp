#include "render/ImpostorQuads.h"

#include "herd/Herd.h"

#include <algorithm>
#include <cmath>

namespace {

// The inverse of the linear part of a row-major transform applied to v (Cramer's rule);
// false when it is singular.
bool solveLinear(const Matrix4f& m, const Vector3f& v, Vector3f& out)
{
    const double a = m(0, 0), b = m(0, 1), c = m(0, 2);
    const double d = m(1, 0), e = m(1, 1), f = m(1, 2);
    const double g = m(2, 0), h = m(2, 1), i = m(2, 2);
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    if (!(std::fabs(det) > 1e-30) || !std::isfinite(det)) return false;
    const double x = v.x, y = v.y, z = v.z;
    // adj(M) = transpose of the cofactor matrix.
    const double rx = A * x + (-(b * i - c * h)) * y + (b * f - c * e) * z;
    const double ry = B * x + (a * i - c * g) * y + (-(a * f - c * d)) * z;
    const double rz = C * x + (-(a * h - b * g)) * y + (a * e - b * d) * z;
    out = Vector3f(static_cast<float>(rx / det), static_cast<float>(ry / det), static_cast<float>(rz / det));
    return true;
}

void put(float* out, const Vector3f& p, float s, float t)
{
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
    out[3] = s;
    out[4] = t;
}

} // namespace

void ImpostorQuads::setAtlas(const ImpostorAtlasLayout& layout, std::vector<ImpostorCellQuad> cells)
{
    m_layout = layout;
    m_cells = std::move(cells);
    m_phaseOfFrame.resize(layout.frameCount);
    for (unsigned f = 0; f < layout.frameCount; ++f) m_phaseOfFrame[f] = layout.phaseOfFrame(f);
}

void ImpostorQuads::cull(const Herd& herd, const ViewFrustumTest& frustum)
{
    m_visible.clear();
    const unsigned count = herd.instanceCount();
    for (unsigned i = 0; i < count; ++i)
        if (!frustum.isOutside(herd.instance(i).box)) m_visible.push_back(i);
}

bool ImpostorQuads::cellFor(const Matrix4f& transform, std::uint32_t frame, const Vector3f& eye,
                            unsigned& cellIndex) const
{
    const Vector3f centre = transform.transformPoint(m_layout.centre);
    Vector3f local;
    if (!solveLinear(transform, Vector3f(eye.x - centre.x, eye.y - centre.y, eye.z - centre.z), local)) return false;
    const ImpostorAtlasLayout::CellChoice choice = m_layout.chooseCell(local);
    const unsigned phase = m_phaseOfFrame.empty() ? 0u : m_phaseOfFrame[frame % m_phaseOfFrame.size()];
    cellIndex = m_layout.cellIndex(choice.azimuth, choice.elevation, phase);
    return true;
}

std::size_t ImpostorQuads::build(const Herd& herd, const Vector3f& eye, bool shadows)
{
    constexpr std::size_t kQuadFloats = 4 * kFloatsPerVertex;
    const std::size_t needed = m_visible.size() * kQuadFloats;
    // Grown, never shrunk: the storage stays for the next frame.
    if (m_vertices.size() < needed) m_vertices.resize(needed);
    const bool blobs = shadows && m_hasFootprint;
    if (blobs && m_shadowVertices.size() < needed) m_shadowVertices.resize(needed);
    m_quadCount = 0;
    m_shadowCount = 0;
    if (m_cells.empty()) return 0;

    for (const unsigned i : m_visible) {
        const HerdInstance instance = herd.instance(i);
        unsigned cell = 0;
        if (!cellFor(instance.transform, instance.frame, eye, cell) || cell >= m_cells.size()) continue;
        const ImpostorCellQuad& quad = m_cells[cell];
        if (quad.empty) continue;
        float* out = &m_vertices[m_quadCount * kQuadFloats];
        for (int k = 0; k < 4; ++k)
            put(out + k * kFloatsPerVertex, instance.transform.transformPoint(quad.corners[k]), quad.texCoords[2 * k],
                quad.texCoords[2 * k + 1]);
        ++m_quadCount;
        if (blobs) putBlob(instance.transform);
    }
    return m_quadCount;
}

void ImpostorQuads::addShadows(const Herd& herd, const ViewFrustumTest& frustum)
{
    if (!m_hasFootprint) return;
    const unsigned count = herd.instanceCount();
    for (unsigned i = 0; i < count; ++i) {
        const HerdInstance instance = herd.instance(i);
        if (!frustum.isOutside(instance.box)) putBlob(instance.transform);
    }
}

void ImpostorQuads::putBlob(const Matrix4f& transform)
{
    constexpr std::size_t kQuadFloats = 4 * kFloatsPerVertex;
    // Grown, never shrunk: once it has held a frame's blobs, nothing is allocated.
    if (m_shadowVertices.size() < (m_shadowCount + 1) * kQuadFloats)
        m_shadowVertices.resize(std::max(m_shadowVertices.size() * 2, (m_shadowCount + 1) * kQuadFloats));
    const Footprint& f = m_footprint;
    float* blob = &m_shadowVertices[m_shadowCount * kQuadFloats];
    put(blob, transform.transformPoint({f.x0, f.y, f.z0}), 0.0f, 0.0f);
    put(blob + kFloatsPerVertex, transform.transformPoint({f.x0, f.y, f.z1}), 0.0f, 1.0f);
    put(blob + 2 * kFloatsPerVertex, transform.transformPoint({f.x1, f.y, f.z1}), 1.0f, 1.0f);
    put(blob + 3 * kFloatsPerVertex, transform.transformPoint({f.x1, f.y, f.z0}), 1.0f, 0.0f);
    ++m_shadowCount;
}
