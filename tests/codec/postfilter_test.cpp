// Post-filter pieces: long-term filter decisions, tilt factor, gain control, output high-pass.
#include <gtest/gtest.h>

#include <cmath>

#include "voice/codec/postfilter.h"
#include "voice/codec/postprocess.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Residual history of 143 samples plus one 40-sample subframe.
struct Residual {
    double buf[183];
    double* now() { return buf + 143; }
};

TEST(LongTermPostFilter, PeriodicResidualIsMixedWithItsBestDelay)
{
    Residual r;
    // Exactly periodic with period 53.
    for (int i = 0; i < 53; ++i)
        r.buf[i] = std::sin(2.0 * kPi * i / 53.0) + 0.3 * std::sin(i * 0.9);
    for (int i = 53; i < 183; ++i)
        r.buf[i] = r.buf[i - 53];
    double out[40];
    g729::LongTermPostFilter(r.now(), 50, 56, 40, out);
    // With an exact repeat the residual and the delayed residual are equal, so any mix of the
    // two returns the residual; a wrong delay would not.
    for (int i = 0; i < 40; ++i)
        EXPECT_NEAR(r.now()[i], out[i], 1e-9);
}

TEST(LongTermPostFilter, GainFollowsCorrelation)
{
    Residual r;
    // Subframe = past (delay 50) + independent part: the output moves toward the past signal by
    // g = 0.5c / (e0 + 0.5c).
    for (int i = 0; i < 183; ++i)
        r.buf[i] = std::sin(i * 0.37) * 1000.0;
    double* now = r.now();
    for (int i = 0; i < 40; ++i)
        now[i] = now[i - 50] + 400.0 * std::cos(i * 2.1);
    double c = 0, e0 = 0.5;
    int best = 0;
    double bestC = -1e38;
    for (int d = 47; d <= 53; ++d) {
        double s = 0;
        for (int i = 0; i < 40; ++i)
            s += now[i] * now[i - d];
        if (s > bestC) {
            bestC = s;
            best = d;
        }
    }
    c = bestC;
    for (int i = 0; i < 40; ++i)
        e0 += now[i - best] * now[i - best];
    double g = 0.5 * c / (e0 + 0.5 * c);
    double out[40];
    g729::LongTermPostFilter(now, 47, 53, 40, out);
    for (int i = 0; i < 40; ++i)
        EXPECT_NEAR((1 - g) * now[i] + g * now[i - best], out[i], 1e-6);
}

TEST(LongTermPostFilter, UncorrelatedResidualPassesUnchanged)
{
    Residual r;
    for (int i = 0; i < 183; ++i)
        r.buf[i] = 0.0;
    for (int i = 0; i < 40; ++i)
        r.now()[i] = (i % 2 ? 1.0 : -1.0) * 100.0;
    double out[40];
    g729::LongTermPostFilter(r.now(), 20, 26, 40, out);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(r.now()[i], out[i]);
}

TEST(TiltFactor, ZeroWhenNeighbourCorrelationIsNotPositive)
{
    const double flat[11] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0.0, g729::TiltFactor(flat, flat));
    const double highPass[11] = {1, 0.9, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // 1/A: alternating response
    EXPECT_EQ(0.0, g729::TiltFactor(flat, highPass));
    const double lowPass[11] = {1, -0.9, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    double k = g729::TiltFactor(flat, lowPass);
    EXPECT_GT(k, 0.5);
    EXPECT_LT(k, 0.8);
}

TEST(AdaptiveGainControl, SilentSubframeResetsGainAndNextRampsFromZero)
{
    double in[40], out[40];
    for (int i = 0; i < 40; ++i) {
        in[i] = 500.0;
        out[i] = 0.0;
    }
    double gain = 1.0;
    g729::AdaptiveGainControl(in, out, 40, &gain);
    EXPECT_EQ(0.0, gain);
    for (double v : out)
        EXPECT_EQ(0.0, v);

    for (int i = 0; i < 40; ++i)
        out[i] = 250.0;  // half the energy level of in
    g729::AdaptiveGainControl(in, out, 40, &gain);
    double s = 0.1 * 2.0;  // 0.1 * sqrt(energy in / energy out)
    EXPECT_NEAR(250.0 * s, out[0], 1e-9);
    EXPECT_NEAR(250.0 * (0.9 * s + s), out[1], 1e-9);
    EXPECT_LT(gain, 2.0);
    EXPECT_GT(gain, 1.9);  // approaches s / 0.1 = 2
}

TEST(AdaptiveGainControl, SilentSynthesisDrivesGainDown)
{
    double in[40] = {}, out[40];
    for (double& v : out)
        v = 100.0;
    double gain = 1.0;
    g729::AdaptiveGainControl(in, out, 40, &gain);
    EXPECT_NEAR(std::pow(0.9, 40), gain, 1e-12);
    EXPECT_NEAR(90.0, out[0], 1e-9);
}

TEST(PostProcess, RemovesDirectCurrentAndPassesSpeechBand)
{
    g729::HighPassState s{};
    double x[800];
    for (double& v : x)
        v = 1000.0;
    g729::PostProcess(s, x, 800);
    EXPECT_LT(std::fabs(x[799]), 15.0);  // the coefficients leave a DC gain of about -40 dB

    g729::HighPassState t{};
    double peak = 0.0;
    for (int i = 0; i < 1600; ++i) {
        double v = 1000.0 * std::sin(2.0 * kPi * 1000.0 * i / 8000.0);
        g729::PostProcess(t, &v, 1);
        if (i > 800)
            peak = std::fmax(peak, std::fabs(v));
    }
    EXPECT_NEAR(1000.0, peak, 50.0);  // 1 kHz passes with close to unit gain
}

}  // namespace
