// LSP stability and conversion, filters and the gain prediction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "voice/codec/filters.h"
#include "voice/codec/gain.h"
#include "voice/codec/lsp.h"
#include "voice/codec/tables.h"

namespace {

std::string Stabilise(double lsf[10])
{
    testing::internal::CaptureStdout();
    g729::StabiliseLsf(lsf);
    return testing::internal::GetCapturedStdout();
}

// Each input with the warning it prints and the values it must end with. Bottom and top are
// clamped with a warning; neighbours are swapped in one pass from the bottom (not a full sort:
// a small value moves down one place only) and then held the minimum gap apart, which can push
// a crowded top past the ceiling.
TEST(LspStability, ClampsSwapsAndSpacesWithTheirWarnings)
{
    struct Expect {
        int index;
        double value, tolerance;
    };
    const struct {
        const char* name;
        double lsf[10];
        const char* warning;
        std::vector<Expect> expect;
        bool minimumGaps;
    } cases[] = {
        {"low",
         {0.001, 0.3, 0.6, 0.9, 1.2, 1.5, 1.8, 2.1, 2.4, 2.7},
         "warning LSP Low \n",
         {{0, 0.005, 0}},
         false},
        {"high",
         {0.3, 0.6, 0.9, 1.2, 1.5, 1.8, 2.1, 2.4, 2.7, 3.14},
         "warning LSP High \n",
         {{9, 3.135, 0}},
         false},
        {"fine",
         {0.3, 0.6, 0.9, 1.2, 1.5, 1.8, 2.1, 2.4, 2.7, 3.0},
         "",
         {{0, 0.3, 0}, {9, 3.0, 0}},
         false},
        {"swap and gap",
         {0.3, 0.2, 0.6, 0.61, 1.2, 1.5, 1.8, 2.1, 2.4, 2.7},
         "",
         {{0, 0.2, 0}, {1, 0.3, 0}, {3, 0.6392, 1e-12}},
         true},
        {"one pass",
         {0.3, 0.6, 0.9, 1.2, 1.5, 1.8, 2.1, 2.4, 2.7, 0.5},
         "",
         {{1, 0.6, 0}, {8, 2.4 + 0.0392, 1e-12}, {9, 2.7, 0}},
         false},
        {"crowded top",
         {2.9, 2.92, 2.94, 2.96, 2.98, 3.0, 3.02, 3.04, 3.06, 3.08},
         "warning LSP High \n",
         {{9, 3.135, 0}},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double lsf[10];
        std::copy(c.lsf, c.lsf + 10, lsf);
        EXPECT_EQ(c.warning, Stabilise(lsf));
        for (const Expect& e : c.expect)
            EXPECT_NEAR(e.value, lsf[e.index], e.tolerance) << e.index;
        if (c.minimumGaps) {
            for (int j = 0; j < 9; ++j)
                EXPECT_GE(lsf[j + 1] - lsf[j], 0.0392 - 1e-12) << j;
        }
    }
}

// A(z) from LSPs by plain polynomial products: (P(z) + Q(z)) / 2 with
// P = (1 + z^-1) prod_even (1 - 2 q z^-1 + z^-2), Q = (1 - z^-1) prod_odd (...).
void DirectLpc(const double lsp[10], double a[11])
{
    double p[12] = {1}, q[12] = {1};
    int len = 1;
    for (int k = 0; k < 5; ++k) {
        double np[12] = {}, nq[12] = {};
        for (int i = 0; i < len; ++i) {
            np[i] += p[i];
            np[i + 1] += -2 * lsp[2 * k] * p[i];
            np[i + 2] += p[i];
            nq[i] += q[i];
            nq[i + 1] += -2 * lsp[2 * k + 1] * q[i];
            nq[i + 2] += q[i];
        }
        len += 2;
        for (int i = 0; i < 12; ++i) {
            p[i] = np[i];
            q[i] = nq[i];
        }
    }
    for (int i = 0; i <= 10; ++i) {
        double pi = p[i] + (i ? p[i - 1] : 0), qi = q[i] - (i ? q[i - 1] : 0);
        a[i] = 0.5 * (pi + qi);
    }
}

TEST(LspToLpc, MatchesDirectPolynomialProduct)
{
    double lsf[10] = {0.25, 0.41, 0.83, 1.1, 1.45, 1.72, 2.05, 2.31, 2.66, 2.9};
    double lsp[10], a[11], ref[11];
    for (int i = 0; i < 10; ++i)
        lsp[i] = std::cos(lsf[i]);
    g729::LspToLpc(lsp, a);
    DirectLpc(lsp, ref);
    for (int i = 0; i <= 10; ++i)
        EXPECT_NEAR(ref[i], a[i], 1e-12) << i;

    double aq[22], mean[10], am[11];
    g729::InterpolateLsp(g729::lsp_reset, lsp, aq);
    for (int i = 0; i < 10; ++i)
        mean[i] = 0.5 * (g729::lsp_reset[i] + lsp[i]);
    DirectLpc(mean, am);
    for (int i = 0; i <= 10; ++i) {
        EXPECT_NEAR(am[i], aq[i], 1e-12);
        EXPECT_NEAR(ref[i], aq[11 + i], 1e-12);
    }
}

TEST(LspDecode, ResetStateGivesOrderedLspsAndShiftsMemory)
{
    double memory[4][10];
    for (auto& row : memory)
        for (int j = 0; j < 10; ++j)
            row[j] = g729::freq_prev_reset[j];
    const int prm[2] = {0x80 | 17, (3 << 5) | 29};
    double lsp[10];
    g729::LspDecode(prm, memory, lsp);
    for (int j = 0; j < 9; ++j)
        EXPECT_GT(lsp[j], lsp[j + 1]);  // cosines of rising LSFs
    double residual[10];
    g729::LsfResidual(17, 3, 29, residual);
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(residual[j], memory[0][j]);
        EXPECT_EQ(g729::freq_prev_reset[j], memory[1][j]);
        // predictor 1: lsf = fg_sum * residual + sum fg * reset memory
        double lsf = g729::fg_sum[1][j] * residual[j];
        for (int k = 0; k < 4; ++k)
            lsf += g729::fg[1][k][j] * g729::freq_prev_reset[j];
        EXPECT_NEAR(std::cos(lsf), lsp[j], 1e-9);
    }
}

TEST(Filters, SynthesisUndoesResidualAcrossCallsAndInPlace)
{
    const double a[11] = {1, -1.2, 0.7, -0.1, 0.05, 0, 0.02, -0.01, 0, 0, 0.003};
    double x[10 + 80], e[80], y[80];
    for (int i = 0; i < 90; ++i)
        x[i] = i < 10 ? 0.0 : 1000.0 * std::sin(i * 0.3) + 50.0 * (i % 7);
    g729::ResidualFilter(a, x + 10, e, 80);
    double mem[10] = {};
    for (int i = 0; i < 80; ++i)
        y[i] = e[i];
    g729::SynthesisFilter(a, y, y, 40, mem, true);
    g729::SynthesisFilter(a, y + 40, y + 40, 40, mem, true);
    for (int i = 0; i < 80; ++i)
        EXPECT_NEAR(x[10 + i], y[i], 1e-6) << i;
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(y[70 + j], mem[j]);

    double keep[10];
    for (int j = 0; j < 10; ++j)
        keep[j] = mem[j];
    g729::SynthesisFilter(a, e, y, 5, mem, false);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(keep[j], mem[j]);
}

TEST(Filters, WeightLpcScalesByPowersOfGamma)
{
    const double a[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    double w[11];
    g729::WeightLpc(a, 0.5, w);
    for (int i = 0; i <= 10; ++i)
        EXPECT_DOUBLE_EQ(std::pow(0.5, i), w[i]);
}

TEST(Gain, PredictionAndMemory)
{
    double past[4] = {-14, -14, -14, -14};
    double code[40] = {};
    code[0] = code[10] = code[20] = code[30] = 1.0;  // energy 4
    double sumPred = 0.68 + 0.58 + 0.34 + 0.19;
    double expect = std::pow(10.0, 0.05 * (36.0 - 10.0 * std::log10(4.01 / 40.0) - 14.0 * sumPred));
    EXPECT_NEAR(expect, g729::PredictGain(past, code), 1e-9 * expect);

    g729::UpdateGainMemory(past, 10.0);
    EXPECT_NEAR(20.0, past[0], 1e-12);
    EXPECT_EQ(-14.0, past[1]);

    double gp, gc;
    double past2[4] = {-14, -14, -14, -14};
    g729::DecodeGains((3 << 4) | 9, past2, code, &gp, &gc);
    int i1 = g729::imap1[3], i2 = g729::imap2[9];
    EXPECT_DOUBLE_EQ(g729::gbk1[i1][0] + g729::gbk2[i2][0], gp);
    double corr = g729::gbk1[i1][1] + g729::gbk2[i2][1];
    EXPECT_NEAR(expect * corr, gc, 1e-9 * gc);
    EXPECT_NEAR(20.0 * std::log10(corr), past2[0], 1e-12);
}

}  // namespace
