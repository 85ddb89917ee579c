#include "camera/CameraKeysFile.h"

#include "camera/AttributeWithKeys.h"
#include "foundation/AtomicFile.h"
#include "foundation/Exception.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <map>

namespace {

// Longest attribute name read; the camera's names are a dozen characters.
constexpr std::int32_t kMaxNameLength = 1024;

// Ends the reading at one place, carrying the description shown after "Error reading file".
struct ReadError {
    std::string description;
};

void appendI32(std::string& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFFu);
}

void appendF32(std::string& out, float value)
{
    std::int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendI32(out, bits);
}

// The stream's own account of a failure: the C library's error when the last system call set
// one, else a plain statement, so the message never ends in an empty reason.
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

    float readF32()
    {
        const std::int32_t bits = readI32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    std::string readBytes(std::uint64_t count)
    {
        std::string bytes(static_cast<std::size_t>(count), '\0');
        if (count > 0) readRaw(bytes.data(), count);
        return bytes;
    }

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

// One record's key list. The sink gets what was read also when the list is cut short: the
// attribute then keeps those keys, as a user editing a broken file would expect.
void readKeyList(FieldReader& reader, const std::string& name, CameraKeysSink& sink)
{
    std::vector<CameraKeysRecord::Key> keys;
    try {
        if (reader.left() < 4) throw ReadError{"unexpected end of file"};
        const std::int32_t count = reader.readI32();
        if (count < 0) throw ReadError{"negative key count " + std::to_string(count) + " of attribute '" + name + "'"};
        const std::uint64_t needed = static_cast<std::uint64_t>(count) * 8;
        const std::uint64_t available = reader.left();
        // Never reserved from the count alone: only what the file can hold, and past
        // kMaxKeys keys the list is refused (those read stay), so that a file of gigabytes
        // cannot grow the list without end.
        const std::uint64_t present = std::min<std::uint64_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(count), AttributeWithKeys::kMaxKeys), available / 8);
        keys.reserve(static_cast<std::size_t>(present));
        for (std::uint64_t k = 0; k < present; ++k) {
            const std::int32_t frame = reader.readI32();
            const float value = reader.readF32();
            keys.push_back({frame, value});
        }
        if (static_cast<std::uint32_t>(count) > AttributeWithKeys::kMaxKeys)
            throw ReadError{"key count " + std::to_string(count) + " of attribute '" + name + "' exceeds the " +
                            std::to_string(AttributeWithKeys::kMaxKeys) + " keys an attribute may have"};
        if (needed > available)
            throw ReadError{"key count " + std::to_string(count) + " of attribute '" + name + "' needs " +
                            std::to_string(needed) + " bytes but " + std::to_string(available) +
                            " are left in the file"};
    } catch (const ReadError&) {
        sink.endRecord(std::move(keys));
        throw;
    }
    sink.endRecord(std::move(keys));
}

void readRecords(FieldReader& reader, CameraKeysSink& sink)
{
    const std::int32_t records = reader.readI32();
    if (records < 0) throw ReadError{"negative record count " + std::to_string(records)};
    // No loop bound is trusted from the file: every record takes at least eight bytes, so a
    // huge count ends at the end of the file.
    for (std::int32_t r = 0; r < records; ++r) {
        const std::int32_t length = reader.readI32();
        if (length < 0) throw ReadError{"negative attribute name length " + std::to_string(length)};
        // No attribute has a name this long; reading it would only cost memory.
        if (length > kMaxNameLength)
            throw ReadError{"attribute name length " + std::to_string(length) + " exceeds the " +
                            std::to_string(kMaxNameLength) + " bytes a name may have"};
        // No attribute has a name this long; reading it would only cost memory.
        if (length > kMaxNameLength)
            throw ReadError{"attribute name length " + std::to_string(length) + " exceeds the " +
                            std::to_string(kMaxNameLength) + " bytes a name may have"};
        if (static_cast<std::uint64_t>(length) > reader.left())
            throw ReadError{"attribute name length " + std::to_string(length) + " exceeds the " +
                            std::to_string(reader.left()) + " bytes left in the file"};
        const std::string name = reader.readBytes(static_cast<std::uint64_t>(length));
        if (name.empty()) throw IOException("Expected: attribute name");
        sink.beginRecord(name);
        readKeyList(reader, name, sink);
    }
}

// Collects whole records.
class RecordList : public CameraKeysSink {
public:
    void beginRecord(const std::string& name) override { m_records.push_back({name, {}}); }
    void endRecord(std::vector<CameraKeysRecord::Key> keys) override { m_records.back().keys = std::move(keys); }
    std::vector<CameraKeysRecord> m_records;
};

// Hands each record to its attribute: the n-th record of a name to the n-th attribute of that
// name, the extra ones to the first.
class AttributeSink : public CameraKeysSink {
public:
    explicit AttributeSink(const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes) : m_attributes(attributes)
    {
    }

    void beginRecord(const std::string& name) override
    {
        const unsigned occurrence = m_occurrences[name]++;
        m_current = nullptr;
        unsigned seen = 0;
        for (const auto& attribute : m_attributes) {
            if (attribute->name() != name) continue;
            if (!m_current) m_current = attribute.get();
            if (seen++ == occurrence) {
                m_current = attribute.get();
                break;
            }
        }
        if (!m_current) throw IOException("Unknown attribute '" + name + "'.");
    }

    void endRecord(std::vector<CameraKeysRecord::Key> keys) override
    {
        std::vector<AttributeWithKeys::Key> times;
        times.reserve(keys.size());
        for (const auto& key : keys) times.push_back({static_cast<float>(key.frame), key.value});
        m_current->setKeys(std::move(times));
    }

private:
    const std::vector<std::shared_ptr<AttributeWithKeys>>& m_attributes;
    std::map<std::string, unsigned> m_occurrences;
    AttributeWithKeys* m_current = nullptr;
};

std::int32_t truncatedTime(float time)
{
    // Times read from files are whole int32 frames; others are clamped into range rather than
    // converted with undefined results.
    const double t = std::trunc(static_cast<double>(time));
    if (t <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    if (t >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t);
}

} // namespace

std::string encodeCameraKeys(const std::vector<CameraKeysRecord>& records)
{
    std::string out;
    appendI32(out, static_cast<std::int32_t>(records.size()));
    for (const CameraKeysRecord& record : records) {
        appendI32(out, static_cast<std::int32_t>(record.name.size()));
        out += record.name;
        appendI32(out, static_cast<std::int32_t>(record.keys.size()));
        for (const CameraKeysRecord::Key& key : record.keys) {
            appendI32(out, key.frame);
            appendF32(out, key.value);
        }
    }
    return out;
}

void writeCameraKeysFile(const std::string& path, const std::vector<CameraKeysRecord>& records)
{
    try {
        writeFileAtomically(path, encodeCameraKeys(records));
    } catch (const FileWriteException& e) {
        if (e.stage() == FileWriteException::Stage::Creating)
            throw IOException("Error opening keys file '" + path + "' for writing.");
        throw IOException("Error writing file '" + path + "': " + e.reason());
    }
}

void readCameraKeys(std::istream& in, std::uint64_t size, const std::string& path, CameraKeysSink& sink)
{
    FieldReader reader(in, size);
    try {
        readRecords(reader, sink);
    } catch (const ReadError& error) {
        throw CameraKeysReadError("Error reading file '" + path + "': " + error.description);
    }
}

void readCameraKeysFile(const std::string& path, CameraKeysSink& sink)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw IOException("Error opening keys file '" + path + "' for reading.");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || !in) throw CameraKeysReadError("Error reading file '" + path + "': cannot determine its size");
    readCameraKeys(in, static_cast<std::uint64_t>(size), path, sink);
}

std::vector<CameraKeysRecord> readCameraKeysRecords(const std::string& path)
{
    RecordList list;
    readCameraKeysFile(path, list);
    return std::move(list.m_records);
}

std::vector<CameraKeysRecord> cameraKeysRecords(const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    std::vector<CameraKeysRecord> records;
    records.reserve(attributes.size());
    for (const auto& attribute : attributes) {
        CameraKeysRecord record{attribute->name(), {}};
        for (const AttributeWithKeys::Key& key : attribute->keys())
            record.keys.push_back({truncatedTime(key.time), key.value});
        records.push_back(std::move(record));
    }
    return records;
}

void saveCameraKeys(const std::string& path, const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    writeCameraKeysFile(path, cameraKeysRecords(attributes));
}

void loadCameraKeys(const std::string& path, const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    AttributeSink sink(attributes);
    readCameraKeysFile(path, sink);
}

void loadCameraKeys(std::istream& in, std::uint64_t size, const std::string& path,
                    const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes)
{
    AttributeSink sink(attributes);
    readCameraKeys(in, size, path, sink);
}
