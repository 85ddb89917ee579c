#pragma once

#include <string>

// Reads a whole file into `bytes`. False when it cannot be opened or read (a directory, a
// vanished file); the caller words the message.
bool readFileBytes(const std::string& path, std::string& bytes);

// Replaces the file at `path` by `bytes`: written to a temporary file beside it, then renamed
// over it, so a failed write never leaves a half-written file where a good one was. Throws
// IOException "Unable to open file '<path>' for writing." when it cannot be written.
void replaceFileContents(const std::string& path, const std::string& bytes);
