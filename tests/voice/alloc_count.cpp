#include "tests/voice/alloc_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_nAllocations{0};
}

long AllocationCount()
{
    return g_nAllocations.load();
}

void* operator new(std::size_t nSize)
{
    ++g_nAllocations;
    if (void* p = std::malloc(nSize ? nSize : 1))
        return p;
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

// The library's nothrow form (std::stable_sort's buffer takes it) must come from the same heap
// as the plain delete above.
void* operator new(std::size_t nSize, const std::nothrow_t&) noexcept
{
    ++g_nAllocations;
    return std::malloc(nSize ? nSize : 1);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
