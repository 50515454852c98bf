// Fixed (algebraic) codebook: 4 signed unit pulses in a 40-sample subframe, one per track
// (positions 0,5..35 / 1,6..36 / 2,7..37 / 3,8..38 and 4,9..39), found by a depth-first
// tree search.
#pragma once

namespace g729 {

// The chosen code vector of one subframe.
struct FixedCodeword {
  int positions;  // 13-bit position index (parameter 5 or 9)
  int signs;      // 4-bit sign index (parameter 6 or 10): bit k set for a positive pulse k
};

// Pitch sharpening of the codebook: when the pitch delay t is below 40, every code vector
// c is used as c[n] + sharp * c[n - t] (in place, n = t..39); the search sees it through the
// impulse response h sharpened the same way.
void SharpenForPitch(double v[40], int t, double sharp);

// Sharpening factor of the next subframe: the pitch gain limited to 0.2..0.7945.
double SharpeningFactor(double gainPitch);

// Searches the codebook for the target x through the (sharpened) weighted synthesis
// impulse response h.
FixedCodeword SearchFixedCodebook(const double x[40], const double h[40]);

// The code vector of cw, sharpened for delay t, to code, and its response through h (the
// sharpened impulse response) to y.
void RenderFixedCodeword(FixedCodeword cw, const double h[40], int t, double sharp,
                         double code[40], double y[40]);

}  // namespace g729
