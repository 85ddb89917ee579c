#include "foundation/PngChunks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
// Length and type before a chunk's data, its check value after it.
constexpr std::size_t kChunkHead = 8;
constexpr std::size_t kChunkTail = 4;

std::uint32_t bigEndian32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{u[0]} << 24) | (std::uint32_t{u[1]} << 16) | (std::uint32_t{u[2]} << 8) | u[3];
}

// Calls chunk(offset, size, keep) for every chunk after the signature up to the first that
// runs past the end (an empty image data chunk cut short counts as whole, not kept); returns
// where that one starts, the end of the file when none does, or where a few bytes too short
// for a chunk header are left.
template <typename Visit>
std::size_t forEachChunk(std::string_view bytes, Visit chunk)
{
    std::size_t at = sizeof kSignature;
    while (bytes.size() - at >= kChunkHead) {
        const std::uint64_t length = bigEndian32(bytes.data() + at);
        const std::size_t left = bytes.size() - at;
        if (length == 0 && std::memcmp(bytes.data() + at + 4, "IDAT", 4) == 0) {
            const std::size_t size = std::min(kChunkHead + kChunkTail, left);
            chunk(at, size, false);
            at += size;
            continue;
        }
        const std::uint64_t size = kChunkHead + length + kChunkTail;
        if (size > left) return at;
        chunk(at, static_cast<std::size_t>(size), true);
        at += static_cast<std::size_t>(size);
    }
    return at;
}

} // namespace

std::string_view safePngChunks(std::string_view bytes, std::string& storage)
{
    if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) return bytes;
    bool dropped = false;
    const std::size_t end = forEachChunk(bytes, [&](std::size_t, std::size_t, bool keep) { dropped = dropped || !keep; });
    const bool overlong = bytes.size() - end >= kChunkHead;
    if (!dropped && !overlong) return bytes;
    storage.assign(bytes.substr(0, sizeof kSignature));
    forEachChunk(bytes, [&](std::size_t at, std::size_t size, bool keep) {
        if (keep) storage.append(bytes.substr(at, size));
    });
    // A tail too short for a chunk header stays for the decoder to report; an overlong chunk
    // and what follows it go.
    if (!overlong) storage.append(bytes.substr(end));
    return storage;
}
