// Encode, Decode and Conceal allocate nothing: every global allocation function of this binary
// counts its calls (and, on Linux, so do malloc/calloc/realloc wrapped at link time).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "voice/codec/audiocode.h"

namespace {
volatile long g_allocations = 0;
}  // namespace

#ifndef _WIN32
extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t n, size_t size);
void* __real_realloc(void* p, size_t size);
void* __wrap_malloc(size_t size)
{
    g_allocations = g_allocations + 1;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t n, size_t size)
{
    g_allocations = g_allocations + 1;
    return __real_calloc(n, size);
}
void* __wrap_realloc(void* p, size_t size)
{
    g_allocations = g_allocations + 1;
    return __real_realloc(p, size);
}
}
#endif

// The replacements pair malloc with free; GCC cannot see that and warns at each delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size)
{
    g_allocations = g_allocations + 1;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    g_allocations = g_allocations + 1;
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& t) noexcept
{
    return operator new(size, t);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}

namespace {

TEST(CodecAllocations, EncodeDecodeAndConcealAllocateNothing)
{
    CAudioCode codec;
    std::vector<short> pcm(480);
    for (int n = 0; n < 480; ++n)
        pcm[n] = static_cast<short>(8000.0 * std::sin(n * 0.13));
    unsigned char coded[60];
    short decoded[480];
    int bytes = 0;
    // The checks below must not allocate either, so results are collected first.
    long before = g_allocations;
    int ok = 1;
    for (int block = 0; block < 20; ++block) {
        ok &= codec.Encode(pcm.data(), 960, coded, &bytes);
        ok &= codec.Decode(coded, decoded, &bytes);
        ok &= codec.Conceal(decoded, &bytes);
    }
    long during = g_allocations - before;
    EXPECT_EQ(1, ok);
    EXPECT_EQ(0, during);

    // The counter works: an allocation outside the codec is seen.
    before = g_allocations;
    std::vector<int>* probe = new std::vector<int>(100);
    delete probe;
    EXPECT_GE(g_allocations - before, 2);
}

}  // namespace
