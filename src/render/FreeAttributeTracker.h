#pragma once

#include <vector>

// Which generic vertex attribute indices are still free and which were handed out, in the
// order they were handed out. The caller reads the card's limit (GL_MAX_VERTEX_ATTRIBS_ARB)
// and passes it in, so that deciding the layout needs no GL context. The used list is the
// order of the ATTRIB declarations of the generated vertex programs.
class FreeAttributeTracker {
public:
    // Free list 0, 1, ..., maxAttributes - 1; nothing used yet.
    explicit FreeAttributeTracker(unsigned maxAttributes);

    // Hands out the preferred index if it is still free, else the lowest free index, and
    // appends it to the used list. Throws OpenGLException when no index is left.
    unsigned allocate(unsigned preferred);

    unsigned maxAttributes() const { return m_maxAttributes; }
    const std::vector<unsigned>& freeIndices() const { return m_free; }
    const std::vector<unsigned>& usedIndices() const { return m_used; }

private:
    unsigned m_maxAttributes;
    std::vector<unsigned> m_free;
    std::vector<unsigned> m_used;
};
