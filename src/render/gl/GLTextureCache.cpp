#include "render/gl/GLTextureCache.h"

#include "skin/ImageFile.h"
#include "render/TexturePath.h"

#include <map>

namespace {

std::map<std::string, std::shared_ptr<GLTexture>>& entries()
{
    static std::map<std::string, std::shared_ptr<GLTexture>> cache;
    return cache;
}

std::shared_ptr<GLTexture> loadTexture(const std::string& key)
{
    // The key keeps backslashes for identity only; a backslash cannot be opened as a directory
    // separator here.
    const std::string path = nativeTexturePath(key);
    PixelImage image = readImageFile(path);
    auto texture = std::make_shared<GLTexture>();
    texture->upload(std::move(image), true, path);
    return texture;
}

} // namespace

std::shared_ptr<GLTexture> GLTextureCache::texture(const std::string& path)
{
    const std::string key = textureCacheKey(path);
    auto& cache = entries();
    const auto found = cache.find(key);
    if (found != cache.end()) return found->second;
    // Stored only once fully loaded, so a failure leaves no entry behind.
    std::shared_ptr<GLTexture> texture = loadTexture(key);
    cache.emplace(key, texture);
    return texture;
}

bool GLTextureCache::contains(const std::string& path)
{
    return entries().count(textureCacheKey(path)) > 0;
}

void GLTextureCache::releaseAll()
{
    entries().clear();
}
