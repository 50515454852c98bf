// The control stream over arbitrary bytes delivered in arbitrary pieces at arbitrary times. The
// first byte seeds the piece sizes and times; the rest is the stream, fed until it is used up.
#include "voice/wire.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    uint32_t nState = data[0] | 1u;
    ControlStream stream;
    uint64_t nNow = 0;
    for (size_t pos = 1; pos < size;) {
        nState = nState * 1103515245u + 12345u;
        size_t nPiece = 1 + (nState >> 16) % 40;
        size_t n = nPiece < size - pos ? nPiece : size - pos;
        size_t nUsed = 0;
        uint32_t nCode = 0;
        bool bMessage = stream.Feed(data + pos, n, nNow, nUsed, nCode);
        // Every piece is taken in part (up to a message's end) or whole.
        if (nUsed == 0 || nUsed > n || (!bMessage && nUsed != n))
            std::abort();
        pos += nUsed;
        nNow += (nState >> 8) % 1500;
    }
    return 0;
}
