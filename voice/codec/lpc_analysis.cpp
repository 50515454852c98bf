#include "voice/codec/lpc_analysis.h"

#include "voice/codec/tables.h"

namespace g729 {

void WindowedAutocorrelation(const double* x, double r[kOrderP1])
{
    double y[kWindow];
    for (int i = 0; i < kWindow; ++i)
        y[i] = x[i] * hamwindow[i];
    for (int k = 0; k <= kOrder; ++k) {
        double s = 0.0;
        for (int j = 0; j < kWindow - k; ++j)
            s += y[j] * y[j + k];
        r[k] = s;
    }
    if (r[0] < kAutocorrFloor)
        r[0] = kAutocorrFloor;
}

void ApplyLagWindow(double r[kOrderP1])
{
    for (int k = 0; k <= kOrder; ++k)
        r[k] *= lwindow[k];
}

double LevinsonDurbin(const double r[kOrderP1], double a[kOrderP1])
{
    a[0] = 1.0;
    double k = -r[1] / r[0];
    a[1] = k;
    double err = r[0] + r[1] * k;
    for (int i = 2; i <= kOrder; ++i) {
        double s = 0.0;
        for (int j = 0; j < i; ++j)
            s += r[i - j] * a[j];
        k = -s / err;
        // Update a[1..i-1] in symmetric pairs so no copy of the old vector is needed.
        for (int j = 1; j <= i / 2; ++j) {
            int l = i - j;
            double aj = a[j] + k * a[l];
            a[l] += k * a[j];
            a[j] = aj;
        }
        a[i] = k;
        err += k * s;
        if (err < kLevinsonErrorFloor)
            err = kLevinsonErrorFloor;
    }
    return err;
}

void AnalyseLpc(const double* window, double a[kOrderP1])
{
    double r[kOrderP1];
    WindowedAutocorrelation(window, r);
    ApplyLagWindow(r);
    LevinsonDurbin(r, a);
}

}  // namespace g729
