// Lost frames: each concealment step from a known state, a decoder that recovers once frames
// arrive again, and long runs of losses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "voice/codec/bitpack.h"
#include "voice/codec/codebooks.h"
#include "voice/codec/concealment.h"
#include "voice/codec/decoder.h"
#include "voice/codec/lsp.h"

namespace {

constexpr int kNone[11] = {};

// Parameters of an arbitrary received frame (the k-th of a fixed pseudo-random sequence).
void ReceivedFrame(int k, int prm[11])
{
    unsigned char bytes[10];
    unsigned seed = 7u + 977u * k;
    for (unsigned char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    g729::UnpackFrame(bytes, prm);
}

class Concealment : public ::testing::Test {
protected:
    void SetUp() override { g729::InitDecoder(s); }

    void Receive(int k, int* delays = nullptr)
    {
        int prm[11];
        ReceivedFrame(k, prm);
        g729::DecodeFrame(s, prm, out, delays);
    }
    void Lose(int* delays = nullptr) { g729::DecodeFrame(s, kNone, out, delays, true); }

    g729::DecoderState s;
    double out[80];
};

TEST_F(Concealment, CodebookFollowsTheGeneratorIndexBeforeSign)
{
    // seed 21845, then seed * 31821 + 13849 mod 2^16: 3242, 23867, 54488, 56081, 22070, 19543.
    const int expected[][2] = {{3242, 23867 & 15}, {54488 & 0x1fff, 56081 & 15}, {5686, 7}};
    unsigned seed = s.conceal.seed;
    for (const auto& e : expected) {
        int positions, signs;
        g729::RandomCodebook(&seed, &positions, &signs);
        EXPECT_EQ(e[0], positions);
        EXPECT_EQ(e[1], signs);
    }
    Lose();  // one lost frame draws for both subframes
    EXPECT_EQ(56081u, s.conceal.seed);
}

TEST_F(Concealment, GainsDecayAndTheEnergyMemoryFallsToItsFloor)
{
    const struct {
        double energy[4];
        double newest;
    } cases[] = {
        {{10, 10, 10, 10}, 6},
        {{2, -6, -10, -14}, -11},
        {{-8, -12, -14, -14}, -14},
        {{-14, -14, -14, -14}, -14},
    };
    for (const auto& c : cases) {
        g729::ConcealmentMemory m{};
        m.gainPitch = 1.2;
        m.gainCode = 100.0;
        double energy[4], gp, gc;
        std::memcpy(energy, c.energy, sizeof energy);
        g729::ConcealGains(m, energy, &gp, &gc);
        EXPECT_DOUBLE_EQ(c.newest, energy[0]);
        EXPECT_EQ(c.energy[2], energy[3]);
        g729::ConcealGains(m, energy, &gp, &gc);
        EXPECT_DOUBLE_EQ(1.2 * 0.9 * 0.9, gp);
        EXPECT_DOUBLE_EQ(100.0 * 0.98 * 0.98, gc);
    }
    // Through the decoder: a lost frame continues from the last received subframe's gains.
    Receive(0);
    double gainPitch = s.conceal.gainPitch, gainCode = s.conceal.gainCode;
    ASSERT_GT(gainCode, 0.0);
    Lose();
    EXPECT_DOUBLE_EQ(gainPitch * 0.9 * 0.9, s.conceal.gainPitch);
    EXPECT_DOUBLE_EQ(gainCode * 0.98 * 0.98, s.conceal.gainCode);
}

TEST_F(Concealment, DelayGrowsByOneEachSubframeUpTo143)
{
    int prm[11] = {};
    prm[2] = 140 + 112;  // subframe 1: 140
    prm[3] = g729::PitchParity(prm[2]);
    prm[7] = 23;  // subframe 2: 141, fraction 0
    int delays[2];
    g729::DecodeFrame(s, prm, out, delays);
    ASSERT_EQ(141, delays[1]);
    const int expected[][2] = {{141, 142}, {143, 143}, {143, 143}};
    for (const auto& e : expected) {
        Lose(delays);
        EXPECT_EQ(e[0], delays[0]);
        EXPECT_EQ(e[1], delays[1]);
    }
    g729::DecodeFrame(s, prm, out, delays);  // a received frame decodes its own delays again
    EXPECT_EQ(140, delays[0]);
}

TEST_F(Concealment, LostFrameRepeatsTheLspsAndKeepsThePredictorInStep)
{
    for (int k = 0; k < 3; ++k)
        Receive(k);
    double lsp[10], memory[4][10];
    std::memcpy(lsp, s.past.lsp, sizeof lsp);
    std::memcpy(memory, s.past.lsfMemory, sizeof memory);
    Lose();
    for (int j = 0; j < 10; ++j)
        EXPECT_DOUBLE_EQ(lsp[j], s.past.lsp[j]) << j;
    // The residual pushed into the memory gives the last good LSFs with the last predictor (to
    // single precision, to which the tables' predictor sums and their inverses agree).
    double lsf[10];
    g729::ComposeLsf(s.past.lsfMemory[0], memory, s.conceal.maMode, lsf);
    for (int j = 0; j < 10; ++j)
        EXPECT_NEAR(s.conceal.lsf[j], lsf[j], 1e-6) << j;
    EXPECT_EQ(0, std::memcmp(memory[0], s.past.lsfMemory[1], sizeof memory[0]));
}

TEST_F(Concealment, ReceivedFramesAfterLossesRebuildThePredictorState)
{
    g729::DecoderState clean;
    g729::InitDecoder(clean);
    double cleanOut[80];
    int prm[11];
    for (int k = 0; k < 20; ++k) {
        ReceivedFrame(k, prm);
        g729::DecodeFrame(clean, prm, cleanOut);
        if (k >= 5 && k < 12) {
            Lose();
        } else {
            Receive(k);
        }
    }
    // Four received frames fill both four-deep predictor memories again.
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(clean.past.lsp[j], s.past.lsp[j]) << j;
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(clean.past.gainEnergy[k], s.past.gainEnergy[k]) << k;
    EXPECT_EQ(clean.previousDelay, s.previousDelay);
}

TEST_F(Concealment, LongLossFadesToSilenceWithFiniteOutput)
{
    for (int k = 0; k < 10; ++k)
        Receive(k);
    double loudest = 0.0;
    for (int f = 0; f < 3000; ++f) {
        Lose();
        for (double v : out) {
            ASSERT_TRUE(std::isfinite(v)) << "frame " << f;
            loudest = std::max(loudest, std::fabs(v));
        }
    }
    EXPECT_LT(loudest, 32768.0 * 4);
    for (double v : out)
        EXPECT_LT(std::fabs(v), 1.0);
    Receive(10);
    for (double v : out)
        EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
