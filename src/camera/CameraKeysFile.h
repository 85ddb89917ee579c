#pragma once

#include "camera/CameraKeysFailure.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AttributeWithKeys;

// The camera keys file (".keys"): the key lists of the view's keyed camera attributes, one
// record per attribute, binary little-endian without a header:
//   int32 record count; per record: int32 name length, the name's bytes, then the key list
//   (int32 key count; per key int32 frame, float32 value).
//
// Kept free of GL and wx so that the format can be tested and fuzzed without a display; the
// view turns a returned failure into an error box.
//
// Records are matched to attributes by name. Both cameras have an "azimuth", so a saved file
// holds two records of that name: the n-th record of a name goes to the n-th attribute of that
// name, which makes a saved file load back into both cameras unchanged. Records of a name
// beyond the attributes of that name go to its first attribute.

// Writes every attribute in list order into a temporary file next to path, then renames it
// over path, so a failed save never leaves a half-written file in place of a good one.
// Throws IOException "Error opening keys file 'PATH' for writing." when the file cannot be
// created; a failure afterwards (writing, flushing to the disk, replacing the old file) is
// returned with the system's reason (caption "Error saving camera keys").
std::optional<CameraKeysFailure> saveCameraKeys(const std::string& path,
                                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);

// Reads the file's records into the attributes. Throws IOException "Error opening keys file
// 'PATH' for reading.", "Expected: attribute name" for an empty name and "Unknown attribute
// 'NAME'." for a name no attribute has. A read error (end of file inside a field, a name
// length or key count the rest of the file cannot hold) is returned with caption "Error
// reading camera keys". Either way the records read before stay, and the attribute whose keys
// were being read keeps the keys read so far.
std::optional<CameraKeysFailure> loadCameraKeys(const std::string& path,
                                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);

// loadCameraKeys after the file is open: in holds the file's bytes from its start, size is
// their number, path only names the file in messages. Used by the fuzzer on memory streams.
std::optional<CameraKeysFailure> readCameraKeys(std::istream& in, std::uint64_t size, const std::string& path,
                                                const std::vector<std::shared_ptr<AttributeWithKeys>>& attributes);
