#include "voice/codec/weighting.h"

#include "voice/codec/filters.h"

namespace g729 {

void WeightSpeech(const double aq[kSubframes * kOrderP1], const double* speech, double* residual,
                  double* wsp, double mem[kOrder])
{
    for (int s = 0; s < kSubframes; ++s) {
        const double* a = aq + s * kOrderP1;
        int at = s * kSubframe;
        ResidualFilter(a, speech + at, residual + at, kSubframe);
        double w[kOrderP1], tilted[kOrderP1];
        WeightLpc(a, kGamma1, w);
        tilted[0] = 1.0;
        for (int i = 1; i <= kOrder; ++i)
            tilted[i] = w[i] - kWeightTilt * w[i - 1];
        SynthesisFilter(tilted, residual + at, wsp + at, kSubframe, mem, true);
    }
}

void ImpulseResponse(const double ap[kOrderP1], double h[kSubframe])
{
    double x[kSubframe] = {1.0};
    double zero[kOrder] = {};
    SynthesisFilter(ap, x, h, kSubframe, zero, false);
}

void BackwardFilter(const double h[kSubframe], const double x[kSubframe], double d[kSubframe])
{
    for (int i = 0; i < kSubframe; ++i) {
        double s = 0.0;
        for (int n = i; n < kSubframe; ++n)
            s += x[n] * h[n - i];
        d[i] = s;
    }
}

}  // namespace g729
