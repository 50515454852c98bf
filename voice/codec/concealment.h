// Lost frames: what the decoder uses in place of the parameters it did not receive. Each step
// advances the decoder's memories as a received frame would, so the frames that follow decode
// from a past that continues what was played.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/states.h"

namespace g729 {

// Advances the 16-bit generator (seed * 31821 + 13849, modulo 2^16) and returns its new value.
unsigned NextRandom(unsigned* seed);

// Fixed-codebook parameters of a lost subframe: a random 13-bit position index, then 4 random
// sign bits.
void RandomCodebook(unsigned* seed, int* positions, int* signs);

// LSPs of a lost frame: the last good frame's again. The MA memory receives the residual that,
// with the last good frame's predictor, gives those LSFs, as if they had been decoded.
void ConcealLsp(const ConcealmentMemory& c, double memory[kMaOrder][kOrder], double lsp[kOrder]);

// Gains of a lost subframe from those of the previous subframe (kept in c): pitch gain x0.9,
// code gain x0.98. The energy memory receives the mean of its four values less 4 dB, at least
// -14 dB. The pitch gain has no bound of its own: the codebook's largest (1.2) decays to 1.08
// at most, and the reference decoder's output for lost frames follows the decayed gain
// unbounded (33.4 dB SNR on its erasure vector; a bound of 0.9 gives 27.3 dB).
void ConcealGains(ConcealmentMemory& c, double pastEnergy[kMaOrder], double* gainPitch,
                  double* gainCode);

}  // namespace g729
