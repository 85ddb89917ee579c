#pragma once

#include "foundation/Exception.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class AttributeWithKeys;

// The camera keys file (".keys"): the key lists of keyed camera attributes, one record per
// attribute, binary little-endian without a header:
//   int32 record count; per record: int32 name length, the name's bytes, then the key list
//   (int32 key count; per key int32 frame, float32 value).
//
// This is the one reader and writer of the format; the viewer, the inspector and the sample
// generator all go through it. Kept free of GL and wx so that it is tested and fuzzed without
// a display.

// One record as the file holds it.
struct CameraKeysRecord {
    struct Key {
        std::int32_t frame = 0;
        float value = 0.0f;
        bool operator==(const Key&) const = default;
    };
    std::string name;
    std::vector<Key> keys;
    bool operator==(const CameraKeysRecord&) const = default;
};

// The file ends inside a field, or a length or count does not fit the bytes left: "Error
// reading file 'PATH': REASON". The records read before it stay in force with whoever took
// them, which is why it is told apart from the other failures.
class CameraKeysReadError : public IOException {
public:
    using IOException::IOException;
};

// Receives the records of a file as they are read.
class CameraKeysSink {
public:
    virtual ~CameraKeysSink() = default;
    // A record of this (non-empty) name starts; its keys are read next. May throw to stop.
    virtual void beginRecord(const std::string& name) = 0;
    // The record's keys in file order: all of them, or, just before a CameraKeysReadError is
    // thrown, the whole keys read so far.
    virtual void endRecord(std::vector<CameraKeysRecord::Key> keys) = 0;
};

// The file's bytes for the records.
std::string encodeCameraKeys(const std::vector<CameraKeysRecord>& records);

// Writes the records through an AtomicFile, so a failed save never leaves a half-written file
// in place of a good one. Throws IOException "Error opening keys file 'PATH' for writing."
// when the file cannot be created and "Error writing file 'PATH': REASON" (the system's
// reason) when writing, flushing to the disk or replacing the old file fails.
void writeCameraKeysFile(const std::string& path, const std::vector<CameraKeysRecord>& records);

// Reads a keys file into the sink. Throws IOException "Error opening keys file 'PATH' for
// reading." when it cannot be opened and "Expected: attribute name" for a record without a
// name, CameraKeysReadError for a read error, and whatever the sink throws. Every count and
// length is checked against the bytes left before anything is read or allocated for it.
void readCameraKeysFile(const std::string& path, CameraKeysSink& sink);
// The same after the file is open: in holds size bytes from its start; path only names the
// file in messages. Used by the fuzzer on memory streams.
void readCameraKeys(std::istream& in, std::uint64_t size, const std::string& path, CameraKeysSink& sink);
// Every record of the file, for inspection. Throws as readCameraKeysFile.
std::vector<CameraKeysRecord> readCameraKeysRecords(const std::string& path);

// The keyed attributes' side of the format. Records are matched to attributes by name. Both
// cameras have an "azimuth", so a saved file holds two records of that name: the n-th record
// of a name goes to the n-th attribute of that name, which makes a saved file load back into
// both cameras unchanged. Records of a name beyond the attributes of that name go to its first
// attribute.

// The records of the attributes in list order, key times truncated towards zero to whole
// frames (clamped into the int32 range).
std::vector<CameraKeysRecord> cameraKeysRecords(const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);

// Writes the records of the attributes (cameraKeysRecords). Throws as writeCameraKeysFile.
void saveCameraKeys(const std::string& path, const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);

// Reads the file's records into the attributes (each record's keys replace the attribute's).
// Throws as readCameraKeysFile, and IOException "Unknown attribute 'NAME'." for a name no
// attribute has. Either way the records read before stay, and the attribute whose keys were
// being read when the file ended keeps the keys read so far.
void loadCameraKeys(const std::string& path, const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);
// loadCameraKeys from an open stream of size bytes (see readCameraKeys).
void loadCameraKeys(std::istream& in, std::uint64_t size, const std::string& path,
                    const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);
