#pragma once

#include "skin/BinarySkinWriter.h"
#include "skin/Skin.h"

#include <filesystem>
#include <string>

// Where the generated sample files are: the directory the ctest fixture filled (named by
// FLEXHERD_MKSAMPLE_DIR), or else one this test process generates once and removes at exit.
const std::filesystem::path& sampleDirectory();

// The whole file as bytes; fails the calling test (and returns empty) when it cannot be read.
std::string readFileBytes(const std::filesystem::path& path);

// The fields of a loaded skin as a record again (without its next skin), so that variants of
// it can be written and read back.
SkinRecord recordOf(const Skin& skin);
