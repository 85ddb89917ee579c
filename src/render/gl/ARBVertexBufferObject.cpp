#include "render/gl/ARBVertexBufferObject.h"

#include "foundation/Exception.h"
#include "render/gl/GLError.h"
#include "render/gl/GLMemoryManager.h"

namespace {

GLuint generateName()
{
    if (!GLEW_ARB_vertex_buffer_object) throw OpenGLException("ARB_vertex_buffer_object not supported on this card.");
    GLuint name = 0;
    glGenBuffersARB(1, &name);
    return name;
}

} // namespace

ARBVertexBufferObject::BindBuffer::BindBuffer(GLenum target, GLuint name) : m_target(target)
{
    glBindBufferARB(target, name);
}

ARBVertexBufferObject::BindBuffer::~BindBuffer()
{
    glBindBufferARB(m_target, 0);
}

ARBVertexBufferObject::ARBVertexBufferObject(const void* data, std::size_t size, int kind)
    : m_target(kind == GLMemoryManager::kVertexData ? GL_ARRAY_BUFFER_ARB : GL_ELEMENT_ARRAY_BUFFER_ARB), m_name(generateName())
{
    try {
        upload(data, size, GL_STATIC_DRAW_ARB);
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        glDeleteBuffersARB(1, &m_name);
        throw;
    }
}

ARBVertexBufferObject::ARBVertexBufferObject(GLenum target) : m_target(target), m_name(generateName()) {}

ARBVertexBufferObject::~ARBVertexBufferObject()
{
    glDeleteBuffersARB(1, &m_name);
}

std::unique_ptr<GLBindBuffer> ARBVertexBufferObject::bind() const
{
    return std::make_unique<BindBuffer>(m_target, m_name);
}

void ARBVertexBufferObject::upload(const void* data, std::size_t size, GLenum usage)
{
    {
        BindBuffer binding(m_target, m_name);
        glBufferDataARB(m_target, static_cast<GLsizeiptrARB>(size), data, usage);
    }
    checkGLError("glBufferDataARB");
    m_size = size;
}
