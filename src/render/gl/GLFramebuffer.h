#pragma once

#include <GL/glew.h>

// An off-screen framebuffer with an RGBA8 colour and a 24-bit depth renderbuffer, bound for
// drawing and reading while it lives; the destructor binds the framebuffer that was bound
// before and deletes it. Pictures drawn into it do not depend on the window: neither its size
// nor other windows covering it. When framebuffer objects are missing or the framebuffer is
// incomplete, valid() is false and the previous binding stays.
class GLFramebuffer {
public:
    GLFramebuffer(int width, int height);
    ~GLFramebuffer();
    GLFramebuffer(const GLFramebuffer&) = delete;
    GLFramebuffer& operator=(const GLFramebuffer&) = delete;

    bool valid() const { return m_framebuffer != 0; }

private:
    void release();

    GLint m_previous = 0;
    GLuint m_framebuffer = 0;
    GLuint m_renderbuffers[2] = {0, 0};
};
