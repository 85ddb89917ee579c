#include "render/gl/ARBVertexProgram.h"

#include "foundation/Exception.h"
#include "render/ProgramText.h"
#include "render/gl/GLError.h"
#include "render/gl/GLState.h"

#include <cstdint>
#include <limits>

ARBVertexProgram::Binding::Binding(const ARBVertexProgram& program)
{
    glEnable(GL_VERTEX_PROGRAM_ARB);
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, program.name());
}

ARBVertexProgram::Binding::~Binding()
{
    glDisable(GL_VERTEX_PROGRAM_ARB);
}

ARBVertexProgram::ARBVertexProgram(std::string text) : m_text(std::move(text))
{
    if (!GLEW_ARB_vertex_program) throw OpenGLException("Extension ARB_vertex_program not supported on this card.");
    m_loadedText = stripCommentLines(m_text);
    if (m_loadedText.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw OpenGLException("The vertex program text is too long to load.");
    glGenProgramsARB(1, &m_name);
    try {
        load();
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        glDeleteProgramsARB(1, &m_name);
        throw;
    }
}

ARBVertexProgram::~ARBVertexProgram()
{
    glDeleteProgramsARB(1, &m_name);
}

void ARBVertexProgram::load()
{
    // Enabled only while loading, also when the driver rejects the text.
    GLState::Enable target(GL_VERTEX_PROGRAM_ARB);
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, m_name);
    checkGLError("glBindProgramARB");
    glProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(m_loadedText.size()),
                       m_loadedText.data());
    const GLenum error = glGetError();
    if (error == GL_INVALID_OPERATION) {
        GLint position = -1;
        glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
        const GLubyte* driverError = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
        // Whatever else the failed load recorded belongs to this failure.
        while (glGetError() != GL_NO_ERROR) {
        }
        throw OpenGLException(programErrorMessage(
            m_loadedText, position, driverError ? reinterpret_cast<const char*>(driverError) : ""));
    }
    if (error != GL_NO_ERROR) throwGLError("glProgramStringARB", error);
}
