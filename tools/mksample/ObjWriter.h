#pragma once

#include "skin/BinarySkinWriter.h"

#include <filesystem>
#include <string>

// The rest pose of a skin record as a Wavefront OBJ mesh: one group with one material, every
// vertex with its texture coordinate and normal under the same number, so each face corner
// is written v/v/v; numbers with 10 significant digits. And the MTL library with that material,
// its diffuse texture being the record's texture.
std::string objText(const SkinRecord& record, const std::string& mtlFileName, const std::string& materialName);
std::string mtlText(const std::string& materialName, const std::string& textureFileName);

// Both written atomically; throw IOException on failure.
void writeObj(const std::filesystem::path& path, const SkinRecord& record, const std::string& mtlFileName,
              const std::string& materialName);
void writeMtl(const std::filesystem::path& path, const std::string& materialName, const std::string& textureFileName);
