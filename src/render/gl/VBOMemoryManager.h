#pragma once

#include "render/gl/GLMemoryManager.h"

// Keeps buffers in ARB vertex buffer objects on the graphics card.
class VBOMemoryManager : public GLMemoryManager {
public:
    // A static ARBVertexBufferObject (array buffer for kind 1, element array buffer otherwise).
    // Throws OpenGLException "ARB_vertex_buffer_object not supported on this card." without
    // the extension.
    std::shared_ptr<GLBuffer> allocate(const void* data, std::size_t size, int kind) override;
};
