// Frame and algorithm constants of the 8 kbit/s CS-ACELP codec (reduced-complexity form).
#pragma once

namespace g729 {

constexpr int kFrame = 80;         // samples per 10 ms frame
constexpr int kSubframe = 40;      // samples per subframe
constexpr int kSubframes = 2;
constexpr int kOrder = 10;         // LP order
constexpr int kOrderP1 = kOrder + 1;
constexpr int kPitchMin = 20;
constexpr int kPitchMax = 143;
constexpr int kInterpLen = 11;     // half length of the fractional-delay filter + 1
constexpr int kWindow = 240;       // LP analysis window
constexpr int kLookAhead = 40;
constexpr int kExcHistory = kPitchMax + kInterpLen;  // 154 past excitation samples
constexpr int kUpSample = 3;       // fractional delay resolution 1/3
constexpr int kInterp10 = 10;
constexpr int kParams = 11;        // parameters per frame
constexpr int kFrameBytes = 10;
constexpr int kMaPredictors = 2;   // switched MA predictors for the LSPs
constexpr int kMaOrder = 4;        // MA prediction order (LSPs and gain)
constexpr int kLspCb1Size = 128;
constexpr int kLspCb2Size = 32;
constexpr int kLspHalf = 5;        // second stage splits the vector into 2 x 5
constexpr int kGridPoints = 50;
constexpr int kGainCb1 = 8;        // GA
constexpr int kGainCb2 = 16;       // GB
constexpr int kGainCand1 = 4;      // pre-selected GA candidates
constexpr int kGainCand2 = 8;      // pre-selected GB candidates
constexpr int kPulseStep = 5;
constexpr int kImpulseLen = 22;    // tilt compensation impulse response length

constexpr double kPi = 3.141592654;
constexpr double kLsfLow = 0.005;     // stability: lowest first LSF
constexpr double kLsfHigh = 3.135;    // stability: highest last LSF
constexpr double kLsfGap1 = 0.0012;   // rearrangement gap, first pass
constexpr double kLsfGap2 = 0.0006;   // rearrangement gap, second pass
constexpr double kLsfGap3 = 0.0392;   // stability minimum gap
constexpr double kGamma1 = 0.75;      // perceptual weighting
constexpr double kSharpMin = 0.2;
constexpr double kSharpMax = 0.7945;
constexpr double kPitchGainMax = 1.2;
constexpr double kMeanEnergy = 36.0;  // dB, fixed-codebook energy mean
constexpr double kTameClip = 0.95;
constexpr double kTameClip2 = 0.94;
constexpr double kTameLimit = 0.9999;
constexpr double kTameThreshold = 60000.0;
constexpr double kGammaNum = 0.55;    // post-filter numerator A(z/0.55)
constexpr double kGammaDen = 0.70;    // post-filter denominator 1/A(z/0.7)
constexpr double kGammaPitch = 0.50;  // long-term post-filter weight
constexpr double kTiltFactor = 0.8;
constexpr double kAgcFactor = 0.9;
constexpr double kFloatMax = 1.0e38;

}  // namespace g729
