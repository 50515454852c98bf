// Closed-loop (adaptive-codebook) pitch search and the adaptive-codebook gain.
#pragma once

#include "voice/codec/codebooks.h"
#include "voice/codec/constants.h"

namespace g729 {

// Searches the adaptive codebook for the delay in w maximising the correlation with the
// backward-filtered target d: integer delay first, then fractions -1/3 and +1/3 (not in
// subframe 1 when the delay is 85 or more, which subframe 1 codes as integers only). exc
// points to the subframe in the excitation history; on return exc[0..39] holds the chosen
// adaptive-codebook vector. Returns the integer delay and writes the fraction (-1, 0, 1) to
// *frac.
int SearchAdaptiveCodebook(double* exc, const double d[kSubframe], PitchWindow w,
                           bool firstSubframe, int* frac);

// Adaptive-codebook gain xn.y / (y.y + 0.01) limited to 0..1.2. Writes y.y + 0.01 and
// -2 xn.y to corr[0..1] for the gain quantiser.
double AdaptiveGain(const double xn[kSubframe], const double y[kSubframe], double corr[2]);

}  // namespace g729
