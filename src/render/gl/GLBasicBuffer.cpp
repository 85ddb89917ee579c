#include "render/gl/GLBasicBuffer.h"

#include <cstring>

GLBasicBuffer::GLBasicBuffer(const void* data, std::size_t size) : m_bytes(size)
{
    if (size > 0) std::memcpy(m_bytes.data(), data, size);
}

std::unique_ptr<GLBindBuffer> GLBasicBuffer::bind() const
{
    return std::make_unique<GLBindBuffer>();
}
