#include "GLTestWindow.h"

#include "foundation/Sanitizers.h"

#include <GL/glew.h>
#include <GL/glx.h>
#include <wx/image.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

struct GLTestWindow::Native {
    Display* display = nullptr;
    Colormap colormap = 0;
    Window window = 0;
    GLXContext context = nullptr;
};

namespace {

Bool isMapNotify(Display*, XEvent* event, XPointer window)
{
    return event->type == MapNotify && event->xmap.window == *reinterpret_cast<Window*>(window);
}

} // namespace

GLTestWindow::GLTestWindow(int width, int height) : m_native(new Native), m_width(width), m_height(height)
{
    try {
        const char* name = std::getenv("DISPLAY");
        m_native->display = XOpenDisplay(nullptr);
        if (!m_native->display)
            throw std::runtime_error(std::string("cannot open X display '") + (name ? name : "") +
                                     "'; run under xvfb-run (as CTest does)");
        Display* display = m_native->display;
        int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                            GLX_DEPTH_SIZE, 24, None};
        XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
        if (!visual) throw std::runtime_error("no double-buffered RGB visual with a 24-bit depth buffer");
        const Window root = RootWindow(display, visual->screen);
        m_native->colormap = XCreateColormap(display, root, visual->visual, AllocNone);
        XSetWindowAttributes windowAttributes{};
        windowAttributes.colormap = m_native->colormap;
        windowAttributes.event_mask = StructureNotifyMask;
        m_native->window = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, visual->depth, InputOutput,
                                         visual->visual, CWColormap | CWEventMask, &windowAttributes);
        XStoreName(display, m_native->window, "flexherd GL test");
        XMapWindow(display, m_native->window);
        XEvent event;
        XIfEvent(display, &event, isMapNotify, reinterpret_cast<XPointer>(&m_native->window));
        m_native->context = glXCreateContext(display, visual, nullptr, True);
        XFree(visual);
        if (!m_native->context) throw std::runtime_error("glXCreateContext failed");
        keepLoadedLibrariesForLeakCheck();
        if (!glXMakeCurrent(display, m_native->window, m_native->context))
            throw std::runtime_error("glXMakeCurrent failed");
        const GLenum glew = glewInit();
        if (glew != GLEW_OK)
            throw std::runtime_error(std::string("glewInit: ") + reinterpret_cast<const char*>(glewGetErrorString(glew)));
        glViewport(0, 0, width, height);
        glReadBuffer(GL_BACK);
        glDrawBuffer(GL_BACK);
    } catch (...) {
        release();
        throw;
    }
}

GLTestWindow::~GLTestWindow()
{
    release();
}

void GLTestWindow::release()
{
    if (!m_native) return;
    if (m_native->display) {
        if (m_native->context) {
            glXMakeCurrent(m_native->display, None, nullptr);
            glXDestroyContext(m_native->display, m_native->context);
        }
        if (m_native->window) XDestroyWindow(m_native->display, m_native->window);
        if (m_native->colormap) XFreeColormap(m_native->display, m_native->colormap);
        XCloseDisplay(m_native->display);
    }
    delete m_native;
    m_native = nullptr;
}

std::vector<std::uint8_t> GLTestWindow::readPixels() const
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(m_width) * m_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

Rgb GLTestWindow::pixel(int x, int y) const
{
    std::uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

void GLTestWindow::savePng(const std::string& path) const
{
    savePng(path, readPixels(), m_width, m_height);
}

void GLTestWindow::savePng(const std::string& path, const std::vector<std::uint8_t>& pixels, int width, int height)
{
    // wxImage takes ownership of malloc'ed data.
    auto* data = static_cast<unsigned char*>(std::malloc(pixels.size()));
    std::memcpy(data, pixels.data(), pixels.size());
    wxImage image(width, height, data);
    if (!image.Mirror(false).SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG))
        throw std::runtime_error("cannot write '" + path + "'");
}

void GLTestWindow::swapBuffers() const
{
    glXSwapBuffers(m_native->display, m_native->window);
}

std::string GLTestWindow::rendererName()
{
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "";
}
