#include "AllocationProbe.h"

#include <cstdlib>
#include <new>

namespace {

bool g_watching = false;
std::size_t g_largest = 0;

} // namespace

AllocationProbe::AllocationProbe()
{
    g_largest = 0;
    g_watching = true;
}

AllocationProbe::~AllocationProbe()
{
    g_watching = false;
}

std::size_t AllocationProbe::largest() const
{
    return g_largest;
}

void* operator new(std::size_t size)
{
    if (g_watching && size > g_largest) g_largest = size;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

// Every other form that pairs with the ones above, so that no block is made by one allocator and
// freed by another: the address sanitizer's runtime otherwise serves the forms left out (the
// standard library's temporary buffers come from the nothrow form) and reports the mismatch.
void* operator new[](std::size_t size)
{
    return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return ::operator new(size, std::nothrow);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
