// The two codebooks as both sides read them: the adaptive codebook (pitch delay windows, delay
// coding and parity, the fractional-delay vector) and the fixed codebook (the pulse vector of a
// codeword, pitch sharpening). The encoder searches them, the decoder rebuilds from them.
#pragma once

#include "voice/codec/constants.h"

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

// Delay index of subframe 1 (parameter 3, 8 bits): 3T + frac - 58 up to T = 85, T + 112
// above; and back to the integer delay and the fraction -1..1.
int EncodeDelayFirst(int t, int frac);
void DecodeDelayFirst(int index, int* t, int* frac);

// Delay index of subframe 2 (parameter 8, 5 bits) relative to the start of the window that
// the subframe-1 integer delay t1 gives; and back.
int EncodeDelaySecond(int t, int frac, PitchWindow w);
void DecodeDelaySecond(int index, int t1, int* t, int* frac);

// Parity bit of a subframe-1 delay index (parameter 4): 1 plus the bits 2..7, modulo 2.
int PitchParity(int index);

// True when parameter 4 contradicts the parity of bits 2..7 of parameter 3.
bool PitchParityError(int p1, int parity);

// Writes exc[0..n-1] as the past excitation at delay t + frac/3 (frac in -1..1), read from
// exc[-t-10 ..] through the 1/3-resolution interpolation filter. For t < n the vector reads
// samples it has just written, as the adaptive codebook requires.
void AdaptiveCodebookVector(double* exc, int t, int frac, int n);

// Fixed-codebook vector of 4 signed unit pulses from parameters 5/9 (positions) and
// 6/10 (signs: bit k set for a positive pulse k). Pulse k lies on track k (positions k mod 5),
// pulse 3 on positions 3 or 4 mod 5.
void FixedCodebookVector(int positions, int signs, double code[kSubframe]);

// Pitch sharpening of the codebook: when the pitch delay t is below 40, every code vector
// c is used as c[n] + sharp * c[n - t] (in place, n = t..39); the encoder's search sees it
// through the impulse response sharpened the same way.
void SharpenForPitch(double v[kSubframe], int t, double sharp);

// Sharpening factor of the next subframe: the pitch gain limited to 0.2..0.7945.
double SharpeningFactor(double gainPitch);

}  // namespace g729
