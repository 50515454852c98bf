#include "voice/codec/postfilter.h"

#include <cmath>
#include <cstring>

#include "voice/codec/filters.h"

namespace g729 {

void LongTermPostFilter(const double* res, int tMin, int tMax, int n, double* out)
{
    double best = -kFloatMax;
    int delay = tMin;
    for (int d = tMin; d <= tMax; ++d) {
        double c = 0.0;
        for (int i = 0; i < n; ++i)
            c += res[i] * res[i - d];
        if (c > best) {
            best = c;
            delay = d;
        }
    }
    double energyDelayed = kLtpEnergyFloor, energy = kLtpEnergyFloor;
    for (int i = 0; i < n; ++i) {
        energyDelayed += res[i - delay] * res[i - delay];
        energy += res[i] * res[i];
    }
    if (best < 0.0)
        best = 0.0;
    double gainNow = 1.0, gainPast = 0.0;
    if (best * best >= kLtpVoicing * energy * energyDelayed) {
        if (best > energyDelayed) {
            gainNow = 1.0 / (1.0 + kGammaPitch);
            gainPast = kGammaPitch / (1.0 + kGammaPitch);
        } else {
            double c = kGammaPitch * best;
            gainPast = c / (energyDelayed + c);
            gainNow = 1.0 - gainPast;
        }
    }
    for (int i = 0; i < n; ++i)
        out[i] = gainNow * res[i] + gainPast * res[i - delay];
}

double TiltFactor(const double num[kOrderP1], const double den[kOrderP1])
{
    double h[kImpulseLen] = {};
    for (int i = 0; i <= kOrder; ++i)
        h[i] = num[i];
    double zero[kOrder] = {};
    SynthesisFilter(den, h, h, kImpulseLen, zero, false);
    double r0 = 0.0, r1 = 0.0;
    for (int i = 0; i < kImpulseLen; ++i)
        r0 += h[i] * h[i];
    for (int i = 0; i < kImpulseLen - 1; ++i)
        r1 += h[i] * h[i + 1];
    return r1 > 0.0 ? kTiltFactor * r1 / r0 : 0.0;
}

void AdaptiveGainControl(const double* in, double* out, int n, double* gain)
{
    double energyOut = 0.0;
    for (int i = 0; i < n; ++i)
        energyOut += out[i] * out[i];
    if (energyOut == 0.0) {
        *gain = 0.0;
        return;
    }
    double energyIn = 0.0;
    for (int i = 0; i < n; ++i)
        energyIn += in[i] * in[i];
    double step = energyIn == 0.0 ? 0.0 : (1.0 - kAgcFactor) * std::sqrt(energyIn / energyOut);
    double g = *gain;
    for (int i = 0; i < n; ++i) {
        g = kAgcFactor * g + step;
        out[i] *= g;
    }
    *gain = g;
}

void PostFilterSubframe(PostFilterState& s, const double* synth, const double a[kOrderP1], int t,
                        double* out)
{
    double num[kOrderP1], den[kOrderP1];
    WeightLpc(a, kGammaNum, num);
    WeightLpc(a, kGammaDen, den);

    double* res = s.residual + kPitchMax;
    ResidualFilter(num, synth, res, kSubframe);

    int tMax = t + kPostPitchReach > kPitchMax ? kPitchMax : t + kPostPitchReach;
    double filtered[kSubframe];
    LongTermPostFilter(res, tMax - 2 * kPostPitchReach, tMax, kSubframe, filtered);

    double k = TiltFactor(num, den);
    double last = filtered[kSubframe - 1];
    for (int i = kSubframe - 1; i > 0; --i)
        filtered[i] -= k * filtered[i - 1];
    filtered[0] -= k * s.tiltMemory;
    s.tiltMemory = last;

    SynthesisFilter(den, filtered, out, kSubframe, s.poleMemory, true);
    AdaptiveGainControl(synth, out, kSubframe, &s.gain);

    std::memmove(s.residual, s.residual + kSubframe, kPitchMax * sizeof(double));
}

}  // namespace g729
