#include "render/gl/GLFramebuffer.h"

GLFramebuffer::GLFramebuffer(int width, int height)
{
    if (!(GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object)) return;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &m_previous);
    glGenFramebuffers(1, &m_framebuffer);
    glGenRenderbuffers(2, m_renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, m_renderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, m_renderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_renderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_renderbuffers[1]);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) release();
}

GLFramebuffer::~GLFramebuffer()
{
    release();
}

void GLFramebuffer::release()
{
    if (m_framebuffer == 0) return;
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(m_previous));
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteRenderbuffers(2, m_renderbuffers);
    m_framebuffer = 0;
}
