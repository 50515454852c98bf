// The library-wide encoder and decoder states behind CAudioCode, one frame through each, and
// the reset used only by the codec's own tests and tools that need states as fresh as after
// load. The voice library's exported interface does not reach these functions.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Sets the library-wide encoder and decoder states to their initial values.
void ResetCodecStates();

// Resets the states the first time it is called, and does nothing after that.
void PrepareCodecStates();

// One frame through the library-wide states, as CAudioCode codes each frame of a block (for
// frames outside whole blocks): 80 16-bit samples (native byte order, 160 bytes) to 10 coded
// bytes, and back.
void EncodeCodecFrame(const unsigned char* pcm, unsigned char out[kFrameBytes]);
void DecodeCodecFrame(const unsigned char in[kFrameBytes], unsigned char* pcm);

// One lost frame through the library-wide decoder state: 80 samples rebuilt from its past.
void ConcealCodecFrame(unsigned char* pcm);

}  // namespace g729
