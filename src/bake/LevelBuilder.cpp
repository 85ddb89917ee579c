#include "bake/LevelBuilder.h"

#include <meshoptimizer.h>

#include <algorithm>

namespace {

// Relative error allowed to the edge collapses (a fraction of the mesh's extent): enough to
// reach a quarter of the triangles on ordinary meshes without visible tears.
constexpr float kTargetError = 0.05f;
// The sloppy simplifier ignores topology and may go as far as needed.
constexpr float kSloppyError = 1.0f;

// Within half again of the target counts as reached.
bool reached(std::size_t size, std::size_t target) { return size * 2 <= target * 3; }

// Simplifies an index list towards `targetTriangles`. The rest pose alone cannot tell where the
// mesh will bend: a straight limb simplifies to one long box that folds badly once its joint
// turns. So each part (the triangles whose first vertex one bone pulls hardest) is first
// simplified on its own with its border locked, which keeps the rings where parts meet. When
// the kept rings are too many for the target, the whole mesh is simplified at once, and when
// even that stops short, the sloppy clusterer takes over.
std::vector<std::uint32_t> simplify(const std::vector<std::uint32_t>& indices, const std::vector<float>& positions,
                                    const std::vector<std::int32_t>& parts, std::size_t targetTriangles, bool& sloppy)
{
    const std::size_t vertexCount = positions.size() / 3;
    const std::size_t target = std::max<std::size_t>(1, targetTriangles) * 3;
    // Triangles by part, in a fixed order (ascending part, then input order).
    std::vector<std::pair<std::int32_t, std::size_t>> order;
    order.reserve(indices.size() / 3);
    for (std::size_t t = 0; t + 2 < indices.size(); t += 3) order.emplace_back(parts.empty() ? 0 : parts[indices[t]], t);
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::uint32_t> result;
    result.reserve(indices.size());
    std::vector<std::uint32_t> part, simplified;
    const bool onePart = order.empty() || order.front().first == order.back().first;
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first;
        part.clear();
        while (last < order.size() && order[last].first == order[first].first) {
            part.insert(part.end(), indices.begin() + std::ptrdiff_t(order[last].second),
                        indices.begin() + std::ptrdiff_t(order[last].second + 3));
            ++last;
        }
        const std::size_t partTarget =
            std::max<std::size_t>(3, std::size_t(double(part.size()) * double(target) / double(indices.size())) / 3 * 3);
        simplified.resize(part.size());
        const std::size_t size = meshopt_simplify(simplified.data(), part.data(), part.size(), positions.data(), vertexCount,
                                                  3 * sizeof(float), partTarget, kTargetError,
                                                  onePart ? 0u : unsigned(meshopt_SimplifyLockBorder), nullptr);
        result.insert(result.end(), simplified.begin(), simplified.begin() + std::ptrdiff_t(size));
        first = last;
    }
    std::size_t size = result.size();
    sloppy = false;
    if (!reached(size, target) && !onePart) {
        result.resize(indices.size());
        size = meshopt_simplify(result.data(), indices.data(), indices.size(), positions.data(), vertexCount,
                                3 * sizeof(float), target, kTargetError, 0, nullptr);
    }
    if (!reached(size, target)) {
        result.resize(indices.size());
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
                     const std::vector<std::int32_t>& parts, std::size_t maxVertices)
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
        indices = simplify(indices, floats, parts, static_cast<std::size_t>(double(indices.size() / 3) * share), sloppy);
        full = compact(indices, positions.size());
        set.simplifiedToFit = true;
    }
    set.levels.push_back(std::move(full));
    set.sloppy.push_back(sloppy);

    for (int level = 1; level < count; ++level) {
        const std::size_t target = std::max<std::size_t>(1, (indices.size() / 3) / 4);
        indices = simplify(indices, floats, parts, target, sloppy);
        if (indices.empty()) break; // nothing left to draw: no coarser level
        set.levels.push_back(compact(indices, positions.size()));
        set.sloppy.push_back(sloppy);
    }
    return set;
}
