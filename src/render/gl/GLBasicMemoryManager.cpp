#include "render/gl/GLBasicMemoryManager.h"

#include "render/gl/GLBasicBuffer.h"

std::shared_ptr<GLBuffer> GLBasicMemoryManager::allocate(const void* data, std::size_t size, int)
{
    return std::make_shared<GLBasicBuffer>(data, size);
}
