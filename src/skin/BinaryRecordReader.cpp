#include "skin/BinaryRecordReader.h"

BinaryRecordReader::BinaryRecordReader(std::istream& in, MemoryBudget& budget) : BinaryRecordReader(in)
{
    m_budget = &budget;
}

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
    // Seeking works here, so read-ahead can be given back.
    m_buffer.reset(new char[2 * kReadAhead]);
}

BinaryRecordReader::~BinaryRecordReader()
{
    const std::size_t unread = m_bufferEnd - m_bufferPosition;
    // A failed stream stays as it is, at whatever position the failing read left it.
    if (unread == 0 || !m_in) return;
    try {
        m_in.seekg(-static_cast<std::streamoff>(unread), std::ios::cur);
    } catch (...) {
        // Only a stream set to throw gets here; a destructor must not pass that on.
    }
}

void BinaryRecordReader::readBytesFromStream(void* target, std::uint64_t size)
{
    if (size == 0) return;
    if (size > m_bytesLeft) throw ShortRead{};
    char* out = static_cast<char*>(target);
    if (m_buffer) {
        // Whatever is buffered comes first.
        const std::size_t buffered = m_bufferEnd - m_bufferPosition;
        std::memcpy(out, m_buffer.get() + m_bufferPosition, buffered);
        out += buffered;
        size -= buffered;
        m_bytesLeft -= buffered;
        m_bufferPosition = m_bufferEnd = 0;
        if (size <= kReadAhead) {
            // Never past the length measured at the start: that much is the record's or the
            // next one's, and is handed back if unused.
            const std::size_t request = static_cast<std::size_t>(std::min<std::uint64_t>(2 * kReadAhead, m_bytesLeft));
            m_in.read(m_buffer.get(), static_cast<std::streamsize>(request));
            m_bufferEnd = static_cast<std::size_t>(std::max<std::streamsize>(m_in.gcount(), 0));
            if (m_bufferEnd < size) throw ShortRead{};
            // The file shrank since its length was measured, but not into this read: only the
            // read-ahead ran short, which must not fail the stream for what follows.
            if (!m_in) m_in.clear();
            readBytes(out, size);
            return;
        }
    }
    m_in.read(out, static_cast<std::streamsize>(size));
    if (!m_in || static_cast<std::uint64_t>(m_in.gcount()) != size) throw ShortRead{};
    if (m_bytesLeft != std::numeric_limits<std::uint64_t>::max()) m_bytesLeft -= size;
}

std::string BinaryRecordReader::readString()
{
    const std::uint32_t length = readU32();
    std::vector<char> bytes;
    readArray(bytes, length);
    return std::string(bytes.begin(), bytes.end());
}

void BinaryRecordReader::skipBytes(std::uint64_t count, std::uint64_t elementSize)
{
    requireBytes(count, elementSize);
    std::uint64_t size = count * elementSize;
    const std::size_t buffered = m_bufferEnd - m_bufferPosition;
    if (m_buffer && size > buffered + 2 * kReadAhead) {
        // Large runs are sought over rather than read: a file of gigabytes of unused data
        // is passed in no time. The length is known here, so the target exists.
        m_bytesLeft -= size;
        size -= buffered;
        m_bufferPosition = m_bufferEnd = 0;
        m_in.seekg(static_cast<std::streamoff>(size), std::ios::cur);
        if (!m_in) throw ShortRead{};
        return;
    }
    char buffer[4096];
    while (size > 0) {
        const std::uint64_t chunk = size < sizeof buffer ? size : sizeof buffer;
        readBytes(buffer, chunk);
        size -= chunk;
    }
}
