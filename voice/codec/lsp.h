// Line spectral pairs: decoding, MA prediction, stability, interpolation and conversion to LP.
// LSFs are frequencies in radians (0..pi); LSPs are their cosines.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// LP coefficients a[0..10] (a[0] = 1) of the polynomial whose line spectral pairs are lsp.
void LspToLpc(const double lsp[kOrder], double a[kOrderP1]);

// aq[0..10]: LP coefficients of subframe 1 from the mean of lspOld and lspNew;
// aq[11..21]: those of subframe 2 from lspNew.
void InterpolateLsp(const double lspOld[kOrder], const double lspNew[kOrder],
                    double aq[kSubframes * kOrderP1]);

// Pushes neighbouring coefficients apart until each pair is at least gap apart
// (one pass of the codebook rearrangement; called with 0.0012 and then 0.0006).
void RearrangeLsf(double buf[kOrder], double gap);

// Stability step: one pass over the neighbours from the lowest up, swapping each pair that is
// out of order (not a full sort: a value can move down by one place only), then a floor of
// 0.005 on the first ("warning LSP Low \n"), minimum gaps of 0.0392, a ceiling of 3.135 on
// the last ("warning LSP High \n"). Warnings go to stdout.
void StabiliseLsf(double lsf[kOrder]);

// MA prediction: lsf = fg_sum[mode] * residual + sum_k fg[mode][k] * memory[k].
void ComposeLsf(const double residual[kOrder], const double memory[kMaOrder][kOrder], int mode,
                double lsf[kOrder]);

// The inverse of ComposeLsf: the residual that the MA prediction of mode turns into lsf (the
// quantiser's target, and what a lost frame pushes into the decoder's memory).
void LsfPredictionResidual(const double lsf[kOrder], const double memory[kMaOrder][kOrder],
                           int mode, double residual[kOrder]);

// Shifts the residual memory (newest first) and stores residual as the newest entry.
void UpdateLsfMemory(double memory[kMaOrder][kOrder], const double residual[kOrder]);

// Decoder path: parameters 1 and 2 -> quantised LSFs after the stability step, and the MA
// predictor (0 or 1) they chose. Updates memory.
int LsfDecode(const int prm[2], double memory[kMaOrder][kOrder], double lsf[kOrder]);

// LsfDecode followed by the conversion to LSPs (cosine domain).
void LspDecode(const int prm[2], double memory[kMaOrder][kOrder], double lsp[kOrder]);

// LSFs (radians) -> LSPs (their cosines).
void LsfToLsp(const double lsf[kOrder], double lsp[kOrder]);

// The codebook residual of parameters 1 and 2 (first stage + both second-stage halves,
// rearranged), as used by LspDecode and by the quantiser's final reconstruction.
void LsfResidual(int index1, int indexLow, int indexHigh, double residual[kOrder]);

}  // namespace g729
