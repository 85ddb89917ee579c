#pragma once

#include <filesystem>
#include <string_view>

// Replaces `path` with `bytes` by writing a temporary file beside it and renaming it over the
// target, so an interrupted or failed run never leaves a half-written file where a good one
// was. Throws IOException naming the path.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
