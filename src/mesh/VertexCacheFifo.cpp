#include "mesh/VertexCacheFifo.h"

#include "mesh/TriangleStripBuilder.h"

#include <algorithm>

VertexCacheFifo::VertexCacheFifo(unsigned cacheSize)
    : m_cacheSize(std::max(cacheSize, 1u))
{
    m_entries.resize(m_cacheSize);
}

bool VertexCacheFifo::access(uint32_t index)
{
    // A linear scan beats any index for the 16-32 entries real caches have.
    if (contains(index)) {
        ++m_hits;
        return true;
    }
    ++m_misses;
    m_entries[m_next] = index;
    m_next = (m_next + 1) % m_cacheSize;
    if (m_used < m_cacheSize)
        ++m_used;
    return false;
}

bool VertexCacheFifo::contains(uint32_t index) const
{
    return std::find(m_entries.begin(), m_entries.begin() + m_used, index) != m_entries.begin() + m_used;
}

void VertexCacheFifo::reset()
{
    m_next = 0;
    m_used = 0;
    m_misses = 0;
    m_hits = 0;
}

size_t VertexCacheFifo::trianglesInPrimitive(int kind, size_t indexCount)
{
    switch (kind) {
    case kKindList:
        return indexCount / 3;
    case kKindStrip:
    case kKindFan:
        return indexCount >= 3 ? indexCount - 2 : 0;
    default:
        return 0;
    }
}

double averageCacheMissRatio(const std::vector<StripPrimitive>& primitives, unsigned cacheSize)
{
    VertexCacheFifo cache(cacheSize);
    size_t triangles = 0;
    for (const StripPrimitive& primitive : primitives) {
        int kind = primitive.type == StripPrimitive::Type::TriangleStrip ? VertexCacheFifo::kKindStrip
                                                                         : VertexCacheFifo::kKindList;
        triangles += cache.feedPrimitive(kind, primitive.indices.begin(), primitive.indices.end());
    }
    return triangles == 0 ? 0.0 : static_cast<double>(cache.misses()) / static_cast<double>(triangles);
}
