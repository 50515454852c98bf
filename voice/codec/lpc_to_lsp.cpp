#include "voice/codec/lpc_to_lsp.h"

#include "voice/codec/tables.h"

namespace g729 {
namespace {

// Evaluates the order-5 polynomial f (in x = cos w) by the Chebyshev recurrence:
// C(x) = T5(x) + f1 T4(x) + ... + f4 T1(x) + f5 / 2.
double ChebyshevValue(double x, const double f[kLspHalf + 1])
{
    double x2 = 2.0 * x;
    double b2 = 1.0;
    double b1 = x2 + f[1];
    for (int i = 2; i < kLspHalf; ++i) {
        double b0 = x2 * b1 - b2 + f[i];
        b2 = b1;
        b1 = b0;
    }
    return x * b1 - b2 + 0.5 * f[kLspHalf];
}

// Sum and difference polynomials with the trivial roots at z = -1 and z = +1 removed:
// F1(z) = (A(z) + z^-11 A(1/z)) / (1 + z^-1), F2(z) = (A(z) - z^-11 A(1/z)) / (1 - z^-1).
void SumDifferencePolynomials(const double a[kOrderP1], double f1[kLspHalf + 1],
                              double f2[kLspHalf + 1])
{
    f1[0] = 1.0;
    f2[0] = 1.0;
    for (int i = 1, j = kOrder; i <= kLspHalf; ++i, --j) {
        f1[i] = a[i] + a[j] - f1[i - 1];
        f2[i] = a[i] - a[j] + f2[i - 1];
    }
}

}  // namespace

bool LpcToLsp(const double a[kOrderP1], const double lspPrev[kOrder], double lsp[kOrder])
{
    double f1[kLspHalf + 1], f2[kLspHalf + 1];
    SumDifferencePolynomials(a, f1, f2);
    const double* poly[2] = {f1, f2};

    int found = 0;
    int which = 0;
    double xLow = grid[0];
    double yLow = ChebyshevValue(xLow, poly[which]);
    // Every step moves on to the next grid point, also after a root: the next interval runs
    // from that root to the next grid point.
    for (int j = 1; j <= kGridPoints && found < kOrder; ++j) {
        double xHigh = xLow, yHigh = yLow;
        xLow = grid[j];
        yLow = ChebyshevValue(xLow, poly[which]);
        if (yLow * yHigh > 0.0)
            continue;
        // Sign change between the grid points: halve the interval twice, then interpolate.
        for (int step = 0; step < 2; ++step) {
            double xMid = 0.5 * (xLow + xHigh);
            double yMid = ChebyshevValue(xMid, poly[which]);
            if (yLow * yMid <= 0.0) {
                xHigh = xMid;
                yHigh = yMid;
            } else {
                xLow = xMid;
                yLow = yMid;
            }
        }
        double dy = yHigh - yLow;
        double root = dy != 0.0 ? xLow - yLow * (xHigh - xLow) / dy : xLow;
        lsp[found++] = root;
        // The roots of the two polynomials interlace: continue from this root on the other one.
        which = 1 - which;
        xLow = root;
        yLow = ChebyshevValue(xLow, poly[which]);
    }
    if (found == kOrder)
        return true;
    for (int i = 0; i < kOrder; ++i)
        lsp[i] = lspPrev[i];
    return false;
}

}  // namespace g729
