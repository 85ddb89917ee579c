#include "render/TexturePath.h"

#include <algorithm>
#include <filesystem>

std::string texturePath(const std::string& directory, const std::string& fileName)
{
    if (directory.empty()) return fileName;
    return (std::filesystem::path(directory) / fileName).string();
}

std::string textureCacheKey(const std::string& path)
{
    std::string key = path;
    std::replace(key.begin(), key.end(), '/', '\\');
    return key;
}

std::string nativeTexturePath(const std::string& key)
{
    std::string path = key;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
