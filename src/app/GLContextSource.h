#pragma once

class wxGLCanvas;
class wxGLContext;

// Whoever owns the OpenGL context the viewer's canvases draw with: the application, so that
// the context outlives any one canvas. The canvas asks for it whenever it draws.
class GLContextSource {
public:
    virtual ~GLContextSource() = default;
    // The context for canvas, made on first use (a GLX context can only be made once a window
    // with the wanted pixel format exists). Null when none can be made; nothing is drawn then.
    virtual wxGLContext* glContext(wxGLCanvas* canvas) = 0;
};
