// Holds the one library-wide encoder state behind CAudioCode.
#include "voice/codec/codec_state.h"
#include "voice/codec/encoder.h"

namespace g729 {
namespace {

// A function-local static: ready whichever library object's constructor asks first.
EncoderState& Encoder() {
  static EncoderState state;
  return state;
}

}  // namespace

void InitSpeechEncoder() { InitEncoder(Encoder()); }

void EncodeSpeechFrame(const double speech[kFrame], int prm[kParams]) {
  EncodeFrame(Encoder(), speech, prm);
}

}  // namespace g729
