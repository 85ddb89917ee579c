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
