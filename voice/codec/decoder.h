// Frame decoder: eleven parameters -> 80 samples after post-filter and post-processing.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/postfilter.h"
#include "voice/codec/postprocess.h"

namespace g729 {

struct DecoderState {
  double excitation[kExcHistory + kFrame];  // 154 past samples, then the current frame
  double synthHistory[kOrder];              // last 10 synthesis samples of the last frame
  double synthMemory[kOrder];               // 1/A(z) memory
  double lspOld[kOrder];
  double lsfMemory[kMaOrder][kOrder];       // MA predictor memory, newest first
  double pastEnergy[kMaOrder];              // quantised gain energies, newest first
  double sharp;                             // pitch sharpening factor
  int previousDelay;
  PostFilterState post;
  HighPassState highPass;
};

void InitDecoder(DecoderState& s);

// Decodes one frame (bad-frame indicator clear) into out[0..79], unscaled 16-bit range.
// When delays is given it receives the integer pitch delays of the two subframes.
void DecodeFrame(DecoderState& s, const int prm[kParams], double out[kFrame],
                 int* delays = nullptr);

// True when parameter 4 contradicts the parity of bits 2..7 of parameter 3.
bool PitchParityError(int p1, int parity);

// Subframe-1 delay index (parameter 3) -> integer delay and fraction -1..1.
void DecodeDelay1(int index, int* T, int* frac);

// Subframe-2 delay index (parameter 8) relative to the subframe-1 integer delay T1.
void DecodeDelay2(int index, int T1, int* T, int* frac);

// Fixed-codebook vector of 4 signed unit pulses from parameters 5/9 (positions) and
// 6/10 (signs).
void FixedCodebookVector(int positions, int signs, double code[kSubframe]);

}  // namespace g729
