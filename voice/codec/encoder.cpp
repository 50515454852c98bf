#include "voice/codec/encoder.h"

#include "voice/codec/acelp_search.h"
#include "voice/codec/filters.h"
#include "voice/codec/gain_quantiser.h"
#include "voice/codec/lpc_analysis.h"
#include "voice/codec/lpc_to_lsp.h"
#include "voice/codec/lsp.h"
#include "voice/codec/lsp_quantiser.h"
#include "voice/codec/pitch_closedloop.h"
#include "voice/codec/pitch_openloop.h"
#include "voice/codec/tables.h"
#include "voice/codec/weighting.h"

namespace g729 {
namespace {

constexpr int kCurrent = kWindow - kFrame - kLookAhead;  // 120: start of the coded frame
constexpr int kTamingZones = 4;

template <typename T, int N>
void CopyArray(const T (&from)[N], T (&to)[N]) {
  for (int i = 0; i < N; ++i) to[i] = from[i];
}

// Moves the newest `keep` samples of a buffer of `total` to its start.
void ShiftHistory(double* buf, int total, int keep) {
  for (int i = 0; i < keep; ++i) buf[i] = buf[total - keep + i];
}

// LP analysis and LSP quantisation of the frame: the interpolated quantised LP
// coefficients of both subframes go to aq; parameters 1 and 2 to prm.
void AnalyseFrame(EncoderState& st, double aq[2 * kOrderP1], int prm[2]) {
  double a[kOrderP1];
  AnalyseLpc(st.speech, a);
  double lsp[kOrder], lspQ[kOrder];
  LpcToLsp(a, st.lspOld, lsp);
  QuantiseLsp(lsp, st.lsfMemory, lspQ, prm);
  InterpolateLsp(st.lspOldQ, lspQ, aq);
  CopyArray(lsp, st.lspOld);
  CopyArray(lspQ, st.lspOldQ);
}

// Codes one subframe: adaptive codebook, fixed codebook, gains; updates the excitation, the
// error filter memory, sharpening and taming. Writes its parameters to prm: delay, parity
// (subframe 1 only), positions, signs, gains.
void EncodeSubframe(EncoderState& st, const double aq[kOrderP1], int sub, PitchWindow* window,
                    int* prm) {
  const int at = sub * kSubframe;
  double* exc = st.exc + kExcHistory + at;

  double ap[kOrderP1], h[kSubframe];
  WeightLpc(aq, kGamma1, ap);
  ImpulseResponse(ap, h);

  // Target: the LP residual (still in exc) through the weighted synthesis filter, starting
  // from the weighted error left by the previous subframe.
  double xn[kSubframe];
  SynthesisFilter(ap, exc, xn, kSubframe, st.memError, false);

  double d[kSubframe];
  BackwardFilter(h, xn, d);
  int frac = 0;
  int t = SearchAdaptiveCodebook(exc, d, *window, sub == 0, &frac);
  if (sub == 0) {
    int index = EncodeDelayFirst(t, frac);
    *prm++ = index;
    *prm++ = PitchParity(index);
    *window = SecondSubframeWindow(t);
  } else {
    *prm++ = EncodeDelaySecond(t, frac, *window);
  }

  double y1[kSubframe];
  double zero[kOrder] = {};
  SynthesisFilter(ap, exc, y1, kSubframe, zero, false);
  GainTerms terms;
  double gp = AdaptiveGain(xn, y1, terms.c);
  bool taming = NeedsTaming(st.tamingErrors, t, frac);
  if (taming && gp > kTameClip) gp = kTameClip;

  double xn2[kSubframe];
  for (int i = 0; i < kSubframe; ++i) xn2[i] = xn[i] - gp * y1[i];
  double code[kSubframe], y2[kSubframe];
  FixedCodeword cw = SearchFixedCodebook(xn2, h, t, st.sharpening, code, y2);
  *prm++ = cw.positions;
  *prm++ = cw.signs;

  CodeGainTerms(xn, y1, y2, &terms);
  double gc = 0.0;
  *prm++ = QuantiseGains(code, terms, taming, st.pastEnergy, &gp, &gc);

  st.sharpening = gp < kSharpMin ? kSharpMin : gp > kSharpMax ? kSharpMax : gp;
  for (int i = 0; i < kSubframe; ++i) exc[i] = gp * exc[i] + gc * code[i];
  UpdateTamingErrors(st.tamingErrors, gp, t);
  for (int j = 0; j < kOrder; ++j) {
    int i = kSubframe - kOrder + j;
    st.memError[j] = xn[i] - gp * y1[i] - gc * y2[i];
  }
}

}  // namespace

void InitEncoder(EncoderState& st) {
  st = EncoderState{};
  CopyArray(lsp_reset, st.lspOld);
  CopyArray(lsp_reset, st.lspOldQ);
  for (auto& row : st.lsfMemory) CopyArray(freq_prev_reset, row);
  CopyArray(past_qua_en_reset, st.pastEnergy);
  st.sharpening = kSharpMin;
  for (int k = 0; k < kTamingZones; ++k) st.tamingErrors[k] = 1.0;
}

void EncodeFrame(EncoderState& st, const double speech[80], int prm[11]) {
  HighPassInput(st.highPass, speech, st.speech + kWindow - kFrame, kFrame);

  double aq[2 * kOrderP1];
  AnalyseFrame(st, aq, prm);

  // The LP residual of the frame goes into the excitation buffer: the target and, for
  // short delays, the adaptive-codebook search read it there.
  double* exc = st.exc + kExcHistory;
  double* wsp = st.wsp + kPitchMax;
  WeightSpeech(aq, st.speech + kCurrent, exc, wsp, st.memWeighted);

  PitchWindow window = FirstSubframeWindow(OpenLoopPitch(wsp));
  EncodeSubframe(st, aq, 0, &window, prm + 2);
  EncodeSubframe(st, aq + kOrderP1, 1, &window, prm + 7);

  ShiftHistory(st.speech, kWindow, kWindow - kFrame);
  ShiftHistory(st.wsp, kPitchMax + kFrame, kPitchMax);
  ShiftHistory(st.exc, kExcHistory + kFrame, kExcHistory);
}

}  // namespace g729
