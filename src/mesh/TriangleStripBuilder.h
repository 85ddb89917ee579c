#pragma once

// TriangleStripBuilder: turns a skin's triangle list into triangle strips ordered for a small
// FIFO post-transform vertex cache. Strips are grown greedily across shared edges, and where
// several strips are possible the one that re-uses the vertices still held by a simulated
// cache is taken, so consecutive strips run side by side and share their vertices.
// Triangles that end up in no strip are drawn by one triangle list after all strips.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// One draw call worth of indices, drawn as OpenGL draws GL_TRIANGLES or GL_TRIANGLE_STRIP.
struct StripPrimitive {
    enum class Type { TriangleList, TriangleStrip };
    Type type = Type::TriangleList;
    std::vector<uint32_t> indices;
};

class TriangleStripBuilder {
public:
    struct Settings {
        // Entries of the FIFO vertex cache the strip order is tuned for (3 at least; sizes
        // above 2^20 act as 2^20).
        unsigned cacheSize = 16;
        // Strips with fewer triangles than this are not emitted; their triangles are drawn
        // by the final triangle list instead. Values below 2 act as 2 (a strip of one
        // triangle saves nothing over a list).
        unsigned minStripSize = 2;
        // Extending a strip backwards from its start triangle. Accepted for compatibility
        // with existing settings but not used: the builder always grows strips forwards from
        // the start triangle, whose three possible first edges it compares instead.
        bool backwardSearch = false;
    };

    // Builder with the default settings above.
    TriangleStripBuilder();
    explicit TriangleStripBuilder(Settings settings);

    // Builds strips from a triangle list of three vertex indices per triangle (a trailing
    // partial triangle is ignored). Every input triangle is drawn exactly once, with its
    // winding kept, by the returned primitives: strips first, then at most one triangle
    // list holding the remaining triangles in input order. Degenerate triangles always go
    // to that list; inputs of 2^30 triangles or more come back as one list.
    std::vector<StripPrimitive> build(std::span<const uint32_t> triangleIndices) const;

    // The same primitives, in the same order, handed to `sink` one at a time as they are
    // built instead of collected: callers that store them in a form of their own save a
    // vector per primitive. The indices are valid only during the call.
    using Sink = std::function<void(StripPrimitive::Type, std::span<const uint32_t> indices)>;
    void build(std::span<const uint32_t> triangleIndices, const Sink& sink) const;

    const Settings& settings() const { return m_settings; }

private:
    Settings m_settings;
};
