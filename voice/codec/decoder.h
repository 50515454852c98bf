// Frame decoder: eleven parameters -> 80 samples after post-filter and post-processing.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/states.h"

namespace g729 {

// Decodes one frame into out[0..79], unscaled 16-bit range. When delays is given it receives
// the integer pitch delays of the two subframes. With bBadFrame set the frame was lost: prm is
// not read and the frame is rebuilt from the decoder's past.
void DecodeFrame(DecoderState& s, const int prm[kParams], double out[kFrame], int* delays = nullptr,
                 bool bBadFrame = false);

}  // namespace g729
