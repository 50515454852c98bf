#include "voice/codec/decoder.h"

#include <cstring>

#include "voice/codec/acelp_search.h"
#include "voice/codec/filters.h"
#include "voice/codec/gain.h"
#include "voice/codec/lsp.h"
#include "voice/codec/pitch_closedloop.h"
#include "voice/codec/tables.h"

namespace g729 {

void InitDecoder(DecoderState& s) {
  std::memset(&s, 0, sizeof s);
  std::memcpy(s.lspOld, lsp_reset, sizeof s.lspOld);
  for (int k = 0; k < kMaOrder; ++k) {
    std::memcpy(s.lsfMemory[k], freq_prev_reset, sizeof s.lsfMemory[k]);
  }
  std::memcpy(s.pastEnergy, past_qua_en_reset, sizeof s.pastEnergy);
  s.sharp = kSharpMin;
  s.previousDelay = 60;
  InitPostFilter(s.post);
}

bool PitchParityError(int p1, int parity) { return PitchParity(p1) != (parity & 1); }

void DecodeDelay1(int index, int* T, int* frac) {
  if (index < 197) {
    *T = (index + 2) / 3 + 19;
    *frac = index - 3 * *T + 58;
  } else {
    *T = index - 112;
    *frac = 0;
  }
}

void DecodeDelay2(int index, int T1, int* T, int* frac) {
  int tMin = SecondSubframeWindow(T1).min;
  int k = (index + 2) / 3 - 1;
  *T = k + tMin;
  *frac = index - 2 - 3 * k;
}

void FixedCodebookVector(int positions, int signs, double code[kSubframe]) {
  int pos[4];
  pos[0] = (positions & 7) * kPulseStep;
  pos[1] = ((positions >> 3) & 7) * kPulseStep + 1;
  pos[2] = ((positions >> 6) & 7) * kPulseStep + 2;
  pos[3] = ((positions >> 10) & 7) * kPulseStep + ((positions >> 9) & 1) + 3;
  std::memset(code, 0, kSubframe * sizeof(double));
  for (int k = 0; k < 4; ++k) code[pos[k]] = ((signs >> k) & 1) ? 1.0 : -1.0;
}

namespace {

// Pitch delay of the subframe from its parameter, applying the parity rule to subframe 1.
void SubframeDelay(DecoderState& s, int sub, int index, bool parityError, int* T, int* frac) {
  if (sub == 0) {
    if (parityError) {
      *T = s.previousDelay;
      *frac = 0;
      if (++s.previousDelay > kPitchMax) s.previousDelay = kPitchMax;
      return;
    }
    DecodeDelay1(index, T, frac);
  } else {
    DecodeDelay2(index, *T, T, frac);
  }
  s.previousDelay = *T;
}

// Excitation and synthesis of one subframe; prm points to its four parameters
// (delay, positions, signs, gains).
void DecodeSubframe(DecoderState& s, int sub, const int* prm, bool parityError,
                    const double a[11], int* T, double* synth) {
  int frac = 0;
  SubframeDelay(s, sub, prm[0], parityError, T, &frac);
  double* exc = s.excitation + kExcHistory + sub * kSubframe;
  AdaptiveCodebookVector(exc, *T, frac, kSubframe);

  double code[kSubframe];
  FixedCodebookVector(prm[1], prm[2], code);
  SharpenForPitch(code, *T, s.sharp);

  double gainPitch, gainCode;
  DecodeGains(prm[3], s.pastEnergy, code, &gainPitch, &gainCode);
  s.sharp = SharpeningFactor(gainPitch);

  for (int i = 0; i < kSubframe; ++i) exc[i] = gainPitch * exc[i] + gainCode * code[i];
  SynthesisFilter(a, exc, synth, kSubframe, s.synthMemory, true);
}

}  // namespace

void DecodeFrame(DecoderState& s, const int prm[kParams], double out[kFrame], int* delays) {
  bool parityError = PitchParityError(prm[2], prm[3]);

  double lspNew[kOrder];
  LspDecode(prm, s.lsfMemory, lspNew);
  double aq[2 * kOrderP1];
  InterpolateLsp(s.lspOld, lspNew, aq);
  std::memcpy(s.lspOld, lspNew, sizeof s.lspOld);

  // Synthesis with the previous frame's last 10 samples in front, for the post-filter.
  double synth[kOrder + kFrame];
  std::memcpy(synth, s.synthHistory, sizeof s.synthHistory);
  int T = 0;
  int subDelay[kSubframes];
  const int subPrm[kSubframes][4] = {{prm[2], prm[4], prm[5], prm[6]},
                                     {prm[7], prm[8], prm[9], prm[10]}};
  for (int sub = 0; sub < kSubframes; ++sub) {
    DecodeSubframe(s, sub, subPrm[sub], parityError, aq + sub * kOrderP1, &T,
                   synth + kOrder + sub * kSubframe);
    subDelay[sub] = T;
    if (delays) delays[sub] = T;
  }
  std::memmove(s.excitation, s.excitation + kFrame, kExcHistory * sizeof(double));

  for (int sub = 0; sub < kSubframes; ++sub) {
    PostFilterSubframe(s.post, synth + kOrder + sub * kSubframe, aq + sub * kOrderP1,
                       subDelay[sub], out + sub * kSubframe);
  }
  std::memcpy(s.synthHistory, synth + kFrame, sizeof s.synthHistory);
  PostProcess(s.highPass, out, kFrame);
}

}  // namespace g729
