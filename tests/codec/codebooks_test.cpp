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

Delay First(int index) {
  Delay d;
  DecodeDelayFirst(index, &d.T, &d.frac);
  return d;
}

TEST(PitchWindow, WindowsAreMovedIntoRange) {
  PitchWindow w = FirstSubframeWindow(60);
  EXPECT_EQ(57, w.min);
  EXPECT_EQ(63, w.max);
  for (int t : {20, 21, 22}) {
    w = FirstSubframeWindow(t);
    EXPECT_EQ(20, w.min);
    EXPECT_EQ(26, w.max);
  }
  for (int t : {141, 142, 143}) {
    w = FirstSubframeWindow(t);
    EXPECT_EQ(137, w.min);
    EXPECT_EQ(143, w.max);
  }
  w = SecondSubframeWindow(22);
  EXPECT_EQ(20, w.min);
  EXPECT_EQ(29, w.max);
  w = SecondSubframeWindow(140);
  EXPECT_EQ(134, w.min);
  EXPECT_EQ(143, w.max);
  w = SecondSubframeWindow(80);
  EXPECT_EQ(75, w.min);
  EXPECT_EQ(84, w.max);
}

TEST(PitchDelay, SubframeOneBoundaries) {
  EXPECT_EQ(19, First(0).T);
  EXPECT_EQ(1, First(0).frac);
  EXPECT_EQ(84, First(195).T);
  EXPECT_EQ(1, First(195).frac);
  EXPECT_EQ(85, First(196).T);
  EXPECT_EQ(-1, First(196).frac);
  EXPECT_EQ(85, First(197).T);
  EXPECT_EQ(0, First(197).frac);
  EXPECT_EQ(143, First(255).T);
  EXPECT_EQ(0, First(255).frac);
  // The fractional range walks in thirds: every index below 197 is 1/3 above the previous.
  for (int i = 1; i < 197; ++i) {
    Delay a = First(i - 1), b = First(i);
    ASSERT_EQ(3 * a.T + a.frac + 1, 3 * b.T + b.frac) << "index " << i;
  }
}

TEST(PitchDelay, SubframeTwoWindowStaysInRange) {
  int T, frac;
  DecodeDelaySecond(17, 60, &T, &frac);  // middle of the window: same delay
  EXPECT_EQ(60, T);
  EXPECT_EQ(0, frac);
  DecodeDelaySecond(2, 21, &T, &frac);  // window 20..29 starts at 20, not 16
  EXPECT_EQ(20, T);
  EXPECT_EQ(0, frac);
  DecodeDelaySecond(29, 143, &T, &frac);  // window 134..143 ends at 143
  EXPECT_EQ(143, T);
  EXPECT_EQ(0, frac);
}

TEST(PitchDelay, CodesRoundTrip) {
  EXPECT_EQ(1, EncodeDelayFirst(20, -1));
  EXPECT_EQ(195, EncodeDelayFirst(84, 1));
  EXPECT_EQ(196, EncodeDelayFirst(85, -1));
  EXPECT_EQ(197, EncodeDelayFirst(85, 0));
  EXPECT_EQ(198, EncodeDelayFirst(86, 0));
  EXPECT_EQ(255, EncodeDelayFirst(143, 0));
  for (int t = kPitchMin; t <= kPitchMax; ++t) {
    for (int frac = -1; frac <= 1; ++frac) {
      if (t > 84 && frac != 0) continue;  // subframe 1 searches no fractions above 84
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

TEST(PitchParity, OddCountOfOnesOverBitsTwoToSeven) {
  // Bits 0 and 1 of parameter 3 do not take part.
  const struct {
    int index, parity;
  } cases[] = {{0x00, 1}, {0x03, 1}, {0x04, 0}, {0x80, 0}, {0x84, 1}, {0xfc, 1}, {0xf8, 0}};
  for (const auto& c : cases) EXPECT_EQ(c.parity, PitchParity(c.index)) << c.index;
  for (int i = 0; i < 256; ++i) {
    ASSERT_FALSE(PitchParityError(i, PitchParity(i))) << i;
    ASSERT_TRUE(PitchParityError(i, 1 - PitchParity(i))) << i;
  }
}

TEST(FixedCodebook, PulsePositionsAndSigns) {
  double code[40];
  // positions: track 0 index 7, track 1 index 0, track 2 index 3, track 3 index 7 + odd bit
  int c = 7 | (0 << 3) | (3 << 6) | (1 << 9) | (7 << 10);
  FixedCodebookVector(c, 0x5, code);
  int nonzero = 0;
  for (double v : code) nonzero += v != 0.0;
  EXPECT_EQ(4, nonzero);
  EXPECT_EQ(1.0, code[35]);
  EXPECT_EQ(-1.0, code[1]);
  EXPECT_EQ(1.0, code[17]);
  EXPECT_EQ(-1.0, code[39]);
}

TEST(FixedCodebook, SharpeningFactorIsThePitchGainWithinItsLimits) {
  const struct {
    double gain, factor;
  } cases[] = {{0.0, 0.2}, {0.19, 0.2}, {0.5, 0.5}, {0.7945, 0.7945}, {1.2, 0.7945}};
  for (const auto& c : cases) EXPECT_EQ(c.factor, SharpeningFactor(c.gain)) << c.gain;
}

// A low-frequency sine delayed by T + frac/3 through the interpolation filter.
TEST(AdaptiveCodebook, FractionalDelayInThirds) {
  const double w = 2.0 * kPi * 300.0 / 8000.0;
  for (int T : {20, 60, 143}) {
    for (int frac = -1; frac <= 1; ++frac) {
      double buf[154 + 40];
      for (int i = 0; i < 194; ++i) buf[i] = std::sin(w * (i - 154));
      double* exc = buf + 154;
      AdaptiveCodebookVector(exc, T, frac, 40);
      for (int i = 0; i < 40 && i < T - 10; ++i) {  // reads only the history
        ASSERT_NEAR(std::sin(w * (i - T - frac / 3.0)), exc[i], 0.01) << T << " " << frac;
      }
    }
  }
}

TEST(AdaptiveCodebook, ShortDelayRepeatsWithinTheSubframe) {
  double buf[154 + 40] = {};
  double* exc = buf + 154;
  exc[-20] = 1.0;  // one pulse 20 samples back
  AdaptiveCodebookVector(exc, 20, 0, 40);
  EXPECT_NEAR(0.898517, exc[0], 1e-6);
  EXPECT_NEAR(0.83, exc[20], 0.05);  // the pulse comes round again
}

}  // namespace
