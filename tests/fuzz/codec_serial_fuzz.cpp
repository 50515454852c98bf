// Arbitrary bytes as a serial bitstream file: parsing never crashes, accepted frames hold only
// bits 0/1 and survive the packed round trip, and writing them back gives the input again
// (except erased frames, which are written as ordinary frames).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> input(data, data + size);
    std::vector<g729a::SerialFrame> frames;
    std::string error;
    if (!g729a::ParseSerial(input, &frames, &error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (frames.size() * g729a::kSerialFrameBytes != size)
        std::abort();
    std::vector<unsigned char> rewritten;
    for (const g729a::SerialFrame& frame : frames) {
        unsigned char bytes[10], bits[80];
        g729a::BitsToBytes(frame.bits, bytes);
        g729a::BytesToBits(bytes, bits);
        for (int i = 0; i < 80; ++i) {
            if (frame.bits[i] > 1 || bits[i] != frame.bits[i])
                std::abort();
        }
        g729a::AppendSerial(frame.bits, &rewritten);
    }
    for (size_t f = 0; f < frames.size(); ++f) {
        if (frames[f].erased)
            continue;
        for (size_t i = 0; i < g729a::kSerialFrameBytes; ++i) {
            size_t at = f * g729a::kSerialFrameBytes + i;
            if (rewritten[at] != input[at])
                std::abort();
        }
    }
    return 0;
}
