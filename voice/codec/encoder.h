// Frame encoder of the 8 kbit/s CS-ACELP codec (reduced-complexity form), in double
// precision: 80 samples in, the eleven frame parameters out.
//
// Against the reference bitstreams (16-bit fixed-point encoder) this encoder agrees on
// parameters 1 / 3 of speech.in in 48% / 39% of frames when running on its own, and in
// 89.5% / 78% when following the reference (EncodeFrameFollowing): one differing choice
// changes the MA predictor and excitation memories for good, so the free share stays near that
// of the encoder against itself with +-1 input dither (50% / 41%). The coded speech scores
// the reference's segmental SNR (4.96 dB both). `g729a conform` prints these figures.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/preprocess.h"

namespace g729 {

// Every memory of the encoder. One instance codes one stream of frames.
struct EncoderState {
  // High-passed speech: [0, 120) past, [120, 200) the frame being coded, [200, 240)
  // look-ahead. The newest input frame lands at [160, 240).
  double speech[kWindow];
  // Weighted speech: 143 past samples, then the current frame.
  double wsp[kPitchMax + kFrame];
  // Excitation: 154 past samples (143 + the reach of the interpolation filter), then the
  // current frame.
  double exc[kExcHistory + kFrame];
  double memWeighted[kOrder];  // 1/A'(z) of the weighted speech
  double memError[kOrder];     // weighted error, for the target of the next subframe
  double lspOld[kOrder];       // previous unquantised LSPs
  double lspOldQ[kOrder];      // previous quantised LSPs
  double lsfMemory[kMaOrder][kOrder];  // MA predictor memory (newest first)
  double pastEnergy[kMaOrder];         // quantised gain energies in dB (newest first)
  double sharpening;                   // pitch sharpening of the fixed codebook
  double tamingErrors[4];              // excitation error estimate per 40-sample zone
  BiquadMemory highPass;               // input high-pass filter
};

void InitEncoder(EncoderState& st);

// Encodes 80 samples (16-bit values as doubles, unscaled) into prm[0..10].
void EncodeFrame(EncoderState& st, const double speech[80], int prm[11]);

// Encodes like EncodeFrame and reports the encoder's own choices in prm, but carries every
// memory forward as if it had chosen the parameters in follow instead. Run over a reference
// bitstream, prm then shows each decision of the encoder against the reference's, free of
// the drift that one different choice causes in every later frame.
void EncodeFrameFollowing(EncoderState& st, const double speech[80], const int follow[11],
                          int prm[11]);

}  // namespace g729
