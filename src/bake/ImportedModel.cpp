#include "bake/ImportedModel.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <cmath>

std::size_t sampledFrameCount(double seconds, double fps)
{
    const double frames = std::floor(seconds * fps + 0.5);
    // Clips longer than a day at any rate are rejected before this by the readers.
    return frames < 1.0 ? 1 : static_cast<std::size_t>(frames);
}

void finishInfluences(ImportedModel& model, const std::vector<std::vector<std::pair<std::int32_t, double>>>& weights)
{
    constexpr std::size_t kMaxInfluences = 4;
    const std::size_t boneCount = model.boneNames.size();
    std::vector<bool> used(boneCount, false);
    model.influences.assign(weights.size(), {});
    std::vector<std::pair<std::int32_t, double>> list;
    for (std::size_t v = 0; v < weights.size(); ++v) {
        list.clear();
        for (const auto& [bone, weight] : weights[v])
            if (weight > 0.0 && std::isfinite(weight)) list.emplace_back(bone, weight);
        // One bone named twice (two meshes' bones that turned out the same) pulls once.
        std::sort(list.begin(), list.end());
        std::size_t merged = 0;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (merged > 0 && list[merged - 1].first == list[i].first)
                list[merged - 1].second += list[i].second;
            else
                list[merged++] = list[i];
        }
        list.resize(merged);
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        if (list.size() > kMaxInfluences) list.resize(kMaxInfluences);
        double sum = 0.0;
        for (const auto& entry : list) sum += entry.second;
        for (const auto& [bone, weight] : list) {
            model.influences[v].push_back({bone, static_cast<float>(weight / sum)});
            used[static_cast<std::size_t>(bone)] = true;
        }
    }

    std::vector<std::int32_t> renumbered(boneCount, -1);
    std::int32_t next = 0;
    for (std::size_t b = 0; b < boneCount; ++b)
        if (used[b]) renumbered[b] = next++;
    if (static_cast<std::size_t>(next) == boneCount) return;
    for (auto& influences : model.influences)
        for (BoneInfluence& influence : influences) influence.bone = renumbered[static_cast<std::size_t>(influence.bone)];
    auto keep = [&](auto& perBone) {
        std::size_t out = 0;
        for (std::size_t b = 0; b < perBone.size(); ++b)
            if (used[b]) perBone[out++] = std::move(perBone[b]);
        perBone.resize(out);
    };
    keep(model.boneNames);
    keep(model.bonePivots);
    keep(model.boneDepths);
    for (auto& frame : model.poses) keep(frame);
}

namespace {

constexpr double kFarthest = 1e15;

bool usable(const Vector3d& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::fabs(v.x) <= kFarthest &&
           std::fabs(v.y) <= kFarthest && std::fabs(v.z) <= kFarthest;
}

bool usable(const Affine3d& a)
{
    for (const auto& row : a.linear)
        for (double x : row)
            if (!std::isfinite(x) || std::fabs(x) > kFarthest) return false;
    return usable(a.translation);
}

} // namespace

void checkImportedModel(const ImportedModel& model, const std::string& path)
{
    auto fail = [&](const std::string& reason) { throw IOException("Unable to import model '" + path + "': " + reason); };
    const std::size_t vertices = model.positions.size();
    if (model.normals.size() != vertices || model.influences.size() != vertices || model.colours.size() != vertices ||
        (!model.textureCoordinates.empty() && model.textureCoordinates.size() != vertices))
        fail("its vertex data do not match.");
    for (std::size_t v = 0; v < vertices; ++v) {
        if (!usable(model.positions[v])) fail("vertex " + std::to_string(v) + " lies at no usable position.");
        if (!usable(model.normals[v])) fail("vertex " + std::to_string(v) + " has no usable normal.");
        if (model.influences[v].empty()) fail("vertex " + std::to_string(v) + " has no bone.");
        for (const BoneInfluence& influence : model.influences[v])
            if (influence.bone < 0 || static_cast<std::size_t>(influence.bone) >= model.boneNames.size())
                fail("vertex " + std::to_string(v) + " names a bone that does not exist.");
    }
    for (const Triangle& t : model.triangles)
        for (std::uint32_t index : t.index)
            if (index >= vertices) fail("a triangle names a vertex that does not exist.");
    if (model.poses.empty()) fail("it has no frames.");
    if (model.bonePivots.size() != model.boneNames.size() || model.boneDepths.size() != model.boneNames.size())
        fail("its bones do not match.");
    for (const Vector3d& pivot : model.bonePivots)
        if (!usable(pivot)) fail("a bone's joint lies at no usable position.");
    for (std::size_t f = 0; f < model.poses.size(); ++f) {
        if (model.poses[f].size() != model.boneNames.size()) fail("frame " + std::to_string(f) + " misses bones.");
        for (std::size_t b = 0; b < model.poses[f].size(); ++b)
            if (!usable(model.poses[f][b]))
                fail("bone '" + model.boneNames[b] + "' has no usable transform in frame " + std::to_string(f) + ".");
    }
}
