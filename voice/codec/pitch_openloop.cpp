#include "voice/codec/pitch_openloop.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "voice/codec/constants.h"

namespace g729 {
namespace {

// Correlation of the frame with itself delayed by t, on even samples only.
double DecimatedCorrelation(const double* wsp, int t)
{
    double s = 0.0;
    for (int i = 0; i < kFrame; i += 2)
        s += wsp[i] * wsp[i - t];
    return s;
}

// Best delay in first..last (step apart), strict maximum so the first delay wins ties.
int BestDelay(const double* wsp, int first, int last, int step, double* best)
{
    int t = first;
    *best = -kFloatMax;
    for (int d = first; d <= last; d += step) {
        double c = DecimatedCorrelation(wsp, d);
        if (c > *best) {
            *best = c;
            t = d;
        }
    }
    return t;
}

// Normalises a correlation by the energy of the delayed signal.
double Normalised(const double* wsp, int t, double corr)
{
    double e = kEnergyFloor;
    for (int i = 0; i < kFrame; i += 2)
        e += wsp[i - t] * wsp[i - t];
    return corr / std::sqrt(e);
}

}  // namespace

int OpenLoopPitch(const double* wsp)
{
    double max1, max2, max3;
    int t1 = BestDelay(wsp, kPitchMin, kOpenLoopMiddle - 1, 1, &max1);
    int t2 = BestDelay(wsp, kOpenLoopMiddle, kOpenLoopTop - 1, 1, &max2);
    int t3 = BestDelay(wsp, kOpenLoopTop, kPitchMax - 1, kOpenLoopTopStep, &max3);
    // Refine the coarse upper range by one delay on either side.
    int centre = t3;
    for (int d : {centre + 1, centre - 1}) {
        double c = DecimatedCorrelation(wsp, d);
        if (c > max3) {
            max3 = c;
            t3 = d;
        }
    }
    max1 = Normalised(wsp, t1, max1);
    max2 = Normalised(wsp, t2, max2);
    max3 = Normalised(wsp, t3, max3);

    // Favour the shorter delays against their multiples. Each test adds independently.
    if (std::abs(2 * t2 - t3) < kDoubleTolerance)
        max2 += kFavourMiddle * max3;
    if (std::abs(3 * t2 - t3) < kTripleTolerance)
        max2 += kFavourMiddle * max3;
    if (std::abs(2 * t1 - t2) < kDoubleTolerance)
        max1 += kFavourLow * max2;
    if (std::abs(3 * t1 - t2) < kTripleTolerance)
        max1 += kFavourLow * max2;

    int t = t1;
    double best = max1;
    if (max2 > best) {
        best = max2;
        t = t2;
    }
    if (max3 > best)
        t = t3;
    return t;
}

}  // namespace g729
