#pragma once

// BenchMeshes: index-only meshes for the strip benchmarks. Generated shapes give sizes and
// orders that are the same on every machine; the OBJ reader brings in a real model. Only
// connectivity matters to strips and the vertex cache, so no positions are kept.

#include <cstdint>
#include <string>
#include <vector>

struct BenchMesh {
    std::string name;
    std::vector<uint32_t> indices; // three per triangle
    uint32_t vertexCount = 0;
};

// Closed UV sphere: single pole vertices, rings wrapping without a seam;
// 2 * segments * (rings - 1) triangles. Needs segments >= 3 and rings >= 2.
BenchMesh makeSphereMesh(uint32_t segments, uint32_t rings);

// Closed torus of major x minor quads, 2 * major * minor triangles. Needs both >= 3.
BenchMesh makeTorusMesh(uint32_t majorSegments, uint32_t minorSegments);

// The mesh with its triangle order permuted by a fixed-seed generator (corners kept).
BenchMesh shuffledMesh(const BenchMesh& mesh, uint32_t seed);

// Reads "v" and "f" records of a Wavefront OBJ file; other records are skipped. Face corners
// may be "a", "a/b", "a/b/c" or "a//c" (only the position index is used, negative ones count
// back from the latest vertex); polygons are split into fans. Returns false with a message
// on a missing file or an index out of range.
bool loadObjMesh(const std::string& path, BenchMesh& mesh, std::string& error);
