// Decoder post-filter: long-term, tilt compensation, short-term, adaptive gain control.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/states.h"

namespace g729 {

// Filters one subframe. synth points to the 40 decoded samples, with the 10 samples before
// them readable at synth[-10..-1]; a holds the subframe's LP coefficients, t its integer
// pitch delay. Writes 40 samples to out.
void PostFilterSubframe(PostFilterState& s, const double* synth, const double a[kOrderP1], int t,
                        double* out);

// Long-term post-filter on res[0..n-1] (res[-143..-1] readable) with delays tMin..tMax.
void LongTermPostFilter(const double* res, int tMin, int tMax, int n, double* out);

// Tilt compensation factor k of A(z/0.55)/A(z/0.7): 0.8 r1/r0 when r1 > 0, else 0.
double TiltFactor(const double num[kOrderP1], const double den[kOrderP1]);

// Scales out[0..n-1] so its energy follows in[0..n-1]; gain carries between calls.
void AdaptiveGainControl(const double* in, double* out, int n, double* gain);

}  // namespace g729
