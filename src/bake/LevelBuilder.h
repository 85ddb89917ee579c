#pragma once

#include "foundation/Vector3d.h"
#include "skin/Skin.h"

#include <cstdint>
#include <vector>

// One level of detail as a subset of a model's vertices: which vertices it keeps (ascending
// indices into the model) and its triangles over them (indices into `vertices`), so every
// per-vertex property of the model, weights included, carries over unchanged.
struct LevelMesh {
    std::vector<std::uint32_t> vertices;
    std::vector<Triangle> triangles;
};

struct LevelSet {
    std::vector<LevelMesh> levels; // finest first
    bool simplifiedToFit = false;  // the full level had more vertices than a skin can draw
    std::size_t originalVertices = 0; // vertices used by the model's triangles
    std::vector<bool> sloppy;      // per level: the fallback simplifier was needed
};

// Builds `count` levels from the model's rest pose: the full mesh (simplified first when it
// uses more than maxVertices vertices), then levels with about 1/4, 1/16, ... of its
// triangles, each simplified from the one before by meshoptimizer's edge collapses
// (meshopt_simplify), part by part with the borders between parts kept (parts[v] is the part
// of vertex v, such as the bone pulling it hardest; empty: one part), or by its sloppy
// clustering of the whole mesh when that cannot get within half again of the target.
// Deterministic: the same input gives the same levels.
LevelSet buildLevels(const std::vector<Vector3d>& positions, const std::vector<Triangle>& triangles, int count,
                     const std::vector<std::int32_t>& parts = {}, std::size_t maxVertices = Skin::kMaxVertexCount);
