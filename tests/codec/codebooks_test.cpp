// The codebooks both sides read: pitch windows, delay coding and parity, the fractional-delay
// adaptive-codebook vector, and the fixed-codebook pulse vector.
#include <gtest/gtest.h>

#include <cmath>

#include "voice/codec/codebooks.h"

namespace {

using namespace g729;

struct Delay {
    int T, frac;
};

Delay First(int index)
{
    Delay d;
    DecodeDelayFirst(index, &d.T, &d.frac);
    return d;
}

TEST(PitchWindow, WindowsAreMovedIntoRange)
{
    const struct {
        bool second;
        int t, min, max;
    } cases[] = {
        {false, 60, 57, 63},    {false, 20, 20, 26},    {false, 21, 20, 26},    {false, 22, 20, 26},
        {false, 141, 137, 143}, {false, 142, 137, 143}, {false, 143, 137, 143}, {true, 22, 20, 29},
        {true, 140, 134, 143},  {true, 80, 75, 84},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.second ? "second" : "first") << " subframe, t " << c.t);
        PitchWindow w = c.second ? SecondSubframeWindow(c.t) : FirstSubframeWindow(c.t);
        EXPECT_EQ(c.min, w.min);
        EXPECT_EQ(c.max, w.max);
    }
}

// Delay codes at the ends of the fractional and integer ranges, decoded and encoded (19 + 1/3 is
// below the search range and 20 - 1/3, 86 only checked one way).
TEST(PitchDelay, SubframeOneCodesAtTheRangeEnds)
{
    const struct {
        int index, T, frac;
        bool decode, encode;
    } cases[] = {
        {0, 19, 1, true, false},   {1, 20, -1, false, true}, {195, 84, 1, true, true},
        {196, 85, -1, true, true}, {197, 85, 0, true, true}, {198, 86, 0, false, true},
        {255, 143, 0, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index);
        if (c.decode) {
            EXPECT_EQ(c.T, First(c.index).T);
            EXPECT_EQ(c.frac, First(c.index).frac);
        }
        if (c.encode) {
            EXPECT_EQ(c.index, EncodeDelayFirst(c.T, c.frac));
        }
    }
    // The fractional range walks in thirds: every index below 197 is 1/3 above the previous.
    for (int i = 1; i < 197; ++i) {
        Delay a = First(i - 1), b = First(i);
        ASSERT_EQ(3 * a.T + a.frac + 1, 3 * b.T + b.frac) << "index " << i;
    }
}

TEST(PitchDelay, SubframeTwoWindowStaysInRange)
{
    const struct {
        int index, t1, T;
        const char* why;
    } cases[] = {
        {17, 60, 60, "middle of the window: same delay"},
        {2, 21, 20, "window 20..29 starts at 20, not 16"},
        {29, 143, 143, "window 134..143 ends at 143"},
    };
    for (const auto& c : cases) {
        int T, frac;
        DecodeDelaySecond(c.index, c.t1, &T, &frac);
        EXPECT_EQ(c.T, T) << c.why;
        EXPECT_EQ(0, frac) << c.why;
    }
}

TEST(PitchDelay, CodesRoundTrip)
{
    for (int t = kPitchMin; t <= kPitchMax; ++t) {
        for (int frac = -1; frac <= 1; ++frac) {
            if (t > 84 && frac != 0)
                continue;  // subframe 1 searches no fractions above 84
            int index = EncodeDelayFirst(t, frac);
            ASSERT_GE(index, 0);
            ASSERT_LT(index, 256);
            int dt, df;
            DecodeDelayFirst(index, &dt, &df);
            ASSERT_EQ(t, dt) << index;
            ASSERT_EQ(frac, df) << index;
        }
    }
    for (int t1 = kPitchMin; t1 <= kPitchMax; ++t1) {
        PitchWindow w = SecondSubframeWindow(t1);
        for (int t = w.min; t <= w.max; ++t) {
            for (int frac = -1; frac <= 1; ++frac) {
                int index = EncodeDelaySecond(t, frac, w);
                ASSERT_GE(index, 0);
                ASSERT_LT(index, 32);
                int dt, df;
                DecodeDelaySecond(index, t1, &dt, &df);
                ASSERT_EQ(t, dt) << "t1 " << t1 << " index " << index;
                ASSERT_EQ(frac, df) << "t1 " << t1 << " index " << index;
            }
        }
    }
}

TEST(PitchParity, OddCountOfOnesOverBitsTwoToSeven)
{
    // Bits 0 and 1 of parameter 3 do not take part.
    const struct {
        int index, parity;
    } cases[] = {{0x00, 1}, {0x03, 1}, {0x04, 0}, {0x80, 0}, {0x84, 1}, {0xfc, 1}, {0xf8, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c.parity, PitchParity(c.index)) << c.index;
    for (int i = 0; i < 256; ++i) {
        ASSERT_FALSE(PitchParityError(i, PitchParity(i))) << i;
        ASSERT_TRUE(PitchParityError(i, 1 - PitchParity(i))) << i;
    }
}

TEST(FixedCodebook, PulsePositionsAndSigns)
{
    double code[40];
    // positions: track 0 index 7, track 1 index 0, track 2 index 3, track 3 index 7 + odd bit
    int c = 7 | (0 << 3) | (3 << 6) | (1 << 9) | (7 << 10);
    FixedCodebookVector(c, 0x5, code);
    int nonzero = 0;
    for (double v : code)
        nonzero += v != 0.0;
    EXPECT_EQ(4, nonzero);
    EXPECT_EQ(1.0, code[35]);
    EXPECT_EQ(-1.0, code[1]);
    EXPECT_EQ(1.0, code[17]);
    EXPECT_EQ(-1.0, code[39]);
}

TEST(FixedCodebook, SharpeningFactorIsThePitchGainWithinItsLimits)
{
    const struct {
        double gain, factor;
    } cases[] = {{0.0, 0.2}, {0.19, 0.2}, {0.5, 0.5}, {0.7945, 0.7945}, {1.2, 0.7945}};
    for (const auto& c : cases)
        EXPECT_EQ(c.factor, SharpeningFactor(c.gain)) << c.gain;
}

// A low-frequency sine delayed by T + frac/3 through the interpolation filter.
TEST(AdaptiveCodebook, FractionalDelayInThirds)
{
    const double w = 2.0 * kPi * 300.0 / 8000.0;
    for (int T : {20, 60, 143}) {
        for (int frac = -1; frac <= 1; ++frac) {
            double buf[154 + 40];
            for (int i = 0; i < 194; ++i)
                buf[i] = std::sin(w * (i - 154));
            double* exc = buf + 154;
            AdaptiveCodebookVector(exc, T, frac, 40);
            for (int i = 0; i < 40 && i < T - 10; ++i) {  // reads only the history
                ASSERT_NEAR(std::sin(w * (i - T - frac / 3.0)), exc[i], 0.01) << T << " " << frac;
            }
        }
    }
}

TEST(AdaptiveCodebook, ShortDelayRepeatsWithinTheSubframe)
{
    double buf[154 + 40] = {};
    double* exc = buf + 154;
    exc[-20] = 1.0;  // one pulse 20 samples back
    AdaptiveCodebookVector(exc, 20, 0, 40);
    EXPECT_NEAR(0.898517, exc[0], 1e-6);
    EXPECT_NEAR(0.83, exc[20], 0.05);  // the pulse comes round again
}

}  // namespace
