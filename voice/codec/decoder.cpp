#include "voice/codec/decoder.h"

#include <cstring>

#include "voice/codec/codebooks.h"
#include "voice/codec/filters.h"
#include "voice/codec/gain.h"
#include "voice/codec/lsp.h"
#include "voice/codec/postfilter.h"
#include "voice/codec/postprocess.h"

namespace g729 {
namespace {

// Pitch delay of the subframe from its parameter, applying the parity rule to subframe 1.
void SubframeDelay(DecoderState& s, int sub, int index, bool parityError, int* t, int* frac)
{
    if (sub == 0) {
        if (parityError) {
            *t = s.previousDelay;
            *frac = 0;
            if (++s.previousDelay > kPitchMax)
                s.previousDelay = kPitchMax;
            return;
        }
        DecodeDelayFirst(index, t, frac);
    } else {
        DecodeDelaySecond(index, *t, t, frac);
    }
    s.previousDelay = *t;
}

// Excitation and synthesis of subframe sub of the frame's parameters prm.
void DecodeSubframe(DecoderState& s, int sub, const int prm[kParams], bool parityError,
                    const double a[kOrderP1], int* t, double* synth)
{
    CodedPast& past = s.past;
    int frac = 0;
    SubframeDelay(s, sub, prm[kPrmDelay[sub]], parityError, t, &frac);
    double* exc = past.excitation + kExcHistory + sub * kSubframe;
    AdaptiveCodebookVector(exc, *t, frac, kSubframe);

    double code[kSubframe];
    FixedCodebookVector(prm[kPrmPositions[sub]], prm[kPrmSigns[sub]], code);
    SharpenForPitch(code, *t, past.sharpening);

    double gainPitch, gainCode;
    DecodeGains(prm[kPrmGains[sub]], past.gainEnergy, code, &gainPitch, &gainCode);
    past.sharpening = SharpeningFactor(gainPitch);

    for (int i = 0; i < kSubframe; ++i)
        exc[i] = gainPitch * exc[i] + gainCode * code[i];
    SynthesisFilter(a, exc, synth, kSubframe, s.synthMemory, true);
}

}  // namespace

void DecodeFrame(DecoderState& s, const int prm[kParams], double out[kFrame], int* delays,
                 bool bBadFrame)
{
    (void)bBadFrame;
    bool parityError = PitchParityError(prm[kPrmDelay[0]], prm[kPrmParity]);

    double lspNew[kOrder];
    LspDecode(prm, s.past.lsfMemory, lspNew);
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
        DecodeSubframe(s, sub, prm, parityError, aq + sub * kOrderP1, &t,
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
