// Input conditioning of the encoder: a second-order high-pass filter (cut-off about 140 Hz)
// that removes DC and low-frequency hum before analysis. The input is not scaled.
#pragma once

namespace g729 {

// The last two inputs and outputs of the filter.
struct HighPassMemory {
  double x1 = 0.0, x2 = 0.0;
  double y1 = 0.0, y2 = 0.0;
};

// Filters n samples from in to out (they may be the same buffer).
void HighPassInput(HighPassMemory& m, const double* in, double* out, int n);

}  // namespace g729
