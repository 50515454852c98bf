// Holds the one library-wide encoder state behind CAudioCode.
#include "voice/codec/codec_state.h"
#include "voice/codec/encoder.h"

namespace g729 {
namespace {
EncoderState g_encoder;
}  // namespace

void InitSpeechEncoder() { InitEncoder(g_encoder); }

void EncodeSpeechFrame(const double speech[kFrame], int prm[kParams]) {
  EncodeFrame(g_encoder, speech, prm);
}

}  // namespace g729
