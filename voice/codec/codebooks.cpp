#include "voice/codec/codebooks.h"

#include "voice/codec/tables.h"

namespace g729 {
namespace {

// Shifts [start, start + len - 1] to lie within kPitchMin..kPitchMax.
PitchWindow Clamped(int start, int len)
{
    PitchWindow w{start, start + len - 1};
    if (w.min < kPitchMin) {
        w.min = kPitchMin;
        w.max = kPitchMin + len - 1;
    }
    if (w.max > kPitchMax) {
        w.max = kPitchMax;
        w.min = kPitchMax - len + 1;
    }
    return w;
}

}  // namespace

PitchWindow FirstSubframeWindow(int openLoop)
{
    return Clamped(openLoop - kFirstWindowReach, 2 * kFirstWindowReach + 1);
}

PitchWindow SecondSubframeWindow(int t1)
{
    return Clamped(t1 - kSecondWindowBefore, kSecondWindowLength);
}

int EncodeDelayFirst(int t, int frac)
{
    return t <= kIntegerDelayFrom ? kUpSample * t + frac - kFracDelayOffset
                                  : t + kIntegerDelayOffset;
}

void DecodeDelayFirst(int index, int* t, int* frac)
{
    if (index < kIntegerDelayIndex) {
        *t = (index + 2) / kUpSample + kPitchMin - 1;
        *frac = index - kUpSample * *t + kFracDelayOffset;
    } else {
        *t = index - kIntegerDelayOffset;
        *frac = 0;
    }
}

int EncodeDelaySecond(int t, int frac, PitchWindow w)
{
    return kUpSample * (t - w.min) + 2 + frac;
}

void DecodeDelaySecond(int index, int t1, int* t, int* frac)
{
    int k = (index + 2) / kUpSample - 1;
    *t = k + SecondSubframeWindow(t1).min;
    *frac = index - 2 - kUpSample * k;
}

int PitchParity(int index)
{
    int sum = 1;
    for (int bit = kParityFromBit; bit < kDelay1Bits; ++bit)
        sum += (index >> bit) & 1;
    return sum & 1;
}

bool PitchParityError(int p1, int parity)
{
    return PitchParity(p1) != (parity & 1);
}

void AdaptiveCodebookVector(double* exc, int t, int frac, int n)
{
    // The delay t + frac/3 is split into a start sample x0 and a filter phase 0..2 so that
    // the phase is never negative; each output sums 10 taps on either side of x0.
    const double* x0 = exc - t;
    int phase = -frac;
    if (phase < 0) {
        phase += kUpSample;
        --x0;
    }
    for (int j = 0; j < n; ++j, ++x0) {
        const double* left = x0;
        const double* right = x0 + 1;
        const double* c1 = &inter_3l[phase];
        const double* c2 = &inter_3l[kUpSample - phase];
        double s = 0.0;
        for (int i = 0, k = 0; i < kInterp10; ++i, k += kUpSample) {
            s += left[-i] * c1[k] + right[i] * c2[k];
        }
        exc[j] = s;
    }
}

void FixedCodebookVector(int positions, int signs, double code[kSubframe])
{
    int pos[kPulses];
    pos[0] = (positions & 7) * kPulseStep;
    pos[1] = ((positions >> 3) & 7) * kPulseStep + 1;
    pos[2] = ((positions >> 6) & 7) * kPulseStep + 2;
    pos[3] = ((positions >> 10) & 7) * kPulseStep + ((positions >> 9) & 1) + 3;
    for (int i = 0; i < kSubframe; ++i)
        code[i] = 0.0;
    for (int k = 0; k < kPulses; ++k)
        code[pos[k]] = ((signs >> k) & 1) ? 1.0 : -1.0;
}

void SharpenForPitch(double v[kSubframe], int t, double sharp)
{
    for (int i = t; i < kSubframe; ++i)
        v[i] += sharp * v[i - t];
}

double SharpeningFactor(double gainPitch)
{
    return gainPitch < kSharpMin ? kSharpMin : gainPitch > kSharpMax ? kSharpMax : gainPitch;
}

}  // namespace g729
