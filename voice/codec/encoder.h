// Frame encoder of the 8 kbit/s CS-ACELP codec (reduced-complexity form), in double
// precision: 80 samples in, the eleven frame parameters out.
//
// Against the reference bitstreams (16-bit fixed-point encoder) the parameters agree in part
// of the frames only: one choice a rounding apart changes the MA predictor and excitation
// memories for good. EncodeFrameFollowing measures each decision free of that drift.
// `g729a conform` prints both shares, the share of the encoder against itself with +-1 input
// dither, and the segmental SNR of the coded speech next to the reference's.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/states.h"

namespace g729 {

// Encodes 80 samples (16-bit values as doubles, unscaled) into prm[0..10].
void EncodeFrame(EncoderState& st, const double speech[kFrame], int prm[kParams]);

// Encodes like EncodeFrame and reports the encoder's own choices in prm, but carries every
// memory forward as if it had chosen the parameters in follow instead. Run over a reference
// bitstream, prm then shows each decision of the encoder against the reference's, free of
// the drift that one different choice causes in every later frame.
void EncodeFrameFollowing(EncoderState& st, const double speech[kFrame], const int follow[kParams],
                          int prm[kParams]);

}  // namespace g729
