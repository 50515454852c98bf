#include "voice/codec/lsp_quantiser.h"

#include <cmath>

#include "voice/codec/lsp.h"
#include "voice/codec/tables.h"

namespace g729 {
namespace {

// The choice made for one MA predictor.
struct LsfCandidate {
    int first = 0, low = 0, high = 0;
    double distortion = 0.0;
};

double WeightFor(double spacing)
{
    double t = spacing - 1.0;
    return t > 0.0 ? 1.0 : kLsfWeightSlope * t * t + 1.0;
}

// First stage: nearest of the 128 vectors, unweighted.
int SearchFirstStage(const double target[kOrder])
{
    int best = 0;
    double bestDist = kFloatMax;
    for (int i = 0; i < kLspCb1Size; ++i) {
        double d = 0.0;
        for (int j = 0; j < kOrder; ++j) {
            double e = target[j] - lspcb1[i][j];
            d += e * e;
        }
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

// Second stage for coefficients from..from+4: weighted nearest of the 32 vectors to what the
// first stage left.
int SearchSecondStage(const double target[kOrder], const double w[kOrder], int first, int from)
{
    int best = 0;
    double bestDist = kFloatMax;
    for (int i = 0; i < kLspCb2Size; ++i) {
        double d = 0.0;
        for (int j = from; j < from + kLspHalf; ++j) {
            double e = target[j] - lspcb1[first][j] - lspcb2[i][j];
            d += w[j] * e * e;
        }
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

// Codebook search under one predictor; the distortion is measured on the rearranged sum (the
// decoder's residual), scaled back to the LSF domain.
LsfCandidate SearchPredictor(const double lsf[kOrder], const double w[kOrder],
                             const double memory[kMaOrder][kOrder], int mode)
{
    double target[kOrder];
    LsfPredictionResidual(lsf, memory, mode, target);
    LsfCandidate c;
    c.first = SearchFirstStage(target);
    c.low = SearchSecondStage(target, w, c.first, 0);
    c.high = SearchSecondStage(target, w, c.first, kLspHalf);
    double buf[kOrder];
    LsfResidual(c.first, c.low, c.high, buf);
    c.distortion = 0.0;
    for (int j = 0; j < kOrder; ++j) {
        double e = (buf[j] - target[j]) * fg_sum[mode][j];
        c.distortion += w[j] * e * e;
    }
    return c;
}

}  // namespace

void LsfWeights(const double lsf[kOrder], double w[kOrder])
{
    w[0] = WeightFor(lsf[1] - kLsfWeightLowEdge);
    for (int i = 1; i < kOrder - 1; ++i)
        w[i] = WeightFor(lsf[i + 1] - lsf[i - 1]);
    w[kOrder - 1] = WeightFor(kLsfWeightHighEdge - lsf[kOrder - 2]);
    w[4] *= kLsfWeightMiddle;
    w[5] *= kLsfWeightMiddle;
}

void SelectLspIndices(const double lsp[kOrder], const double memory[kMaOrder][kOrder], int prm[2])
{
    double lsf[kOrder];
    for (int j = 0; j < kOrder; ++j)
        lsf[j] = std::acos(lsp[j]);
    double w[kOrder];
    LsfWeights(lsf, w);

    LsfCandidate c[kMaPredictors];
    for (int mode = 0; mode < kMaPredictors; ++mode)
        c[mode] = SearchPredictor(lsf, w, memory, mode);
    int mode = c[1].distortion < c[0].distortion ? 1 : 0;

    prm[0] = (mode << 7) | c[mode].first;
    prm[1] = (c[mode].low << 5) | c[mode].high;
}

void QuantiseLsp(const double lsp[kOrder], double memory[kMaOrder][kOrder], double lspQ[kOrder],
                 int prm[2])
{
    SelectLspIndices(lsp, memory, prm);
    // The reconstruction is the decoder's own, so both sides keep identical MA memories.
    LspDecode(prm, memory, lspQ);
}

}  // namespace g729
