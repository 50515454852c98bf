// Holds the one library-wide encoder state. Until the frame encoder is part of the library
// every frame codes as all-zero parameters, so the codec object still links.
#include "voice/codec/codec_state.h"

#if __has_include("voice/codec/encoder.h")
#include "voice/codec/encoder.h"
#define G729_HAVE_ENCODER 1
#endif

namespace g729 {

#ifdef G729_HAVE_ENCODER
namespace {
EncoderState g_encoder;
}  // namespace

void InitSpeechEncoder() { InitEncoder(g_encoder); }

void EncodeSpeechFrame(const double speech[kFrame], int prm[kParams]) {
  EncodeFrame(g_encoder, speech, prm);
}
#else
void InitSpeechEncoder() {}

void EncodeSpeechFrame(const double*, int prm[kParams]) {
  for (int p = 0; p < kParams; ++p) prm[p] = 0;
}
#endif

}  // namespace g729
