#include "render/gl/GLTexture.h"

#include "foundation/Exception.h"
#include "render/gl/GLError.h"
#include "render/gl/GLState.h"

#include <GL/glu.h>

GLTexture::Binding::Binding(const GLTexture& texture)
{
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture.name());
}

GLTexture::Binding::~Binding()
{
    glDisable(GL_TEXTURE_2D);
}

GLTexture::GLTexture()
{
    glGenTextures(1, &m_name);
    if (m_name == 0) throw OpenGLException("Unable to create a texture.");
}

GLTexture::~GLTexture()
{
    glDeleteTextures(1, &m_name);
}

void GLTexture::upload(PixelImage image, bool mipmaps, const std::string& name)
{
    // Image rows run top to bottom, GL texture rows bottom to top.
    image.flipRows();
    Binding binding(*this);
    // The rows are tightly packed: with the default alignment of 4 an RGB row whose width is
    // not a multiple of 4 would be read as padded, and the picture would shear.
    GLState::UnpackAlignment alignment(1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    if (!mipmaps) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     image.rgb.data());
        return;
    }
    const GLint result = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE,
                                           image.rgb.data());
    if (result != 0)
        throw OpenGLException("Unable to build the mipmaps of image '" + name +
                              "': " + reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(result))));
    checkGLError("gluBuild2DMipmaps");
}
