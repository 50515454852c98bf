#include "alloc_probe.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

const int kSlots = 4096;
SRWLOCK g_lock = SRWLOCK_INIT;
allocprobe::Block g_live[kSlots];
std::size_t g_failSize = 0;
int g_failSkip = -1;

void* TrackedAlloc(std::size_t size)
{
    AcquireSRWLockExclusive(&g_lock);
    bool fail = g_failSkip >= 0 && size == g_failSize && g_failSkip-- == 0;
    void* p = fail ? nullptr : std::malloc(size ? size : 1);
    for (int i = 0; p && i < kSlots; ++i) {
        if (!g_live[i].p) {
            g_live[i] = {p, size};
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_lock);
    return p;
}

void TrackedFree(void* p)
{
    if (!p)
        return;
    AcquireSRWLockExclusive(&g_lock);
    for (int i = 0; i < kSlots; ++i) {
        if (g_live[i].p == p) {
            g_live[i] = {nullptr, 0};
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_lock);
    std::free(p);
}

}  // namespace

namespace allocprobe {

std::vector<Block> Live()
{
    Block copy[kSlots];
    AcquireSRWLockShared(&g_lock);
    std::copy(g_live, g_live + kSlots, copy);
    ReleaseSRWLockShared(&g_lock);
    std::vector<Block> out;
    for (const Block& b : copy)
        if (b.p)
            out.push_back(b);
    return out;
}

void FailNext(std::size_t size, int skip)
{
    AcquireSRWLockExclusive(&g_lock);
    g_failSize = size;
    g_failSkip = skip;
    ReleaseSRWLockExclusive(&g_lock);
}

void Disarm()
{
    FailNext(0, -1);
}

}  // namespace allocprobe

// Throwing allocations keep the library's malloc-based operator new; every delete frees with
// free() and forgets the block if it was a tracked one.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return TrackedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return TrackedAlloc(size);
}
void operator delete(void* p) noexcept
{
    TrackedFree(p);
}
void operator delete[](void* p) noexcept
{
    TrackedFree(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    TrackedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    TrackedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    TrackedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    TrackedFree(p);
}
