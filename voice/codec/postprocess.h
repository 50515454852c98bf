// Output post-processing of the decoder: a second-order 100 Hz high-pass, without gain.
#pragma once

#include "voice/codec/filters.h"

namespace g729 {

using HighPassState = BiquadMemory;

// Filters x[0..n-1] in place.
void PostProcess(HighPassState& s, double* x, int n);

}  // namespace g729
