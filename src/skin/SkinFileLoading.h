#pragma once

#include "skin/BinarySkinLoader.h"

#include <string>

// Reads a skin file as the open command does, choosing the reader by the name: ".txt" as a
// text skin, anything else as a binary skin file. Never throws for bad content: what the
// viewer would show in its error box comes back as the failure ("Error reading skin" for a bad
// skin file, "Error reading file" for an error of the OBJ mesh a text skin names). Herd files
// load their skins through it, so a herd saved with text skins loads them again.
BinarySkinFile loadSkinFileByName(const std::string& path);
