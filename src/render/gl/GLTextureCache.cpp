#include "render/gl/GLTextureCache.h"

#include "foundation/Exception.h"
#include "render/TexturePath.h"
#include "render/gl/GLError.h"
#include "render/gl/GLState.h"

#include <GL/glu.h>
#include <wx/image.h>
#include <wx/log.h>

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
    wxImage image;
    {
        // The failure is reported once, by the exception; wx would add a dialog of its own.
        wxLogNull quiet;
        if (!image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_ANY) || !image.IsOk())
            throw IOException("Unable to load image '" + path + "'.");
    }
    // Image rows run top to bottom, GL texture rows bottom to top.
    image = image.Mirror(false);

    auto texture = std::make_shared<GLTexture>();
    GLTexture::Binding binding(*texture);
    GLState::UnpackAlignment alignment(1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    const GLint result = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image.GetWidth(), image.GetHeight(), GL_RGB,
                                           GL_UNSIGNED_BYTE, image.GetData());
    if (result != 0)
        throw OpenGLException("Unable to build the mipmaps of image '" + path +
                              "': " + reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(result))));
    checkGLError("gluBuild2DMipmaps");
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
