#include "render/gl/GLError.h"

#include "foundation/Exception.h"

#include <GL/glew.h>

#include <sstream>

namespace {

const char* errorName(GLenum error)
{
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default: return "unknown GL error";
    }
}

} // namespace

void checkGLError(const std::string& operation)
{
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) throwGLError(operation, error);
}

void throwGLError(const std::string& operation, unsigned firstError)
{
    std::ostringstream message;
    message << "OpenGL error in '" << operation << "':";
    // A context reports at most one error per kind; the bound keeps a lost context (which may
    // report forever) from looping here.
    GLenum error = firstError;
    for (int i = 0; i < 16 && error != GL_NO_ERROR; ++i, error = glGetError())
        message << ' ' << errorName(error) << " (0x" << std::hex << error << std::dec << ')';
    message << '.';
    throw OpenGLException(message.str());
}
