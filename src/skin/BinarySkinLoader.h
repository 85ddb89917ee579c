#pragma once

#include "skin/Skin.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the file-opening command shows when a skin file cannot be used: the error box's
// caption and text.
struct LoadFailure {
    std::string caption;
    std::string message;
};

// The outcome of reading a whole binary skin file: its records, finest level first, each with
// its file name set to the path, and the directory the file lives in (textures are named
// relative to it). On failure `skins` is empty and `failure` says why.
struct BinarySkinFile {
    std::vector<std::shared_ptr<Skin>> skins;
    std::filesystem::path directory;
    std::optional<LoadFailure> failure;
};

// Reads every record of a binary skin file. A bad first record (or an empty or unreadable
// file) is a failure; a bad later record ends the list silently with the records read so far.
// The records together take at most MemoryBudget::kSkinFileBytes; a record that would take more
// counts as bad. Never throws for bad file content.
BinarySkinFile loadBinarySkinFile(const std::string& path);
