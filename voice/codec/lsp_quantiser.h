// LSP quantiser: two-stage vector quantisation of the LSFs with switched MA prediction.
#pragma once

#include "voice/codec/constants.h"

namespace g729 {

// Weights of the quantisation error per LSF (radians): larger where neighbouring LSFs are
// close (formant peaks), entries 4 and 5 emphasised.
void LsfWeights(const double lsf[kOrder], double w[kOrder]);

// Chooses the code for lsp (cosine domain) under the MA memory (four residuals, newest
// first): parameter 1 (predictor bit * 128 + first-stage index) and parameter 2 (lower * 32 +
// upper second-stage index) go to prm[0..1].
void SelectLspIndices(const double lsp[kOrder], const double memory[kMaOrder][kOrder], int prm[2]);

// SelectLspIndices, then the decoder's reconstruction: quantised LSPs to lspQ, memory
// advanced.
void QuantiseLsp(const double lsp[kOrder], double memory[kMaOrder][kOrder], double lspQ[kOrder],
                 int prm[2]);

}  // namespace g729
