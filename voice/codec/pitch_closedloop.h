// Closed-loop (adaptive-codebook) pitch search, delay coding and the pitch parity bit.
#pragma once

namespace g729 {

// Delays searched in a subframe: min..max inclusive.
struct PitchWindow {
  int min;
  int max;
};

// Window of subframe 1: the open-loop delay +-3, moved to lie within 20..143.
PitchWindow FirstSubframeWindow(int openLoop);

// Window of subframe 2: 10 delays from T1 - 5, moved to lie within 20..143.
PitchWindow SecondSubframeWindow(int t1);

// Searches the adaptive codebook for the delay in w maximising the correlation with the
// backward-filtered target d: integer delay first, then fractions -1/3 and +1/3 (not in
// subframe 1 when the delay exceeds 84). exc points to the subframe in the excitation
// history; on return exc[0..39] holds the chosen adaptive-codebook vector. Returns the
// integer delay and writes the fraction (-1, 0, 1) to *frac.
int SearchAdaptiveCodebook(double* exc, const double d[40], PitchWindow w, bool firstSubframe,
                           int* frac);

// Delay index: subframe 1 (8 bits) 3T + frac - 58 up to T = 85, T + 112 above; subframe 2
// (5 bits) relative to the start of its window.
int EncodeDelayFirst(int t, int frac);
int EncodeDelaySecond(int t, int frac, PitchWindow w);

// Parity bit of a subframe-1 delay index: 1 plus the bits 2..7, modulo 2.
int PitchParity(int index);

// Adaptive-codebook gain xn.y / (y.y + 0.01) limited to 0..1.2. Writes y.y + 0.01 and
// -2 xn.y to corr[0..1] for the gain quantiser.
double AdaptiveGain(const double xn[40], const double y[40], double corr[2]);

}  // namespace g729
