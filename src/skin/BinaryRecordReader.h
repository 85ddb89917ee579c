#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <istream>
#include <limits>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "binary skin files are little-endian and are read straight into memory");

// Reads the little-endian fields of a binary skin record from a stream and knows how many
// bytes the stream has left, so that a count can be checked against them before anything is
// allocated: a corrupt count must neither allocate gigabytes nor spin through a huge loop.
// Every short read throws ShortRead.
class BinaryRecordReader {
public:
    // The stream ended (or failed) before the data a record declares.
    struct ShortRead {};

    explicit BinaryRecordReader(std::istream& in);

    std::uint32_t readU32();
    std::int32_t readI32();
    float readF32();
    std::string readString();

    // Reads count elements of T, checking first that count * sizeof(T) bytes are left.
    template <typename T>
    void readArray(std::vector<T>& out, std::uint64_t count)
    {
        requireBytes(count, sizeof(T));
        if (m_bytesLeft != std::numeric_limits<std::uint64_t>::max()) {
            out.resize(static_cast<std::size_t>(count));
            readBytes(out.data(), count * sizeof(T));
            return;
        }
        // A stream that cannot tell its length: grow in chunks, so a bogus count fails at
        // the end of the data instead of allocating up front.
        constexpr std::uint64_t kChunk = (std::uint64_t(1) << 20) / sizeof(T) + 1;
        out.clear();
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
    void skip(std::uint64_t count, std::uint64_t elementSize);

    // Throws ShortRead unless count elements of elementSize bytes can still be read.
    void requireBytes(std::uint64_t count, std::uint64_t elementSize) const;
    // Bytes left in the stream; the maximum when the stream cannot tell.
    std::uint64_t bytesLeft() const { return m_bytesLeft; }

private:
    void readBytes(void* target, std::uint64_t size);

    std::istream& m_in;
    std::uint64_t m_bytesLeft = std::numeric_limits<std::uint64_t>::max();
};
