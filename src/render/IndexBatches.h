#pragma once

// How a skin's triangles are packed into 16-bit index buffers and the draw calls into them,
// worked out without GL so that the packing can be checked on its own. The skin renderer
// hands each planned batch's indices to its memory manager and draws the ranges.

#include "skin/Skin.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The GL primitive enumerants a range may carry, by value so this stays GL-free; the GL layer
// checks them against the GL headers at compile time.
constexpr unsigned kGLTriangles = 0x0004;
constexpr unsigned kGLTriangleStrip = 0x0005;
constexpr unsigned kGLTriangleFan = 0x0006;

// Strip sets are packed into buffers of at most this many indices (a single group larger than
// that gets a buffer of its own: groups are never split).
constexpr std::size_t kMaxBatchIndices = 100000;

// One draw call into an index buffer: GL primitive mode, byte offset of the first index in the
// buffer and number of indices.
struct DrawRange {
    unsigned mode = kGLTriangles;
    std::size_t byteOffset = 0;
    std::size_t count = 0;
    bool operator==(const DrawRange&) const = default;
};

// The indices of one buffer and the draw calls that read them, in drawing order.
struct IndexBatchPlan {
    std::vector<std::uint16_t> indices;
    std::vector<DrawRange> ranges;
};

// Packs the primitive groups in order: a new batch starts before a group that would take the
// current one past maxIndices, unless the current one is still empty. Kind 0 draws as
// triangles, 1 as a strip, 2 as a fan; any other kind throws Exception "Shouldn't reach here.".
// Groups without indices draw nothing and get no range; no batch is ever empty.
std::vector<IndexBatchPlan> planStripBatches(const std::vector<PrimitiveGroup>& groups,
                                             std::size_t maxIndices = kMaxBatchIndices);

// One batch with one triangle-list range over every triangle in order (indices truncated to
// 16 bits; the skin reader guarantees they fit). No batch for a skin without triangles.
std::vector<IndexBatchPlan> planTriangleBatch(const std::vector<Triangle>& triangles);
