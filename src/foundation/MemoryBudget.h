#pragma once

#include <cstdint>
#include <string>

// What a file reader may still allocate for the data it keeps from one file. Readers take
// from it before they grow an array, so that a file of any size, or one whose counts claim
// terabytes, costs at most the budget (plus the slack of arrays that grow by doubling), never
// an allocation that exhausts the machine. One budget serves a file and everything it pulls
// in: a text skin shares its budget with its OBJ mesh, MTL libraries and lighting file.
class MemoryBudget {
public:
    // What one skin file may cost, with its mesh, materials and lighting: a hundred times
    // what a 65,536-vertex animal with a thousand frames and fifty corrections needs.
    static constexpr std::uint64_t kSkinFileBytes = std::uint64_t(256) << 20;

    // Thrown by take() when the budget would be exceeded; nothing is taken then. Readers turn
    // it into their own exception with tooLargeMessage().
    struct Exceeded {};

    // `source` names the file in tooLargeMessage().
    explicit MemoryBudget(std::uint64_t bytes, std::string source = {})
        : m_limit(bytes), m_left(bytes), m_source(std::move(source))
    {
    }

    // Takes count elements of elementSize bytes; throws Exceeded when fewer are left.
    void take(std::uint64_t count, std::uint64_t elementSize)
    {
        // Division instead of multiplication: count * elementSize may overflow 64 bits.
        if (elementSize != 0 && count > m_left / elementSize) throw Exceeded{};
        m_left -= count * elementSize;
    }
    // The same for bytes counted by the caller (small sizes, no overflow).
    void takeBytes(std::uint64_t bytes)
    {
        if (bytes > m_left) throw Exceeded{};
        m_left -= bytes;
    }
    // Returns what was taken for data that has been dropped again.
    void giveBack(std::uint64_t bytes) { m_left = bytes > m_limit - m_left ? m_limit : m_left + bytes; }

    std::uint64_t limit() const { return m_limit; }
    std::uint64_t left() const { return m_left; }
    std::uint64_t used() const { return m_limit - m_left; }
    const std::string& source() const { return m_source; }

    // "The file 'PATH' needs more than 256 MiB of memory; a file may take at most that much.",
    // naming the budget's source ("The data" when it has none) or the given file.
    std::string tooLargeMessage() const { return tooLargeMessage(m_source); }
    std::string tooLargeMessage(const std::string& path) const
    {
        const std::string what = path.empty() ? std::string("The data") : "The file '" + path + "'";
        const std::string amount = m_limit % (std::uint64_t(1) << 20) == 0 ? std::to_string(m_limit >> 20) + " MiB"
                                                                           : std::to_string(m_limit) + " bytes";
        return what + " needs more than " + amount + " of memory; a file may take at most that much.";
    }

private:
    std::uint64_t m_limit;
    std::uint64_t m_left;
    std::string m_source;
};
