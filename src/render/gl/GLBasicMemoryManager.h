#pragma once

#include "render/gl/GLMemoryManager.h"

// Keeps buffers in client memory (vertex arrays and display lists draw from there).
class GLBasicMemoryManager : public GLMemoryManager {
public:
    // A GLBasicBuffer; the kind makes no difference in client memory.
    std::shared_ptr<GLBuffer> allocate(const void* data, std::size_t size, int kind) override;
};
