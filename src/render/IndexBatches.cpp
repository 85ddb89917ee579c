#include "render/IndexBatches.h"

#include "foundation/Exception.h"

namespace {

unsigned modeOf(std::int32_t kind)
{
    switch (kind) {
    case PrimitiveGroup::TriangleList: return kGLTriangles;
    case PrimitiveGroup::TriangleStrip: return kGLTriangleStrip;
    case PrimitiveGroup::TriangleFan: return kGLTriangleFan;
    default: throw Exception("Shouldn't reach here.");
    }
}

} // namespace

std::vector<IndexBatchPlan> planStripBatches(const std::vector<PrimitiveGroup>& groups, std::size_t maxIndices)
{
    std::vector<IndexBatchPlan> batches;
    IndexBatchPlan current;
    for (const PrimitiveGroup& group : groups) {
        const unsigned mode = modeOf(group.kind);
        if (group.indices.empty()) continue;
        // An empty batch would mean a zero-sized buffer; a group larger than the limit simply
        // gets a batch of its own.
        if (!current.indices.empty() && current.indices.size() + group.indices.size() > maxIndices) {
            batches.push_back(std::move(current));
            current = IndexBatchPlan();
        }
        current.ranges.push_back({mode, 2 * current.indices.size(), group.indices.size()});
        current.indices.insert(current.indices.end(), group.indices.begin(), group.indices.end());
    }
    if (!current.indices.empty()) batches.push_back(std::move(current));
    return batches;
}

std::vector<IndexBatchPlan> planTriangleBatch(const std::vector<Triangle>& triangles)
{
    if (triangles.empty()) return {};
    IndexBatchPlan batch;
    batch.indices.reserve(3 * triangles.size());
    for (const Triangle& t : triangles)
        for (std::uint32_t index : t.index) batch.indices.push_back(static_cast<std::uint16_t>(index));
    batch.ranges.push_back({kGLTriangles, 0, batch.indices.size()});
    std::vector<IndexBatchPlan> batches;
    batches.push_back(std::move(batch));
    return batches;
}
