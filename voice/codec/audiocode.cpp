#include "voice/codec/audiocode.h"

#include <cstring>

#include "voice/codec/bitpack.h"
#include "voice/codec/codec_state.h"
#include "voice/codec/decoder.h"

namespace g729 {
namespace {

// Both constant-initialised, so a CAudioCode constructed during another file's static
// initialisation still finds them in place.
bool g_initialised = false;
DecoderState g_decoder;

}  // namespace

short ToPcm16(double x) {
  double y = x >= 0.0 ? x + 0.5 : x - 0.5;
  if (y > 32767.0) y = 32767.0;
  if (y < -32768.0) y = -32768.0;
  return static_cast<short>(y);
}

void EncodeCodecFrame(const unsigned char* pcm, unsigned char out[kFrameBytes]) {
  double speech[kFrame];
  for (int n = 0; n < kFrame; ++n) {
    short v;
    std::memcpy(&v, pcm + 2 * n, sizeof v);
    speech[n] = v;
  }
  int prm[kParams];
  EncodeSpeechFrame(speech, prm);
  PackFrame(prm, out);
}

void DecodeCodecFrame(const unsigned char in[kFrameBytes], unsigned char* pcm) {
  int prm[kParams];
  UnpackFrame(in, prm);
  double speech[kFrame];
  DecodeFrame(g_decoder, prm, speech);
  for (int n = 0; n < kFrame; ++n) {
    short v = ToPcm16(speech[n]);
    std::memcpy(pcm + 2 * n, &v, sizeof v);
  }
}

void ResetCodecStates() {
  InitSpeechEncoder();
  InitDecoder(g_decoder);
  g_initialised = true;
}

}  // namespace g729

using namespace g729;

CAudioCode::CAudioCode() {
  if (!g_initialised) ResetCodecStates();
}

CAudioCode::~CAudioCode() {}

int CAudioCode::Encode(const void* pcm, int pcmBytes, unsigned char* out, int* outBytes) {
  if (pcmBytes != kBlockPcmBytes || out == nullptr || pcm == nullptr) return 0;
  const unsigned char* bytes = static_cast<const unsigned char*>(pcm);
  for (int k = 0; k < kBlockFrames; ++k) {
    EncodeCodecFrame(bytes + 2 * kFrame * k, out + kFrameBytes * k);
  }
  if (outBytes) *outBytes = kBlockCodedBytes;
  return 1;
}

int CAudioCode::Decode(const unsigned char* in, void* pcm, int* pcmBytes) {
  if (pcm == nullptr || in == nullptr) return 0;
  unsigned char* bytes = static_cast<unsigned char*>(pcm);
  for (int k = 0; k < kBlockFrames; ++k) {
    DecodeCodecFrame(in + kFrameBytes * k, bytes + 2 * kFrame * k);
  }
  if (pcmBytes) *pcmBytes = kBlockPcmBytes;
  return 1;
}
