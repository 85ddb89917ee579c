#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

// What flexherd-info reports about camera keys files (".keys"): the records as they stand in
// the file, read by the viewer's own reader first so that a file the viewer refuses is
// reported with the viewer's words.

// {"file":..., "records":[{"name":..., "keys":n, "first":t, "last":t}, ...]} with the first
// and last key time of each record in file order (null for a record without keys), or
// {"file":..., "error":{"caption":..., "message":...}} with the caption and message the
// "Load camera animation" command would show.
nlohmann::ordered_json describeKeysFile(const std::string& path);

// The record part of the text report: one line per record.
void printKeysReport(std::ostream& out, const nlohmann::ordered_json& report);
