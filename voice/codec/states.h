// Every memory of the encoder and of the decoder, side by side. One EncoderState codes one
// stream of frames and one DecoderState decodes one.
#pragma once

#include "voice/codec/constants.h"
#include "voice/codec/filters.h"

namespace g729 {

// What both sides rebuild from the transmitted parameters and carry to the next frame. The
// encoder keeps its own copy in step with the decoder's, so each of its choices starts from
// the decoder's past.
struct CodedPast {
    // Excitation: 154 past samples (143 + the reach of the interpolation filter), then the
    // current frame.
    double excitation[kExcHistory + kFrame];
    double lsp[kOrder];                  // quantised LSPs of the previous frame
    double lsfMemory[kMaOrder][kOrder];  // MA predictor memory, newest first
    double gainEnergy[kMaOrder];         // quantised gain energies in dB, newest first
    double sharpening;                   // pitch sharpening of the fixed codebook
};

struct EncoderState {
    CodedPast past;
    // High-passed speech: [0, 120) past, [120, 200) the frame being coded, [200, 240)
    // look-ahead. The newest input frame lands at [160, 240).
    double speech[kWindow];
    // Weighted speech: 143 past samples, then the current frame.
    double wsp[kPitchMax + kFrame];
    double memWeighted[kOrder];         // 1/A'(z) of the weighted speech
    double memError[kOrder];            // weighted error, for the target of the next subframe
    double lspUnquantised[kOrder];      // previous frame's LSPs before quantisation
    double tamingErrors[kTamingZones];  // excitation error estimate per zone, newest first
    BiquadMemory highPass;              // input high-pass filter
};

struct PostFilterState {
    // Residual of A(z/0.55): 143 past samples followed by the current subframe.
    double residual[kPitchMax + kSubframe];
    double poleMemory[kOrder];  // 1/A(z/0.7) memory, oldest first
    double tiltMemory;          // last long-term output sample of the previous subframe
    double gain;                // adaptive gain of the previous sample
};

// What the decoder keeps to rebuild a lost frame from its past.
struct ConcealmentMemory {
    double lsf[kOrder];  // LSFs of the last good frame, after the stability step
    int maMode;          // MA predictor (0 or 1) of the last good frame
    double gainPitch;    // gains of the previous subframe
    double gainCode;
    unsigned seed;  // 16-bit generator of the fixed-codebook parameters of lost subframes
};

struct DecoderState {
    CodedPast past;
    ConcealmentMemory conceal;
    // 1/A(z) memory: the last 10 synthesis samples, which the post-filter also reads.
    double synthMemory[kOrder];
    int previousDelay;  // integer delay reused after a parity error or a lost frame
    PostFilterState post;
    BiquadMemory highPass;  // output high-pass filter
};

// Initial values, as after a reset.
void InitEncoder(EncoderState& st);
void InitDecoder(DecoderState& st);
void InitPostFilter(PostFilterState& st);

}  // namespace g729
