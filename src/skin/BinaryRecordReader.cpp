#include "skin/BinaryRecordReader.h"

BinaryRecordReader::BinaryRecordReader(std::istream& in) : m_in(in)
{
    const std::istream::pos_type start = in.tellg();
    if (start == std::istream::pos_type(-1)) return;
    in.seekg(0, std::ios::end);
    const std::istream::pos_type end = in.tellg();
    in.seekg(start);
    if (end == std::istream::pos_type(-1) || !in) {
        in.clear();
        in.seekg(start);
        return;
    }
    m_bytesLeft = end >= start ? static_cast<std::uint64_t>(end - start) : 0;
}

void BinaryRecordReader::requireBytes(std::uint64_t count, std::uint64_t elementSize) const
{
    // Division instead of multiplication: count * elementSize may overflow 64 bits.
    if (elementSize != 0 && count > m_bytesLeft / elementSize) throw ShortRead{};
}

void BinaryRecordReader::readBytes(void* target, std::uint64_t size)
{
    if (size == 0) return;
    if (size > m_bytesLeft) throw ShortRead{};
    m_in.read(static_cast<char*>(target), static_cast<std::streamsize>(size));
    if (!m_in || static_cast<std::uint64_t>(m_in.gcount()) != size) throw ShortRead{};
    if (m_bytesLeft != std::numeric_limits<std::uint64_t>::max()) m_bytesLeft -= size;
}

std::uint32_t BinaryRecordReader::readU32()
{
    std::uint32_t value;
    readBytes(&value, sizeof value);
    return value;
}

std::int32_t BinaryRecordReader::readI32()
{
    std::int32_t value;
    readBytes(&value, sizeof value);
    return value;
}

float BinaryRecordReader::readF32()
{
    float value;
    readBytes(&value, sizeof value);
    return value;
}

std::string BinaryRecordReader::readString()
{
    const std::uint32_t length = readU32();
    std::vector<char> bytes;
    readArray(bytes, length);
    return std::string(bytes.begin(), bytes.end());
}

void BinaryRecordReader::skip(std::uint64_t count, std::uint64_t elementSize)
{
    requireBytes(count, elementSize);
    std::uint64_t size = count * elementSize;
    char buffer[4096];
    while (size > 0) {
        const std::uint64_t chunk = size < sizeof buffer ? size : sizeof buffer;
        readBytes(buffer, chunk);
        size -= chunk;
    }
}
