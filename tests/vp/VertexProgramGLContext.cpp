#include "VertexProgramGLContext.h"

#include <GL/glew.h>
#include <GL/glx.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

struct VertexProgramGLContext::Native {
    Display* display = nullptr;
    Colormap colormap = 0;
    Window window = 0;
    GLXContext context = nullptr;

    ~Native()
    {
        if (!display) return;
        if (context) {
            glXMakeCurrent(display, None, nullptr);
            glXDestroyContext(display, context);
        }
        if (window) XDestroyWindow(display, window);
        if (colormap) XFreeColormap(display, colormap);
        XCloseDisplay(display);
    }
};

namespace {

Bool isMapNotify(Display*, XEvent* event, XPointer window)
{
    return event->type == MapNotify && event->xmap.window == *reinterpret_cast<Window*>(window);
}

} // namespace

VertexProgramGLContext::VertexProgramGLContext(int width, int height)
    : m_native(new Native), m_width(width), m_height(height)
{
    try {
        Native& n = *m_native;
        const char* name = std::getenv("DISPLAY");
        n.display = XOpenDisplay(nullptr);
        if (!n.display)
            throw std::runtime_error(std::string("cannot open X display '") + (name ? name : "") + "'; run under xvfb-run");
        int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
        XVisualInfo* visual = glXChooseVisual(n.display, DefaultScreen(n.display), attributes);
        if (!visual) throw std::runtime_error("no double-buffered 8-bit RGB visual");
        const Window root = RootWindow(n.display, visual->screen);
        n.colormap = XCreateColormap(n.display, root, visual->visual, AllocNone);
        XSetWindowAttributes windowAttributes{};
        windowAttributes.colormap = n.colormap;
        windowAttributes.event_mask = StructureNotifyMask;
        n.window = XCreateWindow(n.display, root, 0, 0, unsigned(width), unsigned(height), 0, visual->depth, InputOutput,
                                 visual->visual, CWColormap | CWEventMask, &windowAttributes);
        XMapWindow(n.display, n.window);
        XEvent event;
        XIfEvent(n.display, &event, isMapNotify, reinterpret_cast<XPointer>(&n.window));
        n.context = glXCreateContext(n.display, visual, nullptr, True);
        XFree(visual);
        if (!n.context) throw std::runtime_error("glXCreateContext failed");
        if (!glXMakeCurrent(n.display, n.window, n.context)) throw std::runtime_error("glXMakeCurrent failed");
        const GLenum glew = glewInit();
        if (glew != GLEW_OK)
            throw std::runtime_error(std::string("glewInit: ") + reinterpret_cast<const char*>(glewGetErrorString(glew)));
        glViewport(0, 0, width, height);
        glReadBuffer(GL_BACK);
        glDrawBuffer(GL_BACK);
    } catch (...) {
        delete m_native;
        throw;
    }
}

VertexProgramGLContext::~VertexProgramGLContext()
{
    delete m_native;
}

std::vector<std::uint8_t> VertexProgramGLContext::readPixels() const
{
    std::vector<std::uint8_t> pixels(std::size_t(m_width) * std::size_t(m_height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
