#include "skin/Skin.h"

#include "render/TriangleStripBuilder.h"

#include <cblas.h>

#include <cassert>

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

// Adds coordinates(f, i) * basis column i to values for every basis column: one saxpy over
// the whole array per correction vector.
void addCorrections(std::vector<Vector3f>& values, const DenseMatrix& basis, const DenseMatrix& coordinates,
                    unsigned f)
{
    const unsigned count = basis.columns();
    if (count == 0 || values.empty()) return;
    const int length = static_cast<int>(values.size() * 3);
    float* target = &values[0].x;
    for (unsigned i = 0; i < count; ++i)
        cblas_saxpy(length, coordinates(f, i), basis.column(i), 1, target, 1);
}

} // namespace

void Skin::evaluateFrame(unsigned f) const
{
    assert(f < frameCount() && f < m_framePositions.size());
    std::vector<Vector3f>& positions = m_framePositions[f];
    std::vector<Vector3f>& normals = m_frameNormals[f];
    positions = m_restPositions;
    normals = m_restNormals;
    addCorrections(positions, m_displacementBasis, m_displacementCoordinates, f);
    addCorrections(normals, m_normalBasis, m_normalCoordinates, f);

    // One contiguous pose per frame keeps the per-vertex blend on a small, hot array.
    std::vector<AffineTransform> pose(m_bones.size());
    for (std::size_t b = 0; b < m_bones.size(); ++b) pose[b] = m_bones[b][f];

    BoundingBox box;
    const unsigned vertexCount = this->vertexCount();
    const bool hasNormals = normals.size() == vertexCount;
    for (unsigned v = 0; v < vertexCount; ++v) {
        Matrix3f blended = Matrix3f::diagonal(0.0f);
        Vector3f translation;
        for (std::uint32_t k = m_influenceStart[v]; k < m_influenceStart[v + 1]; ++k) {
            const BoneInfluence& influence = m_influences[k];
            const AffineTransform& bone = pose[static_cast<std::size_t>(influence.bone)];
            blended += bone.linear * influence.weight;
            translation += bone.translation * influence.weight;
        }
        positions[v] = blended * positions[v] + translation;
        box.grow(positions[v]);
        if (hasNormals) {
            // No inverse transpose: bone transforms are close to rigid, and the normal is
            // renormalised anyway. A zero result (no influences) keeps the corrected normal.
            const Vector3f n = blended * normals[v];
            const float lengthSquared = n.dot(n);
            if (lengthSquared > 0.0f) normals[v] = n * (1.0f / std::sqrt(lengthSquared));
        }
    }
    m_frameBoundingBoxes[f] = box;
}

void Skin::computeBoundingBoxes()
{
    m_boundingBox.reset();
    for (const Vector3f& p : m_restPositions) m_boundingBox.grow(p);
    const unsigned frames = frameCount();
    m_frameBoundingBoxes.assign(frames, BoundingBox());
    for (unsigned f = 0; f < frames; ++f) {
        evaluateFrame(f);
        m_boundingBox.grow(m_frameBoundingBoxes[f]);
    }
}

void Skin::buildPrimitiveGroups(bool useStrips)
{
    m_primitiveGroups.clear();
    std::vector<std::uint32_t> indices;
    indices.reserve(m_triangles.size() * 3);
    for (const Triangle& t : m_triangles) indices.insert(indices.end(), t.index, t.index + 3);

    auto toGroup = [](std::int32_t kind, const std::vector<std::uint32_t>& source) {
        PrimitiveGroup group;
        group.kind = kind;
        group.indices.assign(source.begin(), source.end()); // below kMaxVertexCount: fits 16 bits
        return group;
    };
    if (!useStrips) {
        if (!indices.empty()) m_primitiveGroups.push_back(toGroup(PrimitiveGroup::TriangleList, indices));
        return;
    }
    const TriangleStripBuilder builder;
    for (const StripPrimitive& primitive : builder.build(indices)) {
        const bool strip = primitive.type == StripPrimitive::Type::TriangleStrip;
        m_primitiveGroups.push_back(
            toGroup(strip ? PrimitiveGroup::TriangleStrip : PrimitiveGroup::TriangleList, primitive.indices));
    }
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
