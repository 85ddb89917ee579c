#pragma once

#include "render/gl/GLBuffer.h"

#include <cstddef>
#include <vector>

// A private copy of vertex or index bytes in client memory, handed to GL by address. Owns the
// bytes; binding it does nothing.
class GLBasicBuffer : public GLBuffer {
public:
    // Copies size bytes from data (data may be null when size is 0).
    GLBasicBuffer(const void* data, std::size_t size);

    std::unique_ptr<GLBindBuffer> bind() const override;
    const void* start() const override { return m_bytes.data(); }
    std::size_t size() const { return m_bytes.size(); }

private:
    std::vector<std::byte> m_bytes;
};
