#include "voice/codec/bitpack.h"

#include "voice/codec/tables.h"

namespace g729 {

void PackFrame(const int prm[kParams], unsigned char out[kFrameBytes])
{
    // Bits wait in the low `count` bits of the accumulator (never more than 7 plus one
    // parameter's 13); every whole byte goes out as soon as it is complete.
    unsigned acc = 0;
    int count = 0;
    int n = 0;
    for (int p = 0; p < kParams; ++p) {
        acc = (acc << bitsno[p]) | static_cast<unsigned>(prm[p]);
        count += bitsno[p];
        while (count >= 8) {
            count -= 8;
            out[n++] = static_cast<unsigned char>(acc >> count);
        }
    }
}

void UnpackFrame(const unsigned char in[kFrameBytes], int prm[kParams])
{
    unsigned acc = 0;
    int count = 0;
    int n = 0;
    for (int p = 0; p < kParams; ++p) {
        while (count < bitsno[p]) {
            acc = (acc << 8) | in[n++];
            count += 8;
        }
        count -= bitsno[p];
        prm[p] = static_cast<int>((acc >> count) & ((1u << bitsno[p]) - 1));
    }
}

}  // namespace g729
