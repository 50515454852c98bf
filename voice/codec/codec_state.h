// The library-wide encoder state behind CAudioCode, and the reset used only by the codec's
// own tests and tools that need a state as fresh as after load. The voice library's exported
// interface does not reach these functions.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Sets the library-wide encoder and decoder states to their initial values.
void ResetCodecStates();

// The library-wide encoder state: initialise, and encode one frame of 80 unscaled samples.
void InitSpeechEncoder();
void EncodeSpeechFrame(const double speech[kFrame], int prm[kParams]);

// One frame through the library-wide decoder state (for frames outside whole blocks).
void DecodeSpeechFrame(const int prm[kParams], double out[kFrame]);

}  // namespace g729
