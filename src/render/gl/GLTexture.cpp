#include "render/gl/GLTexture.h"

#include "foundation/Exception.h"

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
