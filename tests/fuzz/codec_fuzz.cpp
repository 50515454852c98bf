// Feeds arbitrary bytes to the decoder as 60-byte coded blocks, from a fresh decoder state per
// input: every frame must decode to finite samples, and the codec object must accept it too.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "voice/codec/audiocode.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/codec_state.h"
#include "voice/codec/decoder.h"

// Random LSP indices often trip the stability clamps; their warnings would flood the log.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static g729::DecoderState state;
  static CAudioCode codec;
  g729::InitDecoder(state);
  g729::ResetCodecStates();
  // Sixteen blocks are enough history for any decoder memory; longer inputs only slow the run.
  const size_t limit = 16 * g729::kBlockCodedBytes;
  if (size > limit) size = limit;
  for (size_t off = 0; off + g729::kBlockCodedBytes <= size; off += g729::kBlockCodedBytes) {
    for (int k = 0; k < g729::kBlockFrames; ++k) {
      int prm[g729::kParams];
      g729::UnpackFrame(data + off + k * g729::kFrameBytes, prm);
      double out[g729::kFrame];
      g729::DecodeFrame(state, prm, out);
      for (double v : out) {
        if (!std::isfinite(v)) std::abort();
      }
    }
    short pcm[g729::kBlockPcmBytes / 2];
    if (codec.Decode(data + off, pcm, nullptr) != 1) std::abort();
  }
  return 0;
}
