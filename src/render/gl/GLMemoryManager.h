#pragma once

#include "render/gl/GLBuffer.h"

#include <cstddef>
#include <memory>

// Makes the buffers a skin renderer draws from, hiding whether they live in client memory or
// in buffer objects. Holds no state: buffers it made outlive it.
class GLMemoryManager {
public:
    // Kinds of data passed to allocate.
    static constexpr int kIndexData = 0;
    static constexpr int kVertexData = 1;

    virtual ~GLMemoryManager() = default;

    // A new buffer holding a copy of size bytes from data; kind 1 is vertex data, anything
    // else index data.
    virtual std::shared_ptr<GLBuffer> allocate(const void* data, std::size_t size, int kind) = 0;
};
