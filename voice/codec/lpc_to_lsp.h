// Conversion of LP coefficients to line spectral pairs (cosine domain) by a Chebyshev root
// search on a fixed grid.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Finds the 10 LSPs of A(z) = a[0..10], alternating between the roots of the symmetric
// and antisymmetric polynomials. Returns false, and copies lspPrev into lsp, when fewer than
// 10 roots are found.
bool LpcToLsp(const double a[kOrderP1], const double lspPrev[kOrder], double lsp[kOrder]);

}  // namespace g729
