#include "voice/codec/encoder.h"

#include "voice/codec/acelp_search.h"
#include "voice/codec/codebooks.h"
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
#include "voice/codec/weighting.h"

namespace g729 {
namespace {

constexpr int kCurrent = kWindow - kFrame - kLookAhead;  // 120: start of the coded frame

template <typename T, int N>
void CopyArray(const T (&from)[N], T (&to)[N])
{
    for (int i = 0; i < N; ++i)
        to[i] = from[i];
}

// Moves the newest `keep` samples of a buffer of `total` to its start.
void ShiftHistory(double* buf, int total, int keep)
{
    for (int i = 0; i < keep; ++i)
        buf[i] = buf[total - keep + i];
}

// The parameters the memories advance with: the encoder's own, or those it follows.
struct FrameCoder {
    EncoderState& st;
    int* prm;
    const int* follow;
    int t1 = 0;  // integer delay of subframe 1 as used
    int Used(int k) const { return follow ? follow[k] : prm[k]; }
};

// LP analysis and LSP quantisation of the frame: the interpolated quantised LP
// coefficients of both subframes go to aq, parameters 1 and 2 to prm.
void AnalyseFrame(FrameCoder& fc, double aq[kSubframes * kOrderP1])
{
    EncoderState& st = fc.st;
    double a[kOrderP1];
    AnalyseLpc(st.speech, a);
    double lsp[kOrder], lspQ[kOrder];
    LpcToLsp(a, st.lspUnquantised, lsp);
    SelectLspIndices(lsp, st.past.lsfMemory, fc.prm);
    // The reconstruction is the decoder's own, so both sides keep identical MA memories.
    const int used[2] = {fc.Used(0), fc.Used(1)};
    LspDecode(used, st.past.lsfMemory, lspQ);
    InterpolateLsp(st.past.lsp, lspQ, aq);
    CopyArray(lsp, st.lspUnquantised);
    CopyArray(lspQ, st.past.lsp);
}

// Adaptive codebook of subframe sub: searches the delay in *window (exc then holds the
// adaptive vector), writes the delay parameters, and moves the window on for subframe 2.
// Returns the integer delay used and its fraction in *frac.
int ChoosePitch(FrameCoder& fc, int sub, const double d[kSubframe], double* exc,
                PitchWindow* window, int* frac)
{
    int t = SearchAdaptiveCodebook(exc, d, *window, sub == 0, frac);
    int k = kPrmDelay[sub];
    fc.prm[k] = sub == 0 ? EncodeDelayFirst(t, *frac) : EncodeDelaySecond(t, *frac, *window);
    if (sub == 0)
        fc.prm[kPrmParity] = PitchParity(fc.prm[k]);
    if (fc.follow && fc.follow[k] != fc.prm[k]) {
        if (sub == 0) {
            DecodeDelayFirst(fc.follow[k], &t, frac);
        } else {
            DecodeDelaySecond(fc.follow[k], fc.t1, &t, frac);
        }
        AdaptiveCodebookVector(exc, t, *frac, kSubframe);
    }
    if (sub == 0) {
        fc.t1 = t;
        *window = SecondSubframeWindow(t);
    }
    return t;
}

// Codes one subframe: adaptive codebook, fixed codebook, gains; updates the excitation, the
// error filter memory, sharpening and taming.
void EncodeSubframe(FrameCoder& fc, const double aq[kOrderP1], int sub, PitchWindow* window)
{
    EncoderState& st = fc.st;
    CodedPast& past = st.past;
    double* exc = past.excitation + kExcHistory + sub * kSubframe;

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
    int t = ChoosePitch(fc, sub, d, exc, window, &frac);

    double y1[kSubframe];
    double zero[kOrder] = {};
    SynthesisFilter(ap, exc, y1, kSubframe, zero, false);
    GainTerms terms;
    double gp = AdaptiveGain(xn, y1, terms.c);
    bool taming = NeedsTaming(st.tamingErrors, t, frac);
    if (taming && gp > kTameClip)
        gp = kTameClip;

    double xn2[kSubframe];
    for (int i = 0; i < kSubframe; ++i)
        xn2[i] = xn[i] - gp * y1[i];
    SharpenForPitch(h, t, past.sharpening);
    FixedCodeword cw = SearchFixedCodebook(xn2, h);
    fc.prm[kPrmPositions[sub]] = cw.positions;
    fc.prm[kPrmSigns[sub]] = cw.signs;
    cw = {fc.Used(kPrmPositions[sub]), fc.Used(kPrmSigns[sub])};
    double code[kSubframe], y2[kSubframe];
    RenderFixedCodeword(cw, h, t, past.sharpening, code, y2);

    CodeGainTerms(xn, y1, y2, &terms);
    fc.prm[kPrmGains[sub]] = SelectGains(code, terms, taming, past.gainEnergy);
    double gc = 0.0;
    DecodeGains(fc.Used(kPrmGains[sub]), past.gainEnergy, code, &gp, &gc);

    past.sharpening = SharpeningFactor(gp);
    for (int i = 0; i < kSubframe; ++i)
        exc[i] = gp * exc[i] + gc * code[i];
    UpdateTamingErrors(st.tamingErrors, gp, t);
    for (int j = 0; j < kOrder; ++j) {
        int i = kSubframe - kOrder + j;
        st.memError[j] = xn[i] - gp * y1[i] - gc * y2[i];
    }
}

void CodeFrame(EncoderState& st, const double speech[kFrame], const int* follow, int prm[kParams])
{
    HighPassInput(st.highPass, speech, st.speech + kWindow - kFrame, kFrame);
    FrameCoder fc{st, prm, follow};

    double aq[kSubframes * kOrderP1];
    AnalyseFrame(fc, aq);

    // The LP residual of the frame goes into the excitation buffer: the target and, for
    // short delays, the adaptive-codebook search read it there.
    double* exc = st.past.excitation + kExcHistory;
    double* wsp = st.wsp + kPitchMax;
    WeightSpeech(aq, st.speech + kCurrent, exc, wsp, st.memWeighted);

    PitchWindow window = FirstSubframeWindow(OpenLoopPitch(wsp));
    EncodeSubframe(fc, aq, 0, &window);
    EncodeSubframe(fc, aq + kOrderP1, 1, &window);

    ShiftHistory(st.speech, kWindow, kWindow - kFrame);
    ShiftHistory(st.wsp, kPitchMax + kFrame, kPitchMax);
    ShiftHistory(st.past.excitation, kExcHistory + kFrame, kExcHistory);
}

}  // namespace

void EncodeFrame(EncoderState& st, const double speech[kFrame], int prm[kParams])
{
    CodeFrame(st, speech, nullptr, prm);
}

void EncodeFrameFollowing(EncoderState& st, const double speech[kFrame], const int follow[kParams],
                          int prm[kParams])
{
    CodeFrame(st, speech, follow, prm);
}

}  // namespace g729
