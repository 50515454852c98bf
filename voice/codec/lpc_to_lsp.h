// Conversion of LP coefficients to line spectral pairs (cosine domain) by a Chebyshev root
// search on a fixed grid.
#pragma once

namespace g729 {

// Finds the 10 LSPs of A(z) = a[0..10], alternating between the roots of the symmetric
// and antisymmetric polynomials. Returns false, and copies lspPrev into lsp, when fewer than
// 10 roots are found.
bool LpcToLsp(const double a[11], const double lspPrev[10], double lsp[10]);

}  // namespace g729
