#pragma once

#include "foundation/MemoryBudget.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <istream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "binary skin files are little-endian and are read straight into memory");

// Reads the little-endian fields of a binary skin record from a stream and knows how many
// bytes the stream has left, so that a count can be checked against them before anything is
// allocated: a corrupt count must neither allocate gigabytes nor spin through a huge loop.
// Every short read throws ShortRead. What the arrays keep is taken from a MemoryBudget first
// (MemoryBudget::Exceeded when it runs out), so a file that really holds gigabytes of data is
// refused as well.
//
// On a stream that knows its length, small fields are served from a read-ahead buffer: a
// record holds a few fields per vertex, and a stream call for each costs more than the copy.
// The destructor hands the unread part back by seeking, so the stream then stands right after
// the last field read, as without the buffer.
class BinaryRecordReader {
public:
    // The stream ended (or failed) before the data a record declares.
    struct ShortRead {};

    // With a budget of its own, MemoryBudget::kSkinFileBytes.
    explicit BinaryRecordReader(std::istream& in);
    // Takes from the given budget, which must outlive the reader.
    BinaryRecordReader(std::istream& in, MemoryBudget& budget);
    ~BinaryRecordReader();
    BinaryRecordReader(const BinaryRecordReader&) = delete;
    BinaryRecordReader& operator=(const BinaryRecordReader&) = delete;

    // Inline: a record holds a count or two per vertex.
    std::uint32_t readU32() { return readValue<std::uint32_t>(); }
    std::int32_t readI32() { return readValue<std::int32_t>(); }
    float readF32() { return readValue<float>(); }
    std::string readString();

    // Reads count elements of T, checking first that count * sizeof(T) bytes are left and
    // taking them from the budget.
    template <typename T>
    void readArray(std::vector<T>& out, std::uint64_t count)
    {
        requireBytes(count, sizeof(T));
        m_budget->take(count, sizeof(T));
        out.clear();
        // A stream that cannot tell its length gets no reservation: a bogus count then fails
        // at the end of the data instead of allocating up front.
        if (m_bytesLeft != std::numeric_limits<std::uint64_t>::max()) out.reserve(static_cast<std::size_t>(count));
        // Grown and filled a chunk at a time, so that the zeroing done by growing is still in
        // cache when the read overwrites it.
        constexpr std::uint64_t kChunk = (std::uint64_t(1) << 17) / sizeof(T) + 1;
        while (out.size() < count) {
            const std::size_t done = out.size();
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, count - done));
            out.resize(done + n);
            readBytes(out.data() + done, n * sizeof(T));
        }
    }
    // Appends count elements of T to out.
    template <typename T>
    void appendArray(std::vector<T>& out, std::uint64_t count)
    {
        requireBytes(count, sizeof(T));
        m_budget->take(count, sizeof(T));
        const std::size_t done = out.size();
        out.resize(done + static_cast<std::size_t>(count));
        readBytes(out.data() + done, count * sizeof(T));
    }
    template <typename T>
    void readRaw(T& value)
    {
        readBytes(&value, sizeof(T));
    }
    // Skips count elements of elementSize bytes.
    void skip(std::uint64_t count, std::uint64_t elementSize)
    {
        if (count != 0) skipBytes(count, elementSize);
    }

    // Throws ShortRead unless count elements of elementSize bytes can still be read.
    void requireBytes(std::uint64_t count, std::uint64_t elementSize) const
    {
        // Division instead of multiplication: count * elementSize may overflow 64 bits.
        if (elementSize != 0 && count > m_bytesLeft / elementSize) throw ShortRead{};
    }
    // Bytes left in the stream; the maximum when the stream cannot tell.
    std::uint64_t bytesLeft() const { return m_bytesLeft; }
    // The budget the arrays are taken from; also for what the caller builds from them.
    MemoryBudget& budget() { return *m_budget; }

private:
    // Reads larger than this bypass the read-ahead buffer, which holds twice as much.
    static constexpr std::size_t kReadAhead = std::size_t(1) << 15;

    void readBytes(void* target, std::uint64_t size)
    {
        if (size <= m_bufferEnd - m_bufferPosition && size != 0) {
            // The buffer only exists when the length is known, so m_bytesLeft is a real count.
            std::memcpy(target, m_buffer.get() + m_bufferPosition, static_cast<std::size_t>(size));
            m_bufferPosition += static_cast<std::size_t>(size);
            m_bytesLeft -= size;
            return;
        }
        readBytesFromStream(target, size);
    }
    void readBytesFromStream(void* target, std::uint64_t size);
    void skipBytes(std::uint64_t count, std::uint64_t elementSize);
    template <typename T>
    T readValue()
    {
        T value;
        readBytes(&value, sizeof value);
        return value;
    }

    std::istream& m_in;
    MemoryBudget m_ownBudget{MemoryBudget::kSkinFileBytes};
    MemoryBudget* m_budget = &m_ownBudget;
    std::uint64_t m_bytesLeft = std::numeric_limits<std::uint64_t>::max();
    // Bytes read from the stream but not yet consumed: [m_bufferPosition, m_bufferEnd).
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_bufferPosition = 0;
    std::size_t m_bufferEnd = 0;
};
