#include "voice/codec/lsp.h"

#include <cmath>
#include <cstdio>

#include "voice/codec/tables.h"

namespace g729 {
namespace {

// Coefficients f[0..5] of the symmetric (or antisymmetric) polynomial whose roots are the
// five LSPs lsp[0], lsp[2], ..., lsp[8]: the product of (1 - 2 lsp z^-1 + z^-2).
void PolynomialFromLsp(const double* lsp, double f[kLspHalf + 1])
{
    f[0] = 1.0;
    f[1] = -2.0 * lsp[0];
    for (int i = 2; i <= kLspHalf; ++i) {
        double b = -2.0 * lsp[2 * i - 2];
        f[i] = b * f[i - 1] + 2.0 * f[i - 2];
        for (int j = i - 1; j > 1; --j)
            f[j] += b * f[j - 1] + f[j - 2];
        f[1] += b;
    }
}

}  // namespace

void LspToLpc(const double lsp[kOrder], double a[kOrderP1])
{
    double f1[kLspHalf + 1], f2[kLspHalf + 1];
    PolynomialFromLsp(lsp, f1);
    PolynomialFromLsp(lsp + 1, f2);
    // Multiply F1 by (1 + z^-1) and F2 by (1 - z^-1).
    for (int i = kLspHalf; i > 0; --i) {
        f1[i] += f1[i - 1];
        f2[i] -= f2[i - 1];
    }
    a[0] = 1.0;
    for (int i = 1; i <= kLspHalf; ++i) {
        a[i] = 0.5 * (f1[i] + f2[i]);
        a[kOrderP1 - i] = 0.5 * (f1[i] - f2[i]);
    }
}

void InterpolateLsp(const double lspOld[kOrder], const double lspNew[kOrder],
                    double aq[kSubframes * kOrderP1])
{
    double mean[kOrder];
    for (int i = 0; i < kOrder; ++i)
        mean[i] = 0.5 * (lspOld[i] + lspNew[i]);
    LspToLpc(mean, aq);
    LspToLpc(lspNew, aq + kOrderP1);
}

void RearrangeLsf(double buf[kOrder], double gap)
{
    for (int j = 1; j < kOrder; ++j) {
        double half = 0.5 * (buf[j - 1] - buf[j] + gap);
        if (half > 0.0) {
            buf[j - 1] -= half;
            buf[j] += half;
        }
    }
}

void StabiliseLsf(double lsf[kOrder])
{
    // One pass of neighbour swaps.
    for (int j = 0; j < kOrder - 1; ++j) {
        if (lsf[j + 1] < lsf[j]) {
            double t = lsf[j + 1];
            lsf[j + 1] = lsf[j];
            lsf[j] = t;
        }
    }
    if (lsf[0] < kLsfLow) {
        lsf[0] = kLsfLow;
        std::fputs("warning LSP Low \n", stdout);
    }
    for (int j = 0; j < kOrder - 1; ++j) {
        if (lsf[j + 1] - lsf[j] < kLsfGap3)
            lsf[j + 1] = lsf[j] + kLsfGap3;
    }
    if (lsf[kOrder - 1] > kLsfHigh) {
        lsf[kOrder - 1] = kLsfHigh;
        std::fputs("warning LSP High \n", stdout);
    }
}

void ComposeLsf(const double residual[kOrder], const double memory[kMaOrder][kOrder], int mode,
                double lsf[kOrder])
{
    for (int j = 0; j < kOrder; ++j) {
        double s = residual[j] * fg_sum[mode][j];
        for (int k = 0; k < kMaOrder; ++k)
            s += memory[k][j] * fg[mode][k][j];
        lsf[j] = s;
    }
}

void LsfPredictionResidual(const double lsf[kOrder], const double memory[kMaOrder][kOrder],
                           int mode, double residual[kOrder])
{
    for (int j = 0; j < kOrder; ++j) {
        double s = lsf[j];
        for (int k = 0; k < kMaOrder; ++k)
            s -= fg[mode][k][j] * memory[k][j];
        residual[j] = s * fg_sum_inv[mode][j];
    }
}

void UpdateLsfMemory(double memory[kMaOrder][kOrder], const double residual[kOrder])
{
    for (int k = kMaOrder - 1; k > 0; --k) {
        for (int j = 0; j < kOrder; ++j)
            memory[k][j] = memory[k - 1][j];
    }
    for (int j = 0; j < kOrder; ++j)
        memory[0][j] = residual[j];
}

void LsfResidual(int index1, int indexLow, int indexHigh, double residual[kOrder])
{
    for (int j = 0; j < kLspHalf; ++j)
        residual[j] = lspcb1[index1][j] + lspcb2[indexLow][j];
    for (int j = kLspHalf; j < kOrder; ++j) {
        residual[j] = lspcb1[index1][j] + lspcb2[indexHigh][j];
    }
    RearrangeLsf(residual, kLsfGap1);
    RearrangeLsf(residual, kLsfGap2);
}

int LsfDecode(const int prm[2], double memory[kMaOrder][kOrder], double lsf[kOrder])
{
    int mode = (prm[0] >> 7) & 1;
    double residual[kOrder];
    LsfResidual(prm[0] & 0x7f, (prm[1] >> 5) & 0x1f, prm[1] & 0x1f, residual);
    ComposeLsf(residual, memory, mode, lsf);
    UpdateLsfMemory(memory, residual);
    StabiliseLsf(lsf);
    return mode;
}

void LspDecode(const int prm[2], double memory[kMaOrder][kOrder], double lsp[kOrder])
{
    double lsf[kOrder];
    LsfDecode(prm, memory, lsf);
    LsfToLsp(lsf, lsp);
}

void LsfToLsp(const double lsf[kOrder], double lsp[kOrder])
{
    for (int j = 0; j < kOrder; ++j)
        lsp[j] = std::cos(lsf[j]);
}

}  // namespace g729
