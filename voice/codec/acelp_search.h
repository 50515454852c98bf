// Fixed (algebraic) codebook: 4 signed unit pulses in a 40-sample subframe, one per track
// (positions 0,5..35 / 1,6..36 / 2,7..37 / 3,8..38 and 4,9..39), found by a depth-first
// tree search.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// The chosen code vector of one subframe.
struct FixedCodeword {
    int positions;  // 13-bit position index (parameter 5 or 9)
    int signs;      // 4-bit sign index (parameter 6 or 10): bit k set for a positive pulse k
};

// Searches the codebook for the target x through the (sharpened) weighted synthesis
// impulse response h.
FixedCodeword SearchFixedCodebook(const double x[kSubframe], const double h[kSubframe]);

// The code vector of cw, sharpened for delay t, to code, and its response through h (the
// sharpened impulse response) to y.
void RenderFixedCodeword(FixedCodeword cw, const double h[kSubframe], int t, double sharp,
                         double code[kSubframe], double y[kSubframe]);

}  // namespace g729
