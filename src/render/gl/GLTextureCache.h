#pragma once

#include "render/gl/GLTexture.h"

#include <memory>
#include <string>

// The process-wide cache of skin textures, so that every renderer of one skin (and of skins
// naming the same file) shares one texture object. Entries are keyed by the path with every
// '/' written as '\' (so both spellings share an entry) and live until the process ends or
// releaseAll is called. Used on the GUI thread that owns the context only.
class GLTextureCache {
public:
    // The texture for the image file at path, loaded on the first request: read with
    // readImageFile (any format it knows) from the native spelling of the key, flipped so that
    // row 0 is the bottom, uploaded as 8-bit RGB with linear filtering and mipmaps. Throws IOException "Unable to load image '" path "'." when the file cannot
    // be read, OpenGLException when GL refuses it; a failed load leaves no entry.
    static std::shared_ptr<GLTexture> texture(const std::string& path);

    // True when a texture for the path (in either spelling) is cached.
    static bool contains(const std::string& path);

    // Drops every entry; textures still held elsewhere stay alive. For shutting down while the
    // context is still current, and for tests.
    static void releaseAll();
};
