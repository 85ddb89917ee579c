#include "bake/LevelBuilder.h"

#include <meshoptimizer.h>

#include <algorithm>

namespace {

// Relative error allowed to the edge collapses (a fraction of the mesh's extent): enough to
// reach a quarter of the triangles on ordinary meshes without visible tears.
constexpr float kTargetError = 0.05f;
// The sloppy simplifier ignores topology and may go as far as needed.
constexpr float kSloppyError = 1.0f;

// Simplifies an index list towards `targetTriangles`; the fallback when the careful
// simplifier stops above one and a half times the target.
std::vector<std::uint32_t> simplify(const std::vector<std::uint32_t>& indices, const std::vector<float>& positions,
                                    std::size_t targetTriangles, bool& sloppy)
{
    const std::size_t vertexCount = positions.size() / 3;
    const std::size_t target = std::max<std::size_t>(1, targetTriangles) * 3;
    std::vector<std::uint32_t> result(indices.size());
    std::size_t size = meshopt_simplify(result.data(), indices.data(), indices.size(), positions.data(), vertexCount,
                                        3 * sizeof(float), target, kTargetError, 0, nullptr);
    sloppy = false;
    if (size * 2 > target * 3) {
        size = meshopt_simplifySloppy(result.data(), indices.data(), indices.size(), positions.data(), vertexCount,
                                      3 * sizeof(float), target, kSloppyError, nullptr);
        sloppy = true;
    }
    result.resize(size);
    return result;
}

// The vertices an index list uses, ascending, and the list renumbered over them.
LevelMesh compact(const std::vector<std::uint32_t>& indices, std::size_t vertexCount)
{
    std::vector<std::uint32_t> slot(vertexCount, ~0u);
    for (std::uint32_t i : indices) slot[i] = 0;
    LevelMesh level;
    for (std::size_t v = 0; v < vertexCount; ++v)
        if (slot[v] == 0) {
            slot[v] = static_cast<std::uint32_t>(level.vertices.size());
            level.vertices.push_back(static_cast<std::uint32_t>(v));
        }
    level.triangles.reserve(indices.size() / 3);
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3)
        level.triangles.push_back(Triangle{{slot[indices[i]], slot[indices[i + 1]], slot[indices[i + 2]]}});
    return level;
}

} // namespace

LevelSet buildLevels(const std::vector<Vector3d>& positions, const std::vector<Triangle>& triangles, int count,
                     std::size_t maxVertices)
{
    std::vector<float> floats;
    floats.reserve(positions.size() * 3);
    for (const Vector3d& p : positions) floats.insert(floats.end(), {float(p.x), float(p.y), float(p.z)});
    std::vector<std::uint32_t> indices;
    indices.reserve(triangles.size() * 3);
    for (const Triangle& t : triangles) indices.insert(indices.end(), t.index, t.index + 3);

    LevelSet set;
    LevelMesh full = compact(indices, positions.size());
    set.originalVertices = full.vertices.size();
    bool sloppy = false;
    // Fewer triangles in proportion to the vertices to lose, a little more each round in case
    // the simplifier keeps seams and borders.
    for (double margin = 0.95; full.vertices.size() > maxVertices && indices.size() >= 3; margin *= 0.9) {
        const double share = double(maxVertices) / double(full.vertices.size()) * margin;
        indices = simplify(indices, floats, static_cast<std::size_t>(double(indices.size() / 3) * share), sloppy);
        full = compact(indices, positions.size());
        set.simplifiedToFit = true;
    }
    set.levels.push_back(std::move(full));
    set.sloppy.push_back(sloppy);

    for (int level = 1; level < count; ++level) {
        const std::size_t target = std::max<std::size_t>(1, (indices.size() / 3) / 4);
        indices = simplify(indices, floats, target, sloppy);
        if (indices.empty()) break; // nothing left to draw: no coarser level
        set.levels.push_back(compact(indices, positions.size()));
        set.sloppy.push_back(sloppy);
    }
    return set;
}
