#pragma once

#include "skin/BinarySkinWriter.h"

#include <filesystem>
#include <string>

// The text form of a skin: a .txt file naming the OBJ rest pose, then one BONEANIMATION
// section per bone (a frame number and a row-major 4x4 matrix per line: the linear part in
// the upper-left 3x3, the translation in the fourth column, 0 0 0 1 below), VERTEXWEIGHTS
// (vertex number, then bone and weight pairs) and the displacement and normal bases with their
// per-frame coordinates, one matrix row per line. Floats are written in the shortest form that
// reads back exactly, so the text reads back into the same animation.
std::string textSkinText(const SkinRecord& record, const std::string& objFileName);

// The binary lighting file that goes with a text skin: vertex colours, mean lighting, lighting
// basis and coordinates, encoded as in the binary skin record.
std::string lightingFileBytes(const SkinRecord& record);

// Both written atomically; throw IOException on failure.
void writeTextSkin(const std::filesystem::path& path, const SkinRecord& record, const std::string& objFileName);
void writeLightingFile(const std::filesystem::path& path, const SkinRecord& record);
