#include "voice/codec/pitch_closedloop.h"

#include <initializer_list>

#include "voice/codec/constants.h"
#include "voice/codec/filters.h"

namespace g729 {
namespace {

double Dot(const double* a, const double* b) {
  double s = 0.0;
  for (int i = 0; i < kSubframe; ++i) s += a[i] * b[i];
  return s;
}

// Shifts [start, start + len - 1] to lie within kPitchMin..kPitchMax.
PitchWindow Clamped(int start, int len) {
  PitchWindow w{start, start + len - 1};
  if (w.min < kPitchMin) {
    w.min = kPitchMin;
    w.max = kPitchMin + len - 1;
  }
  if (w.max > kPitchMax) {
    w.max = kPitchMax;
    w.min = kPitchMax - len + 1;
  }
  return w;
}

}  // namespace

PitchWindow FirstSubframeWindow(int openLoop) { return Clamped(openLoop - 3, 7); }

PitchWindow SecondSubframeWindow(int t1) { return Clamped(t1 - 5, 10); }

int SearchAdaptiveCodebook(double* exc, const double d[40], PitchWindow w, bool firstSubframe,
                           int* frac) {
  // For delays below 40 the past excitation runs into the current subframe, which at this
  // point holds the LP residual: a cheap stand-in for the periodic extension.
  int t = w.min;
  double best = -kFloatMax;
  for (int k = w.min; k <= w.max; ++k) {
    double c = Dot(d, exc - k);
    if (c > best) {
      best = c;
      t = k;
    }
  }
  *frac = 0;
  AdaptiveCodebookVector(exc, t, 0, kSubframe);
  if (firstSubframe && t > 84) return t;
  best = Dot(d, exc);
  double kept[kSubframe];
  for (int i = 0; i < kSubframe; ++i) kept[i] = exc[i];
  for (int f : {-1, 1}) {
    AdaptiveCodebookVector(exc, t, f, kSubframe);
    double c = Dot(d, exc);
    if (c > best) {
      best = c;
      *frac = f;
      for (int i = 0; i < kSubframe; ++i) kept[i] = exc[i];
    }
  }
  for (int i = 0; i < kSubframe; ++i) exc[i] = kept[i];
  return t;
}

int EncodeDelayFirst(int t, int frac) { return t <= 85 ? 3 * t + frac - 58 : t + 112; }

int EncodeDelaySecond(int t, int frac, PitchWindow w) { return 3 * (t - w.min) + 2 + frac; }

int PitchParity(int index) {
  int sum = 1;
  for (int bit = 2; bit <= 7; ++bit) sum += (index >> bit) & 1;
  return sum & 1;
}

double AdaptiveGain(const double xn[40], const double y[40], double corr[2]) {
  double yy = 0.01 + Dot(y, y);
  double xy = Dot(xn, y);
  corr[0] = yy;
  corr[1] = -2.0 * xy;
  double g = xy / yy;
  if (g < 0.0) g = 0.0;
  if (g > kPitchGainMax) g = kPitchGainMax;
  return g;
}

}  // namespace g729
