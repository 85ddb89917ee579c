#include "render/FreeAttributeTracker.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <numeric>
#include <sstream>

FreeAttributeTracker::FreeAttributeTracker(unsigned maxAttributes) : m_maxAttributes(maxAttributes), m_free(maxAttributes)
{
    std::iota(m_free.begin(), m_free.end(), 0u);
}

unsigned FreeAttributeTracker::allocate(unsigned preferred)
{
    if (m_free.empty()) {
        // The misspelling is the message users and scripts already know.
        std::ostringstream message;
        message << "Exceeded macximum number of usable vertex attributes: " << m_maxAttributes;
        throw OpenGLException(message.str());
    }
    auto chosen = std::find(m_free.begin(), m_free.end(), preferred);
    // The free list stays ascending, so its front is the lowest free index.
    if (chosen == m_free.end()) chosen = m_free.begin();
    const unsigned index = *chosen;
    m_free.erase(chosen);
    m_used.push_back(index);
    return index;
}
