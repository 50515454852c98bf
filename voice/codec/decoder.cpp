#include "voice/codec/decoder.h"

#include <cstring>

#include "voice/codec/codebooks.h"
#include "voice/codec/concealment.h"
#include "voice/codec/filters.h"
#include "voice/codec/gain.h"
#include "voice/codec/lsp.h"
#include "voice/codec/postfilter.h"
#include "voice/codec/postprocess.h"

namespace g729 {
namespace {

// LSPs of the frame: decoded from parameters 1 and 2 (remembered for a lost frame after it),
// or those of the last good frame when this one was lost.
void FrameLsp(DecoderState& s, const int prm[kParams], bool badFrame, double lsp[kOrder])
{
    if (badFrame) {
        ConcealLsp(s.conceal, s.past.lsfMemory, lsp);
        return;
    }
    s.conceal.maMode = LsfDecode(prm, s.past.lsfMemory, s.conceal.lsf);
    LsfToLsp(s.conceal.lsf, lsp);
}

// Pitch delay of the subframe from its parameter; when the parameter cannot be trusted (a lost
// frame, or a parity error in subframe 1) the previous integer delay with fraction 0, the
// stored delay then growing by one up to 143.
void SubframeDelay(DecoderState& s, int sub, int index, bool reuse, int* t, int* frac)
{
    if (reuse) {
        *t = s.previousDelay;
        *frac = 0;
        if (++s.previousDelay > kPitchMax)
            s.previousDelay = kPitchMax;
        return;
    }
    if (sub == 0) {
        DecodeDelayFirst(index, t, frac);
    } else {
        DecodeDelaySecond(index, *t, t, frac);
    }
    s.previousDelay = *t;
}

// Gains of the subframe from its parameter, or decayed from the previous subframe's when the
// frame was lost; kept for a lost subframe after it.
void SubframeGains(DecoderState& s, int index, bool badFrame, const double code[kSubframe],
                   double* gainPitch, double* gainCode)
{
    if (badFrame) {
        ConcealGains(s.conceal, s.past.gainEnergy, gainPitch, gainCode);
        return;
    }
    DecodeGains(index, s.past.gainEnergy, code, gainPitch, gainCode);
    s.conceal.gainPitch = *gainPitch;
    s.conceal.gainCode = *gainCode;
}

// Excitation and synthesis of subframe sub of the frame's parameters prm.
void DecodeSubframe(DecoderState& s, int sub, const int prm[kParams], bool badFrame,
                    bool parityError, const double a[kOrderP1], int* t, double* synth)
{
    CodedPast& past = s.past;
    int frac = 0;
    bool reuseDelay = badFrame || (sub == 0 && parityError);
    SubframeDelay(s, sub, prm[kPrmDelay[sub]], reuseDelay, t, &frac);
    double* exc = past.excitation + kExcHistory + sub * kSubframe;
    AdaptiveCodebookVector(exc, *t, frac, kSubframe);

    double code[kSubframe];
    FixedCodebookVector(prm[kPrmPositions[sub]], prm[kPrmSigns[sub]], code);
    SharpenForPitch(code, *t, past.sharpening);

    double gainPitch, gainCode;
    SubframeGains(s, prm[kPrmGains[sub]], badFrame, code, &gainPitch, &gainCode);
    past.sharpening = SharpeningFactor(gainPitch);

    for (int i = 0; i < kSubframe; ++i)
        exc[i] = gainPitch * exc[i] + gainCode * code[i];
    SynthesisFilter(a, exc, synth, kSubframe, s.synthMemory, true);
}

// The parameters the frame decodes with: those received, or for a lost frame random
// fixed-codebook parameters (the others are not read).
void FrameParams(DecoderState& s, const int prm[kParams], bool badFrame, int used[kParams])
{
    std::memcpy(used, prm, kParams * sizeof(int));
    if (!badFrame)
        return;
    for (int sub = 0; sub < kSubframes; ++sub)
        RandomCodebook(&s.conceal.seed, &used[kPrmPositions[sub]], &used[kPrmSigns[sub]]);
}

}  // namespace

void DecodeFrame(DecoderState& s, const int prm[kParams], double out[kFrame], int* delays,
                 bool bBadFrame)
{
    int used[kParams];
    FrameParams(s, prm, bBadFrame, used);
    bool parityError = PitchParityError(used[kPrmDelay[0]], used[kPrmParity]);

    double lspNew[kOrder];
    FrameLsp(s, used, bBadFrame, lspNew);
    double aq[kSubframes * kOrderP1];
    InterpolateLsp(s.past.lsp, lspNew, aq);
    std::memcpy(s.past.lsp, lspNew, sizeof s.past.lsp);

    // Synthesis with the previous frame's last 10 samples (the synthesis filter's memory) in
    // front, for the post-filter.
    double synth[kOrder + kFrame];
    std::memcpy(synth, s.synthMemory, sizeof s.synthMemory);
    int t = 0;
    int subDelay[kSubframes];
    for (int sub = 0; sub < kSubframes; ++sub) {
        DecodeSubframe(s, sub, used, bBadFrame, parityError, aq + sub * kOrderP1, &t,
                       synth + kOrder + sub * kSubframe);
        subDelay[sub] = t;
        if (delays)
            delays[sub] = t;
    }
    std::memmove(s.past.excitation, s.past.excitation + kFrame, kExcHistory * sizeof(double));

    for (int sub = 0; sub < kSubframes; ++sub) {
        PostFilterSubframe(s.post, synth + kOrder + sub * kSubframe, aq + sub * kOrderP1,
                           subDelay[sub], out + sub * kSubframe);
    }
    PostProcess(s.highPass, out, kFrame);
}

}  // namespace g729
