#pragma once

#include "render/FreeAttributeTracker.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The per-vertex data of a generated vertex program, packed into generic vertex attributes.
// Full vectors (positions, normals, correction bases, ...) get attributes of their own;
// scalars (bone ids, weights, ...) fill free components of existing attributes so that skins
// with many influences fit into the card's attribute limit. Holds the tracker that hands out
// the attribute indices. GL-free: the renderer makes one buffer per record from interleaved().
class VertexAttributeSet {
public:
    // One generic attribute: its index, how many of its four components are spoken for, and
    // its component arrays (one float per vertex each) in component order.
    struct Record {
        unsigned index = 0;
        unsigned reserved = 0;
        std::vector<std::vector<float>> arrays;
        // Names for people inspecting the data; they never appear in program text.
        std::vector<std::string> labels;

        unsigned componentCount() const { return static_cast<unsigned>(arrays.size()); }
        // The arrays interleaved vertex by vertex (component 0, 1, ... of vertex 0, then of
        // vertex 1, ...), as the attribute buffer holds them.
        std::vector<float> interleaved() const;
    };

    // Where add put the data: the attribute index and the component of its first array.
    struct Placement {
        unsigned index = 0;
        unsigned component = 0;
        bool operator==(const Placement&) const = default;
    };

    VertexAttributeSet(unsigned vertexCount, std::shared_ptr<FreeAttributeTracker> tracker);

    // Stores `components` arrays taken from data (that many floats per vertex, vertex after
    // vertex). reserve 1 shares the first record with a free component; any other reserve
    // takes a new attribute (the preferred index if free). Throws OpenGLException when the
    // data does not hold exactly one value per vertex and component, or no attribute is left.
    Placement add(const std::string& label, std::span<const float> data, unsigned reserve, unsigned components,
                  unsigned preferred);

    unsigned vertexCount() const { return m_vertexCount; }
    const std::vector<Record>& records() const { return m_records; }
    const FreeAttributeTracker& tracker() const { return *m_tracker; }
    const std::shared_ptr<FreeAttributeTracker>& sharedTracker() const { return m_tracker; }

private:
    unsigned m_vertexCount;
    std::shared_ptr<FreeAttributeTracker> m_tracker;
    std::vector<Record> m_records;
};
