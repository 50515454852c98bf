#include "voice/codec/preprocess.h"

#include "voice/codec/tables.h"

namespace g729 {

// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] + a1 y[n-1] + a2 y[n-2], with the recursive
// coefficients stored as the values added (a140 = {1, a1, a2}).
void HighPassInput(HighPassMemory& m, const double* in, double* out, int n) {
  for (int i = 0; i < n; ++i) {
    double x0 = in[i];
    double y0 = a140[1] * m.y1 + a140[2] * m.y2 + b140[0] * x0 + b140[1] * m.x1 +
                b140[2] * m.x2;
    m.x2 = m.x1;
    m.x1 = x0;
    m.y2 = m.y1;
    m.y1 = y0;
    out[i] = y0;
  }
}

}  // namespace g729
