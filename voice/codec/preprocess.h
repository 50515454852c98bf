// Input conditioning of the encoder: a second-order high-pass filter (cut-off about 140 Hz)
// that removes DC and low-frequency hum before analysis. The input is not scaled.
#pragma once

#include "voice/codec/filters.h"

namespace g729 {

// Filters n samples from in to out (they may be the same buffer); m holds the last two
// inputs and outputs, zero at start.
void HighPassInput(BiquadMemory& m, const double* in, double* out, int n);

}  // namespace g729
