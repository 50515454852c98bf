// Perceptual weighting: the weighted speech of a frame, and the impulse response and
// backward filtering through the weighted synthesis filter 1/A(z/0.75) of a subframe.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// For each subframe s (LP coefficients aq[11 s .. 11 s + 10]): the residual of
// speech[40 s ..] through A(z) goes to residual[40 s ..], and that residual filtered through
// 1/A'(z) to wsp[40 s ..], where a'[i] = w[i] - 0.7 w[i-1] and w = A(z/0.75). Reads
// speech[-10..79]; mem is the 1/A'(z) memory, carried from call to call.
void WeightSpeech(const double aq[kSubframes * kOrderP1], const double* speech, double* residual,
                  double* wsp, double mem[kOrder]);

// The first 40 samples of the impulse response of 1/ap(z).
void ImpulseResponse(const double ap[kOrderP1], double h[kSubframe]);

// d[i] = sum_{n=i..39} x[n] h[n-i]: the target correlated with the shifted impulse response.
void BackwardFilter(const double h[kSubframe], const double x[kSubframe], double d[kSubframe]);

}  // namespace g729
