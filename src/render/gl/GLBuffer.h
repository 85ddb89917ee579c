#pragma once

#include "render/gl/GLBindBuffer.h"

#include <memory>

// Vertex or index data handed to GL, either in client memory or in a buffer object; the skin
// renderers draw from either through this interface. Made by a GLMemoryManager and shared by
// whoever draws from it; it owns its storage (bytes or one GL name).
class GLBuffer {
public:
    GLBuffer() = default;
    GLBuffer(const GLBuffer&) = delete;
    GLBuffer& operator=(const GLBuffer&) = delete;
    virtual ~GLBuffer() = default;

    // Binds the buffer until the returned object is destroyed (nothing for client memory).
    virtual std::unique_ptr<GLBindBuffer> bind() const = 0;
    // What GL pointer and draw calls take for offset 0: the bytes' address for client memory,
    // 0 for a buffer object (offsets are then relative to the bound buffer).
    virtual const void* start() const = 0;
};
