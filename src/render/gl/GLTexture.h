#pragma once

#include "skin/PixelImage.h"

#include <GL/glew.h>

#include <string>

// One GL texture object. Owns its one name (glGenTextures(1)) and deletes it when destroyed;
// shared by every renderer drawing with it (see GLTextureCache). Needs the context it was made
// in to be current.
class GLTexture {
public:
    // Textures the following drawing while it lives: sets the front-and-back diffuse material
    // to white (so the texture's colours show as they are), enables GL_TEXTURE_2D and binds the
    // texture; when destroyed, disables GL_TEXTURE_2D again.
    class Binding {
    public:
        explicit Binding(const GLTexture& texture);
        ~Binding();
        Binding(const Binding&) = delete;
        Binding& operator=(const Binding&) = delete;
    };

    GLTexture();
    ~GLTexture();
    GLTexture(const GLTexture&) = delete;
    GLTexture& operator=(const GLTexture&) = delete;

    GLuint name() const { return m_name; }

    // Uploads the picture (rows top to bottom) as this texture's 8-bit RGB image, flipped so
    // that its first row is the bottom, with linear filtering: level 0 alone, or with mipmaps
    // the whole chain (gluBuild2DMipmaps). Throws OpenGLException naming `name` when the
    // mipmaps cannot be built. Binds the texture as Binding does while uploading.
    void upload(PixelImage image, bool mipmaps, const std::string& name = std::string());

private:
    GLuint m_name = 0;
};
