#include "render/gl/VBOMemoryManager.h"

#include "render/gl/ARBVertexBufferObject.h"

std::shared_ptr<GLBuffer> VBOMemoryManager::allocate(const void* data, std::size_t size, int kind)
{
    return std::make_shared<ARBVertexBufferObject>(data, size, kind);
}
