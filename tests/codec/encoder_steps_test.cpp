// The encoder's analysis and search steps on signals whose right answer is known.
#include <gtest/gtest.h>

#include <cmath>

#include "voice/codec/acelp_search.h"
#include "voice/codec/codebooks.h"
#include "voice/codec/constants.h"
#include "voice/codec/filters.h"
#include "voice/codec/gain.h"
#include "voice/codec/gain_quantiser.h"
#include "voice/codec/lpc_analysis.h"
#include "voice/codec/lpc_to_lsp.h"
#include "voice/codec/lsp.h"
#include "voice/codec/lsp_quantiser.h"
#include "voice/codec/pitch_closedloop.h"
#include "voice/codec/pitch_openloop.h"
#include "voice/codec/preprocess.h"
#include "voice/codec/tables.h"
#include "voice/codec/weighting.h"

namespace {

using namespace g729;

constexpr double kTwoPi = 6.283185307179586;

TEST(EncoderHighPass, RemovesDcAndPassesSpeechBand)
{
    BiquadMemory m{};
    double dc[800], out[800];
    for (double& v : dc)
        v = 1000.0;
    HighPassInput(m, dc, out, 800);
    EXPECT_LT(std::fabs(out[799]), 15.0);  // the rounded coefficients leave 1% of DC

    BiquadMemory m2{};
    double tone[800];
    for (int i = 0; i < 800; ++i)
        tone[i] = 1000.0 * std::sin(kTwoPi * 1000.0 * i / 8000.0);
    HighPassInput(m2, tone, out, 800);
    double peak = 0.0;
    for (int i = 400; i < 800; ++i)
        peak = std::fmax(peak, std::fabs(out[i]));
    EXPECT_NEAR(1000.0, peak, 60.0);  // not halved, no other scaling
}

TEST(EncoderLpc, LevinsonSolvesFirstOrderProcess)
{
    // Autocorrelation of an AR(1) process with coefficient 0.9: A(z) = 1 - 0.9 z^-1.
    double r[11], a[11];
    for (int k = 0; k <= 10; ++k)
        r[k] = std::pow(0.9, k);
    LevinsonDurbin(r, a);
    EXPECT_DOUBLE_EQ(1.0, a[0]);
    EXPECT_NEAR(-0.9, a[1], 1e-12);
    for (int k = 2; k <= 10; ++k)
        EXPECT_NEAR(0.0, a[k], 1e-12) << k;
}

TEST(EncoderLpc, SilentWindowGivesFlatFilter)
{
    double x[kWindow] = {};
    double a[11];
    AnalyseLpc(x, a);
    EXPECT_DOUBLE_EQ(1.0, a[0]);
    for (int k = 1; k <= 10; ++k)
        EXPECT_DOUBLE_EQ(0.0, a[k]);
}

// LSPs of ten well-spread frequencies (radians).
void SpreadLsp(double lsp[10])
{
    const double lsf[10] = {0.25, 0.45, 0.8, 1.05, 1.4, 1.7, 2.0, 2.3, 2.55, 2.85};
    for (int j = 0; j < 10; ++j)
        lsp[j] = std::cos(lsf[j]);
}

TEST(EncoderLsp, RootSearchRecoversTheLspsOfAFilter)
{
    // Well spread; and with LSFs 5 and 6 (one root of each polynomial) inside one interval of
    // the search grid (25 pi/50 .. 26 pi/50), and so LSFs 7 and 8 (31 pi/50 .. 32 pi/50).
    const double sets[][10] = {{0.25, 0.45, 0.8, 1.05, 1.4, 1.7, 2.0, 2.3, 2.55, 2.85},
                               {0.25, 0.45, 0.8, 1.05, 1.58, 1.62, 1.95, 1.99, 2.55, 2.85}};
    for (const auto& lsf : sets) {
        double lsp[10], a[11], found[10];
        for (int j = 0; j < 10; ++j)
            lsp[j] = std::cos(lsf[j]);
        LspToLpc(lsp, a);
        ASSERT_TRUE(LpcToLsp(a, lsp_reset, found)) << lsf[4];
        for (int j = 0; j < 10; ++j)
            EXPECT_NEAR(lsp[j], found[j], 2e-3) << lsf[4] << " " << j;
    }
}

TEST(EncoderLsp, RootSearchFallsBackToThePreviousLsps)
{
    // An unstable filter (a root outside the unit circle) has fewer than 10 roots on the grid.
    double a[11] = {1.0, -3.0, 3.0, -1.0, 0, 0, 0, 0, 0, 0, 0};
    double found[10];
    EXPECT_FALSE(LpcToLsp(a, lsp_reset, found));
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(lsp_reset[j], found[j]);
}

TEST(EncoderLsp, QuantiserStaysCloseAndCodesInRange)
{
    double memory[4][10];
    for (auto& row : memory) {
        for (int j = 0; j < 10; ++j)
            row[j] = freq_prev_reset[j];
    }
    double lsp[10], lspQ[10];
    SpreadLsp(lsp);
    // Several frames of the same spectrum: the MA memory settles and the error stays small.
    for (int frame = 0; frame < 6; ++frame) {
        int prm[2];
        QuantiseLsp(lsp, memory, lspQ, prm);
        ASSERT_GE(prm[0], 0);
        ASSERT_LT(prm[0], 256);
        ASSERT_GE(prm[1], 0);
        ASSERT_LT(prm[1], 1024);
        for (int j = 0; j < 10; ++j) {
            EXPECT_NEAR(std::acos(lsp[j]), std::acos(lspQ[j]), 0.08)
                << "frame " << frame << " lsf " << j;
        }
    }
    // The quantised LSPs are what a decoder rebuilds from the two parameters.
    double decMemory[4][10];
    for (auto& row : decMemory) {
        for (int j = 0; j < 10; ++j)
            row[j] = freq_prev_reset[j];
    }
    double encMemory[4][10];
    for (int k = 0; k < 4; ++k) {
        for (int j = 0; j < 10; ++j)
            encMemory[k][j] = decMemory[k][j];
    }
    int prm[2];
    double decoded[10];
    QuantiseLsp(lsp, encMemory, lspQ, prm);
    LspDecode(prm, decMemory, decoded);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(lspQ[j], decoded[j]);
}

TEST(EncoderLsp, WeightsEmphasiseCloseNeighbours)
{
    // w = 10 (d - 1)^2 + 1 when the distance d between the two neighbours is below 1 rad,
    // else 1; the ends measure against 0.04 pi and 0.92 pi; entries 4 and 5 get 1.2 on top.
    const double lsf[10] = {0.2, 0.7, 1.3, 1.5, 1.6, 1.7, 2.0, 2.4, 2.5, 2.9};
    double w[10];
    LsfWeights(lsf, w);
    auto f = [](double d) { return d > 1.0 ? 1.0 : 10.0 * (d - 1.0) * (d - 1.0) + 1.0; };
    EXPECT_NEAR(f(0.7 - 0.04 * kPi), w[0], 1e-9);
    EXPECT_DOUBLE_EQ(1.0, w[1]);  // 1.3 - 0.2 > 1
    EXPECT_NEAR(f(0.8), w[2], 1e-9);
    EXPECT_NEAR(1.2 * f(0.2), w[4], 1e-9);
    EXPECT_NEAR(1.2 * f(0.4), w[5], 1e-9);
    EXPECT_NEAR(f(0.92 * kPi - 2.5), w[9], 1e-9);
    EXPECT_GT(w[4], w[2]);  // the tighter cluster weighs more
}

// Voiced-like signal: a pulse every `period` samples through a decaying resonance, one of
// them at sample 151 (an even sample of the frame, as the open-loop search sees only those).
void PulseTrain(int period, double* buf, int n)
{
    for (int i = 0; i < n; ++i) {
        int m = ((i - 151) % period + period) % period;
        buf[i] = 1000.0 * std::exp(-m / 8.0) * std::cos(0.6 * m);
    }
}

TEST(EncoderPitch, OpenLoopFindsThePeriodOfAVoicedSignal)
{
    for (int period : {25, 50, 90, 130}) {
        double buf[kPitchMax + kFrame];
        PulseTrain(period, buf, kPitchMax + kFrame);
        int t = OpenLoopPitch(buf + kPitchMax);
        // Multiples of the period correlate as well; the shorter delay must win.
        EXPECT_EQ(period, t) << "period " << period;
    }
}

TEST(EncoderPitch, SilenceGivesTheShortestDelay)
{
    double buf[kPitchMax + kFrame] = {};
    EXPECT_EQ(kPitchMin, OpenLoopPitch(buf + kPitchMax));
}

// Impulse response of a simple resonant weighted synthesis filter.
void ResonantImpulse(double h[40])
{
    double a[11] = {1.0, -1.2, 0.6, 0, 0, 0, 0, 0, 0, 0, 0};
    ImpulseResponse(a, h);
}

TEST(EncoderPitch, AdaptiveSearchFindsTheDelayOfThePeriodicPast)
{
    for (int period : {33, 57, 100}) {
        double buf[kExcHistory + kSubframe] = {};
        for (int i = 0; i < kExcHistory; ++i)
            buf[i] = (i % period == 0) ? 1000.0 : 50.0 * std::sin(i);
        double* exc = buf + kExcHistory;
        // Target: the filtered adaptive vector of the true delay.
        double h[40], v[40], xn[40], d[40];
        ResonantImpulse(h);
        for (int i = 0; i < 40; ++i)
            v[i] = exc[i - period];
        for (int i = 0; i < 40; ++i) {
            xn[i] = 0.0;
            for (int j = 0; j <= i; ++j)
                xn[i] += v[j] * h[i - j];
        }
        BackwardFilter(h, xn, d);
        int frac = 9;
        int t = SearchAdaptiveCodebook(exc, d, FirstSubframeWindow(period + 2), false, &frac);
        EXPECT_EQ(period, t);
        EXPECT_EQ(0, frac);
    }
}

TEST(EncoderFixedCodebook, PicksTheStrongestPositionOfEachTrack)
{
    // With h a unit impulse every code vector has the same energy, so the best one takes the
    // largest |target| of each track, with its sign.
    double h[40] = {1.0};
    double x[40];
    for (int i = 0; i < 40; ++i)
        x[i] = 10.0 + (i % 7);
    x[15] = 200.0;   // track 0
    x[31] = -300.0;  // track 1
    x[2] = 250.0;    // track 2
    x[39] = -400.0;  // track 3, second half
    FixedCodeword cw = SearchFixedCodebook(x, h);
    double code[40], y[40];
    RenderFixedCodeword(cw, h, 60, 0.5, code, y);
    for (int i = 0; i < 40; ++i) {
        double want = i == 15 || i == 2 ? 1.0 : i == 31 || i == 39 ? -1.0 : 0.0;
        EXPECT_EQ(want, code[i]) << i;
        EXPECT_EQ(want, y[i]) << i;
    }
}

TEST(EncoderFixedCodebook, FindsTheCodewordBehindItsFilteredVector)
{
    double h[40];
    ResonantImpulse(h);
    SharpenForPitch(h, 30, 0.5);
    const FixedCodeword want[] = {{0, 0}, {8191, 15}, {0x1a5b, 0x9}, {0x0e34, 0x6}};
    for (FixedCodeword cw : want) {
        double code[40], y[40];
        RenderFixedCodeword(cw, h, 30, 0.5, code, y);
        FixedCodeword got = SearchFixedCodebook(y, h);
        EXPECT_EQ(cw.positions, got.positions);
        EXPECT_EQ(cw.signs, got.signs);
        // Sharpening: each pulse is repeated 30 samples later at half amplitude.
        double plain[40];
        FixedCodebookVector(cw.positions, cw.signs, plain);
        for (int i = 30; i < 40; ++i)
            EXPECT_DOUBLE_EQ(plain[i] + 0.5 * plain[i - 30], code[i]);
    }
}

TEST(EncoderGains, TamingKeepsThePitchGainBelowOne)
{
    // Target: the adaptive part at gain 1.15 plus the code vector at its predicted gain (h is
    // a unit impulse, so the filtered code vector is the code vector).
    double past[4] = {-14, -14, -14, -14};
    double y[40], code[40], x[40];
    for (int i = 0; i < 40; ++i) {
        y[i] = 100.0 * std::sin(0.3 * i);
        code[i] = (i % 10 == 0) ? 1.0 : 0.0;
    }
    double g0 = PredictGain(past, code);
    for (int i = 0; i < 40; ++i)
        x[i] = 1.15 * y[i] + g0 * code[i];
    GainTerms g;
    AdaptiveGain(x, y, g.c);
    CodeGainTerms(x, y, code, &g);
    for (bool taming : {false, true}) {
        int index = SelectGains(code, g, taming, past);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 128);
        double energy[4] = {-14, -14, -14, -14};
        double gp, gc;
        DecodeGains(index, energy, code, &gp, &gc);
        if (taming) {
            EXPECT_LT(gp, 0.9999);
        } else {
            EXPECT_GT(gp, 1.0);
        }
    }
}

TEST(EncoderGains, TamingTestLooksOnlyAtTheZonesTheDelayReaches)
{
    double errors[4] = {1.0, 1.0, 1.0, 1.0e5};  // zone 3: delays around 120..152
    EXPECT_FALSE(NeedsTaming(errors, 30, 0));
    EXPECT_FALSE(NeedsTaming(errors, 100, 0));
    EXPECT_TRUE(NeedsTaming(errors, 143, 0));
    EXPECT_TRUE(NeedsTaming(errors, 111, 1));  // 112 reaches 120 through the interpolation filter
    EXPECT_FALSE(NeedsTaming(errors, 111, 0));
}

TEST(EncoderGains, TamingErrorGrowsWithHighGainsAndDecays)
{
    double errors[4] = {1.0, 1.0, 1.0, 1.0};
    int frames = 0;
    while (!NeedsTaming(errors, 30, 0) && frames < 100) {
        UpdateTamingErrors(errors, 1.2, 30);
        ++frames;
    }
    EXPECT_LT(frames, 100);
    for (int k = 0; k < 40; ++k)
        UpdateTamingErrors(errors, 0.5, 30);
    EXPECT_FALSE(NeedsTaming(errors, 30, 0));
    EXPECT_NEAR(2.0, errors[0], 0.2);  // 1 + 0.5 e settles at 2
}

}  // namespace
