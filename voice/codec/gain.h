// MA-predicted fixed-codebook gain and the two-stage gain codebook decoding.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Predicted fixed-codebook gain for the code vector code[0..39] from the past quantised
// energies (newest first): 10^(0.05 * (36 - 10 log10(E) + sum pred[k] * pastEnergy[k])),
// E = (0.01 + sum code^2) / 40.
double PredictGain(const double pastEnergy[kMaOrder], const double code[kSubframe]);

// Shifts the energy memory and stores energy (dB) as the newest value.
void PushGainEnergy(double pastEnergy[kMaOrder], double energy);

// Shifts the energy memory and stores 20*log10(correction) as the newest value.
void UpdateGainMemory(double pastEnergy[kMaOrder], double correction);

// Parameter 7 or 11 (GA index in the upper 3 bits, GB in the lower 4) -> pitch gain and
// code gain; updates the energy memory.
void DecodeGains(int index, double pastEnergy[kMaOrder], const double code[kSubframe],
                 double* gainPitch, double* gainCode);

}  // namespace g729
