// Watches the non-throwing allocations of this test program (the wave devices allocate their
// buffers and headers that way) and can make one of them fail: allocation failure cannot be
// produced for real here.
#pragma once

#include <cstddef>
#include <vector>

namespace allocprobe {

struct Block {
    void* p;
    std::size_t size;
};

// Non-throwing allocations not yet freed.
std::vector<Block> Live();
// Makes the (skip+1)-th coming non-throwing allocation of exactly `size` bytes fail.
void FailNext(std::size_t size, int skip = 0);
// Clears a pending failure.
void Disarm();

}  // namespace allocprobe
