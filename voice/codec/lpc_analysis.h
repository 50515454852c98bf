// Linear-prediction analysis of one 240-sample window: windowed autocorrelation, lag
// window, Levinson-Durbin recursion.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// r[0..10]: autocorrelation of the windowed signal x[0..239]; r[0] is raised to 1.0 when
// below it so a silent window still gives a usable filter.
void WindowedAutocorrelation(const double* x, double r[kOrderP1]);

// Multiplies r by the lag window (entry 0 is the white-noise correction).
void ApplyLagWindow(double r[kOrderP1]);

// Levinson-Durbin: LP coefficients a[0..10] (a[0] = 1) of the autocorrelation r; the
// prediction error is floored at 0.001. Returns the final prediction error.
double LevinsonDurbin(const double r[kOrderP1], double a[kOrderP1]);

// The three steps above on the analysis window.
void AnalyseLpc(const double* window, double a[kOrderP1]);

}  // namespace g729
