#include "voice/codec/postprocess.h"

#include "voice/codec/tables.h"

namespace g729 {

void PostProcess(HighPassState& s, double* x, int n)
{
    HighPassFilter(b100, a100, s, x, x, n);
}

}  // namespace g729
