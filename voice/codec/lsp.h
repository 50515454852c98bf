// Line spectral pairs: decoding, MA prediction, stability, interpolation and conversion to LP.
// LSFs are frequencies in radians (0..pi); LSPs are their cosines.
#pragma once

namespace g729 {

// LP coefficients a[0..10] (a[0] = 1) of the polynomial whose line spectral pairs are lsp.
void LspToLpc(const double lsp[10], double a[11]);

// aq[0..10]: LP coefficients of subframe 1 from the mean of lspOld and lspNew;
// aq[11..21]: those of subframe 2 from lspNew.
void InterpolateLsp(const double lspOld[10], const double lspNew[10], double aq[22]);

// Pushes neighbouring coefficients apart until each pair is at least gap apart
// (one pass of the codebook rearrangement; called with 0.0012 and then 0.0006).
void RearrangeLsf(double buf[10], double gap);

// Stability step: sort, floor of 0.005 on the first ("warning LSP Low \n"), minimum gaps
// of 0.0392, ceiling of 3.135 on the last ("warning LSP High \n"). Warnings go to stdout.
void StabiliseLsf(double lsf[10]);

// MA prediction: lsf = fg_sum[mode] * residual + sum_k fg[mode][k] * memory[k].
void ComposeLsf(const double residual[10], const double memory[4][10], int mode,
                double lsf[10]);

// Shifts the residual memory (newest first) and stores residual as the newest entry.
void UpdateLsfMemory(double memory[4][10], const double residual[10]);

// Decoder path: parameters 1 and 2 -> quantised LSPs (cosine domain). Updates memory.
void LspDecode(const int prm[2], double memory[4][10], double lsp[10]);

// The codebook residual of parameters 1 and 2 (first stage + both second-stage halves,
// rearranged), as used by LspDecode and by the quantiser's final reconstruction.
void LsfResidual(int index1, int indexLow, int indexHigh, double residual[10]);

}  // namespace g729
