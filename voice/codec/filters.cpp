#include "voice/codec/filters.h"

#include "voice/codec/constants.h"
#include "voice/codec/tables.h"

namespace g729 {

void ResidualFilter(const double a[11], const double* x, double* y, int n) {
  for (int i = 0; i < n; ++i) {
    double s = a[0] * x[i];
    for (int j = 1; j <= kOrder; ++j) s += a[j] * x[i - j];
    y[i] = s;
  }
}

void SynthesisFilter(const double a[11], const double* x, double* y, int n, double mem[10],
                     bool updateMem) {
  // Outputs before y[0] come from the previous call's memory (copied, since y may alias x
  // and mem may be updated below).
  double head[kOrder];
  for (int j = 0; j < kOrder; ++j) head[j] = mem[j];
  for (int i = 0; i < n; ++i) {
    double s = x[i];
    for (int j = 1; j <= kOrder; ++j) {
      int k = i - j;
      s -= a[j] * (k >= 0 ? y[k] : head[kOrder + k]);
    }
    y[i] = s;
  }
  if (!updateMem) return;
  for (int j = 0; j < kOrder; ++j) {
    int k = n - kOrder + j;
    mem[j] = k >= 0 ? y[k] : head[kOrder + k];
  }
}

void WeightLpc(const double a[11], double gamma, double out[11]) {
  double g = 1.0;
  for (int i = 0; i <= kOrder; ++i) {
    out[i] = a[i] * g;
    g *= gamma;
  }
}

void AdaptiveCodebookVector(double* exc, int T, int frac, int n) {
  // The delay T + frac/3 is split into a start sample x0 and a filter phase 0..2 so that
  // the phase is never negative; each output sums 10 taps on either side of x0.
  const double* x0 = exc - T;
  int phase = -frac;
  if (phase < 0) {
    phase += kUpSample;
    --x0;
  }
  for (int j = 0; j < n; ++j, ++x0) {
    const double* left = x0;
    const double* right = x0 + 1;
    const double* c1 = &inter_3l[phase];
    const double* c2 = &inter_3l[kUpSample - phase];
    double s = 0.0;
    for (int i = 0, k = 0; i < kInterp10; ++i, k += kUpSample) {
      s += left[-i] * c1[k] + right[i] * c2[k];
    }
    exc[j] = s;
  }
}

void HighPassFilter(const double b[3], const double a[3], BiquadMemory& m, const double* in,
                    double* out, int n) {
  for (int i = 0; i < n; ++i) {
    double x = in[i];
    double y = b[0] * x + b[1] * m.x1 + b[2] * m.x2 + a[1] * m.y1 + a[2] * m.y2;
    m.x2 = m.x1;
    m.x1 = x;
    m.y2 = m.y1;
    m.y1 = y;
    out[i] = y;
  }
}

}  // namespace g729
