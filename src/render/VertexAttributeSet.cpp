#include "render/VertexAttributeSet.h"

#include "foundation/Exception.h"

#include <algorithm>

std::vector<float> VertexAttributeSet::Record::interleaved() const
{
    if (arrays.empty()) return {};
    const std::size_t vertices = arrays.front().size();
    const std::size_t width = arrays.size();
    std::vector<float> out(vertices * width);
    for (std::size_t c = 0; c < width; ++c)
        for (std::size_t v = 0; v < vertices; ++v) out[v * width + c] = arrays[c][v];
    return out;
}

VertexAttributeSet::VertexAttributeSet(unsigned vertexCount, std::shared_ptr<FreeAttributeTracker> tracker)
    : m_vertexCount(vertexCount), m_tracker(std::move(tracker))
{
}

VertexAttributeSet::Placement VertexAttributeSet::add(const std::string& label, std::span<const float> data,
                                                      unsigned reserve, unsigned components, unsigned preferred)
{
    Record* record = nullptr;
    if (reserve == 1) {
        const auto open = std::find_if(m_records.begin(), m_records.end(), [](const Record& r) { return r.reserved != 4; });
        if (open != m_records.end()) record = &*open;
    }
    if (!record) {
        Record fresh;
        fresh.index = m_tracker->allocate(preferred);
        m_records.push_back(std::move(fresh));
        record = &m_records.back();
    }
    record->reserved += reserve;

    // A short or long source would leave an attribute array that the draw call reads past
    // (or short of) the vertex count.
    if (components > 0 && data.size() != static_cast<std::size_t>(components) * m_vertexCount)
        throw OpenGLException("Mismatch between vertex array sizes.");
    for (unsigned c = 0; c < components; ++c) {
        std::vector<float> array(m_vertexCount);
        for (unsigned v = 0; v < m_vertexCount; ++v) array[v] = data[static_cast<std::size_t>(v) * components + c];
        record->arrays.push_back(std::move(array));
        record->labels.push_back(label);
    }
    return {record->index, record->componentCount() - components};
}
