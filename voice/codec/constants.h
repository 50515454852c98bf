// Frame and algorithm constants of the 8 kbit/s CS-ACELP codec (reduced-complexity form),
// shared by the encoder and the decoder.
#pragma once

namespace g729 {

// Frame layout.
constexpr int kFrame = 80;     // samples per 10 ms frame
constexpr int kSubframe = 40;  // samples per subframe
constexpr int kSubframes = 2;
constexpr int kParams = 11;  // parameters per frame
constexpr int kFrameBytes = 10;
constexpr int kFrameBits = 8 * kFrameBytes;
constexpr int kWindow = 240;  // LP analysis window
constexpr int kLookAhead = 40;

// Positions in the frame's parameters (0-based): 1 and 2 code the LSPs; then per subframe the
// pitch delay, the pulse positions, their signs and the gains, with the parity of the
// subframe-1 delay after that delay.
constexpr int kPrmDelay[kSubframes] = {2, 7};
constexpr int kPrmParity = 3;
constexpr int kPrmPositions[kSubframes] = {4, 8};
constexpr int kPrmSigns[kSubframes] = {5, 9};
constexpr int kPrmGains[kSubframes] = {6, 10};

// Linear prediction and line spectral pairs.
constexpr int kOrder = 10;  // LP order
constexpr int kOrderP1 = kOrder + 1;
constexpr int kMaPredictors = 2;  // switched MA predictors for the LSPs
constexpr int kMaOrder = 4;       // MA prediction order (LSPs and gain)
constexpr int kLspCb1Size = 128;
constexpr int kLspCb2Size = 32;
constexpr int kLspHalf = 5;             // second stage splits the vector into 2 x 5
constexpr int kGridPoints = 50;         // intervals of the LSP root-search grid
constexpr double kAutocorrFloor = 1.0;  // lowest r[0] of a (silent) analysis window
constexpr double kLevinsonErrorFloor = 0.001;
constexpr double kLsfLow = 0.005;    // stability: lowest first LSF
constexpr double kLsfHigh = 3.135;   // stability: highest last LSF
constexpr double kLsfGap1 = 0.0012;  // rearrangement gap, first pass
constexpr double kLsfGap2 = 0.0006;  // rearrangement gap, second pass
constexpr double kLsfGap3 = 0.0392;  // stability minimum gap
// LSF quantiser weights: the outer neighbours of the first and last LSF, the factor of the
// squared spacing below 1 rad, and the extra weight of LSFs 5 and 6.
constexpr double kPi = 3.141592654;
constexpr double kLsfWeightLowEdge = 0.04 * kPi;
constexpr double kLsfWeightHighEdge = 0.92 * kPi;
constexpr double kLsfWeightSlope = 10.0;
constexpr double kLsfWeightMiddle = 1.2;

// Perceptual weighting: W(z) = A(z/0.75) for the targets, and for the weighted speech the
// residual through 1/A'(z), a'[i] = w[i] - 0.7 w[i-1], w = A(z/0.75).
constexpr double kGamma1 = 0.75;
constexpr double kWeightTilt = 0.7;

// Pitch delays: the range, and the fractional-delay interpolation.
constexpr int kPitchMin = 20;
constexpr int kPitchMax = 143;
constexpr int kInterpLen = 11;  // half length of the fractional-delay filter + 1
constexpr int kExcHistory = kPitchMax + kInterpLen;  // 154 past excitation samples
constexpr int kUpSample = 3;                         // fractional delay resolution 1/3
constexpr int kInterp10 = 10;  // taps on either side of the fractional-delay filter

// Open-loop pitch: the best delay of each of three ranges (kPitchMin.., kOpenLoopMiddle..,
// kOpenLoopTop..kPitchMax - 1, the last searched in steps of 2 and then refined by one on
// either side). A shorter delay is favoured when a longer one lies near its double (within
// kDoubleTolerance) or triple (within kTripleTolerance): its score gains the given share of
// the longer one's.
constexpr int kOpenLoopMiddle = 40;
constexpr int kOpenLoopTop = 80;
constexpr int kOpenLoopTopStep = 2;
constexpr int kDoubleTolerance = 5;
constexpr int kTripleTolerance = 7;
constexpr double kFavourMiddle = 0.25;  // middle range against the top one
constexpr double kFavourLow = 0.20;     // low range against the middle one

// Closed-loop pitch windows: subframe 1 searches the open-loop delay +-3, subframe 2 the ten
// delays from T1 - 5; both are moved to lie within kPitchMin..kPitchMax.
constexpr int kFirstWindowReach = 3;
constexpr int kSecondWindowBefore = 5;
constexpr int kSecondWindowLength = 10;
constexpr double kPitchGainMax = 1.2;

// Pitch delay coding. Subframe 1 (8 bits) codes delays below 85 in thirds, as
// 3 T + frac - 58 (19 1/3 .. 85 - 1/3), and 85..143 as integers, T + 112 (indices from 197).
// Subframe 2 (5 bits) codes a third of a delay within its window. The parity bit covers the
// six most significant bits of the subframe-1 index.
constexpr int kIntegerDelayFrom = 85;
constexpr int kFracDelayOffset = 58;
constexpr int kIntegerDelayOffset = 112;
constexpr int kIntegerDelayIndex = kIntegerDelayFrom + kIntegerDelayOffset;  // 197
constexpr int kDelay1Bits = 8;
constexpr int kParityFromBit = 2;
constexpr int kInitialDelay = 60;  // decoder: delay reused after a parity error at the start

// Fixed codebook and gains.
constexpr int kPulses = 4;
constexpr int kPulseStep = 5;
constexpr double kSharpMin = 0.2;
constexpr double kSharpMax = 0.7945;
constexpr double kMeanEnergy = 36.0;   // dB, fixed-codebook energy mean
constexpr double kEnergyFloor = 0.01;  // added to energies that divide or take a logarithm
constexpr int kGainCb1 = 8;            // GA
constexpr int kGainCb2 = 16;           // GB
constexpr int kGainCand1 = 4;          // pre-selected GA candidates
constexpr int kGainCand2 = 8;          // pre-selected GB candidates

// Taming of the adaptive-codebook feedback: excitation error estimates per zone of 40 past
// samples.
constexpr int kTamingZones = 4;
constexpr double kTameClip = 0.95;
constexpr double kTameClip2 = 0.94;
constexpr double kTameLimit = 0.9999;
constexpr double kTameThreshold = 60000.0;

// Post-filter. The long-term part searches delays T-3..T+3 (T+3 at most 143) of the residual
// and takes effect when the squared correlation reaches kLtpVoicing times the product of the
// two energies (each with a kLtpEnergyFloor floor).
constexpr double kGammaNum = 0.55;    // post-filter numerator A(z/0.55)
constexpr double kGammaDen = 0.70;    // post-filter denominator 1/A(z/0.7)
constexpr double kGammaPitch = 0.50;  // long-term post-filter weight
constexpr int kPostPitchReach = 3;
constexpr double kLtpVoicing = 0.5;
constexpr double kLtpEnergyFloor = 0.5;
constexpr double kTiltFactor = 0.8;
constexpr int kImpulseLen = 22;  // tilt compensation impulse response length
constexpr double kAgcFactor = 0.9;

// Lost frames: the fixed-codebook parameters come from a 16-bit linear congruential generator
// (seed * multiplier + increment, modulo 2^16); the gains of the previous subframe decay, and
// the gain predictor's memory falls by kErasedEnergyStep each subframe down to its reset value.
constexpr unsigned kConcealSeed = 21845;
constexpr unsigned kRandomMultiplier = 31821;
constexpr unsigned kRandomIncrement = 13849;
constexpr double kErasedPitchDecay = 0.9;
constexpr double kErasedCodeDecay = 0.98;
constexpr double kErasedEnergyStep = 4.0;     // dB
constexpr double kErasedEnergyFloor = -14.0;  // dB

constexpr double kFloatMax = 1.0e38;

}  // namespace g729
