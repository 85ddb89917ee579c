#pragma once

#include <cstdint>
#include <vector>

// Index lists of generated meshes shared by the strip builder tests. The pinned output digests
// depend on these meshes exactly: change them only together with the digests.

namespace stripmesh {

// columns x rows quads of two triangles each, on a (columns + 1) x (rows + 1) vertex grid.
std::vector<uint32_t> grid(uint32_t columns, uint32_t rows);
// Closed sphere with one vertex per pole and rings that wrap around without a seam.
std::vector<uint32_t> sphere(uint32_t segments, uint32_t rings);
// Closed torus of major x minor quads, wrapping in both directions.
std::vector<uint32_t> torus(uint32_t major, uint32_t minor);

} // namespace stripmesh
