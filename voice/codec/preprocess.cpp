#include "voice/codec/preprocess.h"

#include "voice/codec/tables.h"

namespace g729 {

void HighPassInput(BiquadMemory& m, const double* in, double* out, int n)
{
    HighPassFilter(b140, a140, m, in, out, n);
}

}  // namespace g729
