#pragma once

#include "skin/BinarySkinLoader.h"

#include <string>

// Reads a skin file as the open command does, choosing the reader by the name (fileKindOf):
// ".txt" as a text skin, anything else as a binary skin file. Throws CreationException when
// the skin file itself is unusable, and what the OBJ reader throws (IOException,
// ParserException) for the mesh a text skin names; callers that show failures tell the two
// apart by that. Herd files load their skins through it, so a herd saved with text skins
// loads them again.
SkinFile loadSkinFileByName(const std::string& path);
