#include "bake/SkinSubset.h"

#include "bake/SkinReadBack.h"
#include "foundation/Exception.h"

#include <algorithm>
#include <string>

namespace {

// The rows `stride` x v .. stride x v + stride - 1 of every kept vertex v, in the subset's order,
// every column; an empty basis stays empty with its column count.
DenseMatrix keptRows(const DenseMatrix& basis, const std::vector<std::uint32_t>& vertices, unsigned stride)
{
    if (basis.rows() == 0) return basis;
    const unsigned rows = static_cast<unsigned>(vertices.size()) * stride;
    DenseMatrix result(rows, basis.columns());
    for (unsigned c = 0; c < basis.columns(); ++c)
        for (std::size_t i = 0; i < vertices.size(); ++i)
            for (unsigned k = 0; k < stride; ++k)
                result(static_cast<unsigned>(i) * stride + k, c) = basis(vertices[i] * stride + k, c);
    return result;
}

template <typename T>
std::vector<T> keptEntries(const std::vector<T>& values, const std::vector<std::uint32_t>& vertices)
{
    std::vector<T> result;
    if (values.empty()) return result;
    result.reserve(vertices.size());
    for (std::uint32_t v : vertices) result.push_back(values[v]);
    return result;
}

// A part of the rest mesh per vertex: the bone pulling it hardest, so that simplification keeps
// the rings where limbs bend (as the import's levels do).
std::vector<std::int32_t> strongestBones(const Skin& skin)
{
    std::vector<std::int32_t> parts(skin.vertexCount(), -1);
    for (unsigned v = 0; v < skin.vertexCount(); ++v) {
        float strongest = -1.0f;
        for (const BoneInfluence& influence : skin.influences(v))
            if (influence.weight > strongest) {
                strongest = influence.weight;
                parts[v] = influence.bone;
            }
    }
    return parts;
}

} // namespace

std::shared_ptr<Skin> subsetSkin(const Skin& source, const LevelMesh& subset)
{
    const unsigned vertexCount = source.vertexCount();
    for (std::uint32_t v : subset.vertices)
        if (v >= vertexCount)
            throw CreationException("A subset of skin '" + source.name() + "' keeps vertex " + std::to_string(v) +
                                    " of its " + std::to_string(vertexCount) + ".");
    const std::vector<std::uint32_t>& kept = subset.vertices;
    SkinRecord record;
    record.name = source.name();
    record.textureFileName = source.textureFileName();
    record.triangles = subset.triangles;
    record.positions = keptEntries(source.restPositions(), kept);
    record.normals = keptEntries(source.restNormals(), kept);
    record.textureCoordinates = keptEntries(source.textureCoordinates(), kept);
    for (const Vector3f& p : record.positions) record.boundingBox.grow(p);
    record.influences.reserve(kept.size());
    for (std::uint32_t v : kept) {
        const auto influences = source.influences(v);
        record.influences.emplace_back(influences.begin(), influences.end());
    }
    record.bones = source.bones();
    record.displacementBasis = keptRows(source.displacementBasis(), kept, 3);
    record.displacementCoordinates = source.displacementCoordinates();
    record.normalBasis = keptRows(source.normalBasis(), kept, 3);
    record.normalCoordinates = source.normalCoordinates();
    record.vertexColors = keptEntries(source.vertexColors(), kept);
    record.meanLighting = keptEntries(source.meanLighting(), kept);
    record.lightingBasis = keptRows(source.lightingBasis(), kept, 1);
    record.lightingCoordinates = source.lightingCoordinates();
    std::shared_ptr<Skin> skin = readBackSkin(record);
    skin->setFileName(source.fileName());
    return skin;
}

LevelMesh bandMesh(const Skin& coarsest)
{
    std::vector<Vector3d> positions;
    positions.reserve(coarsest.vertexCount());
    for (const Vector3f& p : coarsest.restPositions()) positions.emplace_back(p);
    LevelSet levels = buildLevels(positions, coarsest.triangles(), 2, strongestBones(coarsest));
    if (levels.levels.size() < 2) return {};
    LevelMesh& band = levels.levels[1];
    // Keeping more than half the triangles would save too little to be worth another mesh.
    if (band.triangles.empty() || 2 * band.triangles.size() > coarsest.triangleCount()) return {};
    return std::move(band);
}

std::shared_ptr<Skin> makeBandSkin(const Skin& coarsest)
{
    const LevelMesh band = bandMesh(coarsest);
    return band.triangles.empty() ? nullptr : subsetSkin(coarsest, band);
}
