#include "camera/CameraKeysFile.h"

#include "camera/AttributeWithKeys.h"
#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <map>
#include <ostream>

namespace {

constexpr const char* kSavingCaption = "Error saving camera keys";
constexpr const char* kReadingCaption = "Error reading camera keys";
// Longest attribute name read; the camera's names are a dozen characters.
constexpr std::int32_t kMaxNameLength = 1024;

// Ends the reading at one place, carrying the description shown after "Error reading file".
struct ReadError {
    std::string description;
};

void writeI32(std::ostream& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const char bytes[4] = {char(bits & 0xFF), char((bits >> 8) & 0xFF), char((bits >> 16) & 0xFF),
                           char((bits >> 24) & 0xFF)};
    out.write(bytes, 4);
}

// The stream's own account of a failure: the C library's error when the last system call set
// one, else a plain statement, so the box never shows an empty reason.
std::string streamErrorDescription(int code, const char* fallback)
{
    return code != 0 ? std::string(std::strerror(code)) : std::string(fallback);
}

// Reads fields while counting the bytes left, so that a length or count is checked against
// what the file can still hold before anything is read or allocated for it.
class FieldReader {
public:
    FieldReader(std::istream& in, std::uint64_t size) : m_in(in), m_size(size) {}

    std::uint64_t left() const { return m_size - m_position; }

    std::int32_t readI32()
    {
        unsigned char bytes[4];
        readRaw(reinterpret_cast<char*>(bytes), 4);
        return static_cast<std::int32_t>(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                         std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
    }

    std::string readBytes(std::uint64_t count)
    {
        std::string bytes(static_cast<std::size_t>(count), '\0');
        if (count > 0) readRaw(bytes.data(), count);
        return bytes;
    }

    // The next int32 without consuming it: the key count, which the attribute reads itself.
    std::int32_t peekI32()
    {
        const std::int32_t value = readI32();
        m_in.seekg(-4, std::ios::cur);
        if (!m_in) throw ReadError{"cannot step back in the file"};
        m_position -= 4;
        return value;
    }

    void skipped(std::uint64_t count) { m_position += count; }
    std::istream& stream() { return m_in; }

private:
    void readRaw(char* data, std::uint64_t count)
    {
        if (count > left()) throw ReadError{"unexpected end of file"};
        errno = 0;
        if (!m_in.read(data, static_cast<std::streamsize>(count)))
            throw ReadError{streamErrorDescription(errno, "unexpected end of file")};
        m_position += count;
    }

    std::istream& m_in;
    std::uint64_t m_size;
    std::uint64_t m_position = 0;
};

// The attribute a record of this name goes to: the n-th record of a name to the n-th attribute
// of that name, the extra ones to the first; null when no attribute has the name.
AttributeWithKeys* attributeFor(const std::string& name, unsigned occurrence,
                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    AttributeWithKeys* first = nullptr;
    unsigned seen = 0;
    for (const auto& attribute : attributes) {
        if (attribute->name() != name) continue;
        if (!first) first = attribute.get();
        if (seen++ == occurrence) return attribute.get();
    }
    return first;
}

void readRecords(FieldReader& reader, const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    const std::int32_t records = reader.readI32();
    if (records < 0) throw ReadError{"negative record count " + std::to_string(records)};
    std::map<std::string, unsigned> occurrences;
    // No loop bound is trusted from the file: every record takes at least eight bytes, so a
    // huge count ends at the end of the file.
    for (std::int32_t r = 0; r < records; ++r) {
        const std::int32_t length = reader.readI32();
        if (length < 0) throw ReadError{"negative attribute name length " + std::to_string(length)};
        // No attribute has a name this long; reading it would only cost memory.
        if (length > kMaxNameLength)
            throw ReadError{"attribute name length " + std::to_string(length) + " exceeds the " +
                            std::to_string(kMaxNameLength) + " bytes a name may have"};
        if (static_cast<std::uint64_t>(length) > reader.left())
            throw ReadError{"attribute name length " + std::to_string(length) + " exceeds the " +
                            std::to_string(reader.left()) + " bytes left in the file"};
        const std::string name = reader.readBytes(static_cast<std::uint64_t>(length));
        if (name.empty()) throw IOException("Expected: attribute name");
        AttributeWithKeys* attribute = attributeFor(name, occurrences[name]++, attributes);
        if (!attribute) throw IOException("Unknown attribute '" + name + "'.");

        // The attribute reads its keys even when the count is bad: it drops its old keys and
        // keeps what the file holds, so a cut file leaves the keys read before the cut.
        if (reader.left() < 4) {
            attribute->readKeys(reader.stream());
            throw ReadError{"unexpected end of file"};
        }
        const std::int32_t keys = reader.peekI32();
        const std::uint64_t available = reader.left() - 4;
        attribute->readKeys(reader.stream());
        if (keys < 0)
            throw ReadError{"negative key count " + std::to_string(keys) + " of attribute '" + name + "'"};
        if (static_cast<std::uint32_t>(keys) > AttributeWithKeys::kMaxKeys)
            throw ReadError{"key count " + std::to_string(keys) + " of attribute '" + name + "' exceeds the " +
                            std::to_string(AttributeWithKeys::kMaxKeys) + " keys an attribute may have"};
        const std::uint64_t needed = static_cast<std::uint64_t>(keys) * 8;
        if (needed > available)
            throw ReadError{"key count " + std::to_string(keys) + " of attribute '" + name + "' needs " +
                            std::to_string(needed) + " bytes but " + std::to_string(available) +
                            " are left in the file"};
        if (!reader.stream()) throw ReadError{"unexpected end of file"};
        reader.skipped(4 + needed);
    }
}

} // namespace

std::optional<CameraKeysFailure> saveCameraKeys(const std::string& path,
                                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    try {
        writeFileAtomically(path, [&](std::ostream& out) {
            writeI32(out, static_cast<std::int32_t>(attributes.size()));
            for (const auto& attribute : attributes) {
                if (!out) break;
                const std::string& name = attribute->name();
                writeI32(out, static_cast<std::int32_t>(name.size()));
                out.write(name.data(), static_cast<std::streamsize>(name.size()));
                attribute->writeKeys(out);
            }
        });
    } catch (const FileWriteException& e) {
        if (e.stage() == FileWriteException::Stage::Creating)
            throw IOException("Error opening keys file '" + path + "' for writing.");
        return CameraKeysFailure{kSavingCaption, "Error writing file '" + path + "': " + e.reason()};
    }
    return std::nullopt;
}

std::optional<CameraKeysFailure> loadCameraKeys(const std::string& path,
                                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IOException("Error opening keys file '" + path + "' for reading.");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || !in)
        return CameraKeysFailure{kReadingCaption, "Error reading file '" + path + "': cannot determine its size"};
    return readCameraKeys(in, static_cast<std::uint64_t>(size), path, attributes);
}

std::optional<CameraKeysFailure> readCameraKeys(std::istream& in, std::uint64_t size, const std::string& path,
                                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    FieldReader reader(in, size);
    try {
        readRecords(reader, attributes);
    } catch (const ReadError& error) {
        return CameraKeysFailure{kReadingCaption, "Error reading file '" + path + "': " + error.description};
    }
    return std::nullopt;
}
