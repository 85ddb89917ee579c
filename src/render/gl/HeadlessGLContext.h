#pragma once

// An OpenGL context without a window system: Mesa's surfaceless EGL platform, a compatibility
// profile desktop GL context (fixed-function drawing, ARB_vertex_program, framebuffer objects),
// current on the constructing thread while the object lives. It has no default framebuffer:
// draw into a GLFramebuffer. Needs neither an X server nor a GPU (llvmpipe serves).
//
// GLEW is started for it. Debian's GLEW is built for GLX, and its glewInit ends with
// GLEW_ERROR_NO_GLX_DISPLAY when no GLX display is current, as here, after it has loaded the
// GL entry points and extension flags; that code is accepted once every entry point the frame
// renderer calls is known to be there.
class HeadlessGLContext {
public:
    // Throws OpenGLException "Unable to draw without a display: REASON" when the platform,
    // the context or an entry point the renderers need is missing.
    HeadlessGLContext();
    ~HeadlessGLContext();
    HeadlessGLContext(const HeadlessGLContext&) = delete;
    HeadlessGLContext& operator=(const HeadlessGLContext&) = delete;

private:
    void* m_display = nullptr; // EGLDisplay
    void* m_context = nullptr; // EGLContext
};
