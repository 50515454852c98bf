// Linear filters shared by the encoder and the decoder.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// y[i] = sum_{j=0..10} a[j] * x[i-j] for i = 0..n-1; reads x[-10..n-1].
void ResidualFilter(const double a[kOrderP1], const double* x, double* y, int n);

// All-pole filter 1/A(z): y[i] = x[i] - sum_{j=1..10} a[j] * y[i-j]. mem holds the last 10
// outputs of the previous call, oldest first; with updateMem it receives the last 10 of y.
// x and y may be the same buffer.
void SynthesisFilter(const double a[kOrderP1], const double* x, double* y, int n,
                     double mem[kOrder], bool updateMem);

// out[i] = a[i] * gamma^i (coefficients of A(z/gamma)).
void WeightLpc(const double a[kOrderP1], double gamma, double out[kOrderP1]);

// Memory of a second-order filter: the last two inputs and outputs.
struct BiquadMemory {
    double x1, x2, y1, y2;
};

// y[n] = b[0] x[n] + b[1] x[n-1] + b[2] x[n-2] + a[1] y[n-1] + a[2] y[n-2]; a holds the values
// added ({1, a1, a2}, as the high-pass tables store them). in and out may be the same buffer.
void HighPassFilter(const double b[3], const double a[3], BiquadMemory& m, const double* in,
                    double* out, int n);

}  // namespace g729
