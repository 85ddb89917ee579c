#pragma once

#include "render/gl/GLBuffer.h"

#include <GL/glew.h>

#include <cstddef>

// One ARB buffer object on the graphics card holding vertex data (GL_ARRAY_BUFFER_ARB) or
// indices (GL_ELEMENT_ARRAY_BUFFER_ARB). Owns its one GL name and deletes it when destroyed;
// needs the context it was made in to be current for construction, upload and destruction.
class ARBVertexBufferObject : public GLBuffer {
public:
    // Binds the buffer object to its target while it lives and binds 0 to that target after.
    class BindBuffer : public GLBindBuffer {
    public:
        BindBuffer(GLenum target, GLuint name);
        ~BindBuffer() override;

    private:
        GLenum m_target;
    };

    // A static copy of size bytes: the array target for kind GLMemoryManager::kVertexData, else
    // the element array target; GL_STATIC_DRAW_ARB. Throws
    // OpenGLException "ARB_vertex_buffer_object not supported on this card." without the
    // extension, and when GL reports an error (no name is left behind then).
    ARBVertexBufferObject(const void* data, std::size_t size, int kind);
    // An empty buffer object for the target, filled later by upload (streamed vertex data).
    explicit ARBVertexBufferObject(GLenum target);
    ~ARBVertexBufferObject() override;

    std::unique_ptr<GLBindBuffer> bind() const override;
    const void* start() const override { return nullptr; }

    // Replaces the contents with size bytes from data, with the given usage hint
    // (GL_STREAM_DRAW_ARB for data drawn once). Leaves the target unbound.
    void upload(const void* data, std::size_t size, GLenum usage);

    GLenum target() const { return m_target; }
    GLuint name() const { return m_name; }
    std::size_t size() const { return m_size; }

private:
    GLenum m_target;
    GLuint m_name = 0;
    std::size_t m_size = 0;
};
