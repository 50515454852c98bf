#include "voice/codec/pitch_closedloop.h"

#include <initializer_list>

namespace g729 {
namespace {

double Dot(const double* a, const double* b)
{
    double s = 0.0;
    for (int i = 0; i < kSubframe; ++i)
        s += a[i] * b[i];
    return s;
}

}  // namespace

int SearchAdaptiveCodebook(double* exc, const double d[kSubframe], PitchWindow w,
                           bool firstSubframe, int* frac)
{
    // For delays below 40 the past excitation runs into the current subframe, which at this
    // point holds the LP residual: a cheap stand-in for the periodic extension.
    int t = w.min;
    double best = -kFloatMax;
    for (int k = w.min; k <= w.max; ++k) {
        double c = Dot(d, exc - k);
        if (c > best) {
            best = c;
            t = k;
        }
    }
    *frac = 0;
    AdaptiveCodebookVector(exc, t, 0, kSubframe);
    if (firstSubframe && t >= kIntegerDelayFrom)
        return t;
    best = Dot(d, exc);
    double kept[kSubframe];
    for (int i = 0; i < kSubframe; ++i)
        kept[i] = exc[i];
    for (int f : {-1, 1}) {
        AdaptiveCodebookVector(exc, t, f, kSubframe);
        double c = Dot(d, exc);
        if (c > best) {
            best = c;
            *frac = f;
            for (int i = 0; i < kSubframe; ++i)
                kept[i] = exc[i];
        }
    }
    for (int i = 0; i < kSubframe; ++i)
        exc[i] = kept[i];
    return t;
}

double AdaptiveGain(const double xn[kSubframe], const double y[kSubframe], double corr[2])
{
    double yy = kEnergyFloor + Dot(y, y);
    double xy = Dot(xn, y);
    corr[0] = yy;
    corr[1] = -2.0 * xy;
    double g = xy / yy;
    if (g < 0.0)
        g = 0.0;
    if (g > kPitchGainMax)
        g = kPitchGainMax;
    return g;
}

}  // namespace g729
