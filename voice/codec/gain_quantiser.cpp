#include "voice/codec/gain_quantiser.h"

#include "voice/codec/gain.h"
#include "voice/codec/tables.h"

namespace g729 {
namespace {

constexpr double kPreselectScale = -0.032623;

// Zone (subframe-sized stretch of past excitation) that sample delay d falls in.
int Zone(int d)
{
    return d / kSubframe;
}

// Number of leading pre-selection thresholds that v passes (v and thresholds scaled by
// the predicted gain, whose sign decides the direction), at most count.
int CountPassed(double v, const double* thr, int count, double gcode0)
{
    int n = 0;
    while (n < count) {
        double t = thr[n] * gcode0;
        if (gcode0 > 0.0 ? v > t : v < t) {
            ++n;
        } else {
            break;
        }
    }
    return n;
}

// Error of the gain pair (gp, gc) under the correlations c.
double GainError(const GainTerms& g, double gp, double gc)
{
    const double* c = g.c;
    return c[0] * gp * gp + c[1] * gp + c[2] * gc * gc + c[3] * gc + c[4] * gp * gc;
}

}  // namespace

void CodeGainTerms(const double x[kSubframe], const double y[kSubframe], const double z[kSubframe],
                   GainTerms* g)
{
    double zz = kEnergyFloor, xz = 0.0, yz = 0.0;
    for (int i = 0; i < kSubframe; ++i) {
        zz += z[i] * z[i];
        xz += x[i] * z[i];
        yz += y[i] * z[i];
    }
    g->c[2] = zz;
    g->c[3] = -2.0 * xz;
    g->c[4] = 2.0 * yz;
}

int SelectGains(const double code[kSubframe], const GainTerms& g, bool taming,
                const double pastEnergy[kMaOrder])
{
    const double* c = g.c;
    double gcode0 = PredictGain(pastEnergy, code);

    // Unquantised optimum of the error (zero gradient), then pre-selection of 4 GA and 8 GB
    // entries around its projections onto the two codebooks' axes.
    double det = 4.0 * c[0] * c[2] - c[4] * c[4];
    double inv = det != 0.0 ? -1.0 / det : 0.0;
    double bestPitch = (2.0 * c[2] * c[1] - c[3] * c[4]) * inv;
    double bestCode = (2.0 * c[0] * c[3] - c[1] * c[4]) * inv;
    if (taming && bestPitch > kTameClip2)
        bestPitch = kTameClip2;
    double x = (bestCode - (coef[0][0] * bestPitch + coef[1][1]) * gcode0) * kPreselectScale;
    double y =
        (coef[1][0] * (-coef[0][1] + bestPitch * coef[0][0]) * gcode0 - coef[0][0] * bestCode) *
        kPreselectScale;
    int cand1 = CountPassed(y, thr1, kGainCb1 - kGainCand1, gcode0);
    int cand2 = CountPassed(x, thr2, kGainCb2 - kGainCand2, gcode0);

    int best1 = cand1, best2 = cand2;
    double bestErr = kFloatMax;
    for (int i = cand1; i < cand1 + kGainCand1; ++i) {
        for (int j = cand2; j < cand2 + kGainCand2; ++j) {
            double gp = gbk1[i][0] + gbk2[j][0];
            if (taming && gp >= kTameLimit)
                continue;
            double gc = gcode0 * (gbk1[i][1] + gbk2[j][1]);
            double err = GainError(g, gp, gc);
            if (err < bestErr) {
                bestErr = err;
                best1 = i;
                best2 = j;
            }
        }
    }
    return map1[best1] * kGainCb2 + map2[best2];
}

bool NeedsTaming(const double errors[kTamingZones], int t, int frac)
{
    int t1 = frac > 0 ? t + 1 : t;
    int from = t1 - kSubframe - kInterp10;
    if (from < 0)
        from = 0;
    double worst = -1.0;
    for (int z = Zone(t1 + kInterp10 - 2); z >= Zone(from); --z) {
        if (errors[z] > worst)
            worst = errors[z];
    }
    return worst > kTameThreshold;
}

void UpdateTamingErrors(double errors[kTamingZones], double gp, int t)
{
    double worst = -1.0;
    if (t < kSubframe) {
        // The delay reaches into the subframe itself: the error feeds back twice.
        double e = 1.0 + gp * errors[0];
        if (e > worst)
            worst = e;
        e = 1.0 + gp * e;
        if (e > worst)
            worst = e;
    } else {
        for (int z = Zone(t - kSubframe); z <= Zone(t - 1); ++z) {
            double e = 1.0 + gp * errors[z];
            if (e > worst)
                worst = e;
        }
    }
    for (int k = kTamingZones - 1; k > 0; --k)
        errors[k] = errors[k - 1];
    errors[0] = worst;
}

}  // namespace g729
