#include "render/EnvScalarBlock.h"

#include "render/VertexProgramNames.h"

#include <sstream>

EnvScalarBlock::EnvScalarBlock(unsigned first) : m_first(first), m_next(first)
{
}

EnvScalarBlock::Slot EnvScalarBlock::allocate()
{
    const Slot slot{m_next, m_used};
    if (++m_used == 4) {
        m_used = 0;
        ++m_next;
    }
    return slot;
}

std::string EnvScalarBlock::reference(const Slot& slot) const
{
    std::ostringstream out;
    out << kArrayName << '[' << slot.vector - m_first << "]." << std::string(4, componentLetter(slot.component));
    return out.str();
}

std::string EnvScalarBlock::declaration() const
{
    if (empty()) return {};
    const unsigned last = m_used == 0 ? m_next - 1 : m_next;
    std::ostringstream out;
    out << "PARAM " << kArrayName << '[' << last - m_first + 1 << "] = { " << kSource << '[';
    if (last == m_first)
        out << m_first;
    else
        out << m_first << ".." << last;
    out << "] };\n";
    return out.str();
}
