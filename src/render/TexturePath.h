#pragma once

// The paths of skin textures. Skins written on Windows name their textures with backslashes,
// and the process-wide texture cache keys every path with backslashes so that both spellings
// of one file share one texture. A key is never opened as it is: on this platform a backslash
// is part of a file name, so the file is read from the native spelling.

#include <string>

// The skin file's directory joined with the texture file name, a separator inserted between
// them; just the name when the directory is empty.
std::string texturePath(const std::string& directory, const std::string& fileName);

// The cache key: the path with every '/' replaced by '\'.
std::string textureCacheKey(const std::string& path);

// The path to open for a key: every '\' turned back into '/'.
std::string nativeTexturePath(const std::string& key);
