#pragma once

#include "skin/Skin.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

// The skins of one skin file, finest level first, each with its file name set to the path,
// and the directory the file lives in (textures are named relative to it). Never empty.
struct SkinFile {
    std::vector<std::shared_ptr<Skin>> skins;
    std::filesystem::path directory;
};

// Reads every record of a binary skin file. Throws CreationException when the file cannot be
// opened ("Unable to open file 'PATH' for reading."), holds nothing ("The file 'PATH' holds no
// skin."), its first record is bad (the record reader's message) or its path is unusable
// ("Invalid path: 'PATH'."). A bad later record ends the list silently with the records read
// so far. The records together take at most MemoryBudget::kSkinFileBytes; a record that would
// take more counts as bad.
SkinFile loadBinarySkinFile(const std::string& path);
// The same from an open stream that can tell its length; path names the file in messages and
// gives the directory.
SkinFile readBinarySkinFile(std::istream& in, const std::string& path);
