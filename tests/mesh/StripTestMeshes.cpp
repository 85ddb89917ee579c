#include "StripTestMeshes.h"

namespace stripmesh {

std::vector<uint32_t> grid(uint32_t columns, uint32_t rows)
{
    std::vector<uint32_t> indices;
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = 0; x < columns; ++x) {
            uint32_t a = y * (columns + 1) + x, b = a + 1, c = a + columns + 1, d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    }
    return indices;
}

std::vector<uint32_t> sphere(uint32_t segments, uint32_t rings)
{
    std::vector<uint32_t> indices;
    auto ringVertex = [&](uint32_t ring, uint32_t s) { return 1 + (ring - 1) * segments + s % segments; };
    uint32_t south = 1 + (rings - 1) * segments;
    for (uint32_t s = 0; s < segments; ++s)
        indices.insert(indices.end(), {0, ringVertex(1, s), ringVertex(1, s + 1)});
    for (uint32_t r = 1; r + 1 < rings; ++r) {
        for (uint32_t s = 0; s < segments; ++s) {
            uint32_t a = ringVertex(r, s), b = ringVertex(r, s + 1), c = ringVertex(r + 1, s),
                     d = ringVertex(r + 1, s + 1);
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    }
    for (uint32_t s = 0; s < segments; ++s)
        indices.insert(indices.end(), {south, ringVertex(rings - 1, s + 1), ringVertex(rings - 1, s)});
    return indices;
}

std::vector<uint32_t> torus(uint32_t major, uint32_t minor)
{
    std::vector<uint32_t> indices;
    auto vertex = [&](uint32_t i, uint32_t j) { return (i % major) * minor + j % minor; };
    for (uint32_t i = 0; i < major; ++i) {
        for (uint32_t j = 0; j < minor; ++j) {
            uint32_t a = vertex(i, j), b = vertex(i + 1, j), c = vertex(i + 1, j + 1), d = vertex(i, j + 1);
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    }
    return indices;
}

} // namespace stripmesh
