#include "skin/Skin.h"

#include "mesh/TriangleStripBuilder.h"

#include <cassert>
#include <cstring>
#include <span>
#include <type_traits>

// Out of line so that ObjFile may stay an incomplete type in the header.
Skin::~Skin() = default;

const std::vector<Vector3f>& Skin::framePositions(unsigned f) const
{
    assert(f < m_framePositions.size());
    if (m_framePositions[f].empty() && !m_restPositions.empty()) evaluateFrame(f);
    return m_framePositions[f];
}

const std::vector<Vector3f>& Skin::frameNormals(unsigned f) const
{
    assert(f < m_frameNormals.size());
    if (m_frameNormals[f].empty() && !m_restNormals.empty()) evaluateFrame(f);
    return m_frameNormals[f];
}

namespace {

FrameCorrections correctionsOf(const DenseMatrix& basis, const DenseMatrix& coordinates, unsigned f)
{
    FrameCorrections corrections;
    corrections.count = basis.columns();
    if (corrections.count == 0 || basis.rows() == 0) return {};
    corrections.basis = basis.data();
    corrections.leadingDimension = basis.rows();
    // Row f of the column-major coordinates: one coefficient per basis column.
    corrections.coefficients = coordinates.data() + f;
    corrections.coefficientStride = coordinates.rows();
    return corrections;
}

} // namespace

void Skin::evaluateFrame(unsigned f) const
{
    assert(f < frameCount() && f < m_framePositions.size());
    m_frameBoundingBoxes[f] = skinFrame(f, m_framePositions[f], m_frameNormals[f]);
}

BoundingBox Skin::skinFrame(unsigned f, std::vector<Vector3f>& positions, std::vector<Vector3f>& normals) const
{
    assert(f < frameCount());
    assert(m_skinningKernel.vertexCount() == vertexCount() && m_restNormals.size() == vertexCount());
    // Resizing keeps the storage of a frame evaluated before, and nothing is copied in: the
    // kernel reads the rest pose and writes every element.
    positions.resize(vertexCount());
    normals.resize(vertexCount());
    if (vertexCount() == 0) return BoundingBox();

    for (unsigned b = 0; b < boneCount(); ++b) m_skinningKernel.setBone(b, m_bones[b][f]);
    SkinningFrame frame;
    frame.restPositions = &m_restPositions.data()->x;
    frame.restNormals = &m_restNormals.data()->x;
    frame.displacements = correctionsOf(m_displacementBasis, m_displacementCoordinates, f);
    frame.normalCorrections = correctionsOf(m_normalBasis, m_normalCoordinates, f);
    frame.positions = &positions.data()->x;
    frame.normals = &normals.data()->x;
    return m_skinningKernel.skinFrame(frame);
}

void Skin::measureFrameBoxes(unsigned first)
{
    const unsigned frames = frameCount();
    m_frameBoundingBoxes.resize(frames);
    std::vector<Vector3f> positions, normals;
    for (unsigned f = first; f < frames; ++f) {
        m_frameBoundingBoxes[f] = skinFrame(f, positions, normals);
        m_boundingBox.grow(m_frameBoundingBoxes[f]);
    }
}

void Skin::computeBoundingBoxes()
{
    m_boundingBox.reset();
    for (const Vector3f& p : m_restPositions) m_boundingBox.grow(p);
    m_frameBoundingBoxes.assign(frameCount(), BoundingBox());
    measureFrameBoxes(0);
}

void Skin::buildPrimitiveGroups(bool useStrips)
{
    m_primitiveGroups.clear();
    if (m_triangles.empty()) return;
    // The triangles' indices in one array, copied as a block rather than triangle by triangle.
    static_assert(std::is_trivially_copyable_v<Triangle> && sizeof(Triangle) == 3 * sizeof(std::uint32_t));
    std::vector<std::uint32_t> indices;
    indices.resize(m_triangles.size() * 3);
    std::memcpy(indices.data(), m_triangles.data(), indices.size() * sizeof(std::uint32_t));

    // Every index is below kMaxVertexCount, so it fits 16 bits.
    auto addGroup = [this](std::int32_t kind, std::span<const std::uint32_t> source) {
        PrimitiveGroup& group = m_primitiveGroups.emplace_back();
        group.kind = kind;
        group.indices.assign(source.begin(), source.end());
    };
    if (!useStrips) {
        addGroup(PrimitiveGroup::TriangleList, indices);
        return;
    }
    // The groups are made straight from the builder's output, without a copy of every strip.
    const TriangleStripBuilder builder;
    builder.build(indices, [&](StripPrimitive::Type type, std::span<const std::uint32_t> primitive) {
        const bool strip = type == StripPrimitive::Type::TriangleStrip;
        addGroup(strip ? PrimitiveGroup::TriangleStrip : PrimitiveGroup::TriangleList, primitive);
    });
}

void Skin::setRestPositions(const std::vector<Vector3d>& positions)
{
    const unsigned vertexCount = this->vertexCount();
    assert(positions.size() <= vertexCount);
    std::vector<Vector3d> pose(vertexCount);
    for (unsigned v = 0; v < vertexCount; ++v) {
        pose[v] = v < positions.size() ? positions[v] : Vector3d(m_restPositions[v]);
        m_restPositions[v] = pose[v].toVector3f();
    }

    // Area-weighted normals: the unnormalised cross product weighs each face by its area.
    std::vector<Vector3d> accumulated(m_restNormals.size());
    for (const Triangle& t : m_triangles) {
        const Vector3d& a = pose[t.index[0]];
        const Vector3d n = (pose[t.index[1]] - a).cross(pose[t.index[2]] - a);
        for (std::uint32_t i : t.index)
            if (i < accumulated.size()) accumulated[i] += n;
    }
    for (std::size_t v = 0; v < accumulated.size(); ++v) {
        const double lengthSquared = accumulated[v].dot(accumulated[v]);
        if (lengthSquared > 1e-11) m_restNormals[v] = (accumulated[v] * (1.0 / std::sqrt(lengthSquared))).toVector3f();
    }

    for (auto& entry : m_framePositions) entry.clear();
    for (auto& entry : m_frameNormals) entry.clear();
}
