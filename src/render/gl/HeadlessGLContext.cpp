#include "render/gl/HeadlessGLContext.h"

#include "foundation/Exception.h"
#include "foundation/Sanitizers.h"

#include <GL/glew.h>

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& reason)
{
    throw OpenGLException("Unable to draw without a display: " + reason);
}

std::string eglErrorText()
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return code;
}

bool hasExtension(const char* list, const std::string& name)
{
    if (list == nullptr) return false;
    const std::string all = std::string(" ") + list + " ";
    return all.find(" " + name + " ") != std::string::npos;
}

// Starts GLEW on the current context and checks what the frame renderer calls.
void startGlew()
{
    glewExperimental = GL_TRUE;
    const GLenum status = glewInit();
    if (status != GLEW_OK && status != GLEW_ERROR_NO_GLX_DISPLAY)
        fail(std::string("GLEW could not start: ") + reinterpret_cast<const char*>(glewGetErrorString(status)) + ".");
    if (!GLEW_ARB_vertex_program) fail("the OpenGL context lacks GL_ARB_vertex_program.");
    if (!(GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object)) fail("the OpenGL context lacks framebuffer objects.");
    if (!GLEW_VERSION_1_5 && !GLEW_ARB_vertex_buffer_object) fail("the OpenGL context lacks vertex buffer objects.");
    const std::vector<std::pair<const char*, const void*>> entryPoints = {
        {"glGenFramebuffers", reinterpret_cast<const void*>(glGenFramebuffers)},
        {"glBindFramebuffer", reinterpret_cast<const void*>(glBindFramebuffer)},
        {"glFramebufferRenderbuffer", reinterpret_cast<const void*>(glFramebufferRenderbuffer)},
        {"glCheckFramebufferStatus", reinterpret_cast<const void*>(glCheckFramebufferStatus)},
        {"glDeleteFramebuffers", reinterpret_cast<const void*>(glDeleteFramebuffers)},
        {"glGenRenderbuffers", reinterpret_cast<const void*>(glGenRenderbuffers)},
        {"glBindRenderbuffer", reinterpret_cast<const void*>(glBindRenderbuffer)},
        {"glRenderbufferStorage", reinterpret_cast<const void*>(glRenderbufferStorage)},
        {"glDeleteRenderbuffers", reinterpret_cast<const void*>(glDeleteRenderbuffers)},
        {"glGenProgramsARB", reinterpret_cast<const void*>(glGenProgramsARB)},
        {"glBindProgramARB", reinterpret_cast<const void*>(glBindProgramARB)},
        {"glProgramStringARB", reinterpret_cast<const void*>(glProgramStringARB)},
        {"glProgramEnvParameter4fvARB", reinterpret_cast<const void*>(glProgramEnvParameter4fvARB)},
        {"glVertexAttribPointerARB", reinterpret_cast<const void*>(glVertexAttribPointerARB)},
        {"glEnableVertexAttribArrayARB", reinterpret_cast<const void*>(glEnableVertexAttribArrayARB)},
        {"glDisableVertexAttribArrayARB", reinterpret_cast<const void*>(glDisableVertexAttribArrayARB)},
        {"glDeleteProgramsARB", reinterpret_cast<const void*>(glDeleteProgramsARB)},
        {"glGenBuffersARB", reinterpret_cast<const void*>(glGenBuffersARB)},
        {"glBindBufferARB", reinterpret_cast<const void*>(glBindBufferARB)},
        {"glBufferDataARB", reinterpret_cast<const void*>(glBufferDataARB)},
        {"glDeleteBuffersARB", reinterpret_cast<const void*>(glDeleteBuffersARB)},
    };
    for (const auto& [name, address] : entryPoints)
        if (address == nullptr) fail(std::string("the OpenGL library has no ") + name + ".");
}

} // namespace

HeadlessGLContext::HeadlessGLContext()
{
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
        fail("EGL offers no surfaceless platform (install Mesa's EGL, libegl-mesa0).");
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) fail("EGL has no eglGetPlatformDisplayEXT.");
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        fail("the surfaceless EGL display could not be initialised (EGL error " + eglErrorText() + ").");
    m_display = display;
    keepLoadedLibrariesForLeakCheck();
    try {
        const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
        if (!hasExtension(extensions, "EGL_KHR_surfaceless_context") || !hasExtension(extensions, "EGL_KHR_no_config_context"))
            fail("EGL cannot make a context current without a surface.");
        if (!eglBindAPI(EGL_OPENGL_API)) fail("EGL offers no desktop OpenGL.");
        const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};
        EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
        if (context == EGL_NO_CONTEXT)
            fail("no compatibility profile OpenGL context could be made (EGL error " + eglErrorText() + ").");
        m_context = context;
        if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
            fail("the OpenGL context could not be made current (EGL error " + eglErrorText() + ").");
        startGlew();
    } catch (...) {
        if (m_context != nullptr) {
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display, static_cast<EGLContext>(m_context));
        }
        eglTerminate(display);
        throw;
    }
}

HeadlessGLContext::~HeadlessGLContext()
{
    EGLDisplay display = static_cast<EGLDisplay>(m_display);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, static_cast<EGLContext>(m_context));
    eglTerminate(display);
}
