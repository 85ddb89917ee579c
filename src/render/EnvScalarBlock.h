#pragma once

#include <string>

// Places per-frame scalars (eigenskin correction coefficients) into program environment
// parameters right after the bone rows, four to a vector, and writes how the program
// declares and reads them. Vectors are numbered as program.env numbers them.
class EnvScalarBlock {
public:
    // The vector and component one scalar lives in.
    struct Slot {
        unsigned vector = 0;
        unsigned component = 0;
        bool operator==(const Slot&) const = default;
    };

    static constexpr const char* kArrayName = "envParams";
    static constexpr const char* kSource = "program.env";

    // The block starts at vector `first` (3 x bone count: the bone rows come before it).
    explicit EnvScalarBlock(unsigned first);

    // The next free slot: x, y, z, w of one vector before the next vector.
    Slot allocate();

    // The program's read of a slot as a replicated operand, e.g. "envParams[0].yyyy".
    std::string reference(const Slot& slot) const;

    // "PARAM envParams[n] = { program.env[a..b] };\n" over the vectors in use; empty when
    // nothing was allocated, since the program must not declare an empty array.
    std::string declaration() const;

    unsigned first() const { return m_first; }
    bool empty() const { return m_next == m_first && m_used == 0; }
    // Number of vectors the scalars touch (a partly used last vector counts).
    unsigned vectorCount() const { return m_next - m_first + (m_used == 0 ? 0 : 1); }
    // The first vector after the block: where the PRT coefficients start.
    unsigned end() const { return m_first + vectorCount(); }

private:
    unsigned m_first;
    unsigned m_next;
    unsigned m_used = 0;
};
