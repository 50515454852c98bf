// Gain quantisation (two-stage conjugate codebook with MA-predicted fixed-codebook energy)
// and the taming that keeps the adaptive-codebook feedback from building up.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Correlations of the target x, the filtered adaptive vector y and the filtered code
// vector z that define the error of a gain pair (gp, gc):
//   c[0] gp^2 + c[1] gp + c[2] gc^2 + c[3] gc + c[4] gp gc
// with c = {y.y, -2 x.y, z.z, -2 x.z, 2 y.z} (energies with a 0.01 floor).
struct GainTerms {
    double c[5];
};

// Fills c[2..4]; c[0..1] come from the adaptive gain computation.
void CodeGainTerms(const double x[kSubframe], const double y[kSubframe], const double z[kSubframe],
                   GainTerms* g);

// Chooses the gain pair and returns parameter 7 or 11 (mapped GA index * 16 + mapped GB
// index). code is the fixed-codebook vector, pastEnergy the quantised energies (newest
// first) that predict its gain. With taming, pitch gains of 0.9999 or more are excluded.
// The gains themselves, and the memory update, come from the decoder's DecodeGains.
int SelectGains(const double code[kSubframe], const GainTerms& g, bool taming,
                const double pastEnergy[kMaOrder]);

// Taming test for a subframe with delay t and fraction frac: does any stored excitation
// error in the reach of that delay exceed the threshold?
bool NeedsTaming(const double errors[kTamingZones], int t, int frac);

// Advances the excitation error estimate (four zones of 40 samples, newest first) after a
// subframe coded with pitch gain gp at integer delay t.
void UpdateTamingErrors(double errors[kTamingZones], double gp, int t);

}  // namespace g729
