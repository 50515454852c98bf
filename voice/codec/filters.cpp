#include "voice/codec/filters.h"

namespace g729 {

void ResidualFilter(const double a[kOrderP1], const double* x, double* y, int n)
{
    for (int i = 0; i < n; ++i) {
        double s = a[0] * x[i];
        for (int j = 1; j <= kOrder; ++j)
            s += a[j] * x[i - j];
        y[i] = s;
    }
}

void SynthesisFilter(const double a[kOrderP1], const double* x, double* y, int n,
                     double mem[kOrder], bool updateMem)
{
    // Outputs before y[0] come from the previous call's memory (copied, since y may alias x
    // and mem may be updated below).
    double head[kOrder];
    for (int j = 0; j < kOrder; ++j)
        head[j] = mem[j];
    for (int i = 0; i < n; ++i) {
        double s = x[i];
        for (int j = 1; j <= kOrder; ++j) {
            int k = i - j;
            s -= a[j] * (k >= 0 ? y[k] : head[kOrder + k]);
        }
        y[i] = s;
    }
    if (!updateMem)
        return;
    for (int j = 0; j < kOrder; ++j) {
        int k = n - kOrder + j;
        mem[j] = k >= 0 ? y[k] : head[kOrder + k];
    }
}

void WeightLpc(const double a[kOrderP1], double gamma, double out[kOrderP1])
{
    double g = 1.0;
    for (int i = 0; i <= kOrder; ++i) {
        out[i] = a[i] * g;
        g *= gamma;
    }
}

void HighPassFilter(const double b[3], const double a[3], BiquadMemory& m, const double* in,
                    double* out, int n)
{
    for (int i = 0; i < n; ++i) {
        double x = in[i];
        double y = b[0] * x + b[1] * m.x1 + b[2] * m.x2 + a[1] * m.y1 + a[2] * m.y2;
        m.x2 = m.x1;
        m.x1 = x;
        m.y2 = m.y1;
        m.y1 = y;
        out[i] = y;
    }
}

}  // namespace g729
