// The 80-bit frame layout: eleven parameters, most significant bit first, bit 0 of the frame
// being the top bit of byte 0.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Writes exactly 10 bytes. Values must fit their widths (8 10 8 1 13 4 7 5 13 4 7).
void PackFrame(const int prm[kParams], unsigned char out[kFrameBytes]);

// Reads exactly 10 bytes; every bit pattern is valid.
void UnpackFrame(const unsigned char in[kFrameBytes], int prm[kParams]);

}  // namespace g729
