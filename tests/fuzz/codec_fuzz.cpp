// Feeds arbitrary bytes to the decoder as 10-byte coded frames, from a fresh decoder state per
// input: every frame must decode to finite samples. The bytes after the decoded frames (at most
// three) mark lost frames, which the decoder conceals instead. An input of one whole 60-byte
// block also goes through the codec object, which must accept it and give the decoder's samples,
// rounded (the object runs the same decoder, so longer inputs would only decode twice).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "voice/codec/audiocode.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/codec_state.h"
#include "voice/codec/decoder.h"

namespace {

// Twenty-four frames reach every decoder memory: the longest, the LSP and gain predictors, span
// four frames, the pitch history under two, the erasure state one. Longer inputs only slow the
// run, so the rest of an input is ignored.
constexpr size_t kMaxFrames = 24;
constexpr size_t kMaskBytes = (kMaxFrames + 7) / 8;

// True when bit k of the loss mask (bytes mask[0..maskBytes)) is set.
bool Lost(const uint8_t* mask, size_t maskBytes, size_t k)
{
    return k / 8 < maskBytes && ((mask[k / 8] >> (k % 8)) & 1);
}

// One frame through the decoder, or its concealment when lost; every sample must be finite.
void DecodeChecked(g729::DecoderState& state, const uint8_t* frame, bool lost,
                   double out[g729::kFrame])
{
    int prm[g729::kParams];
    g729::UnpackFrame(frame, prm);
    g729::DecodeFrame(state, prm, out, nullptr, lost);
    for (int n = 0; n < g729::kFrame; ++n) {
        if (!std::isfinite(out[n]))
            std::abort();
    }
}

// The codec object decodes a block from its own fresh state: the same samples, rounded.
void CheckCodecObject(const uint8_t* block, const double decoded[][g729::kFrame])
{
    static CAudioCode codec;
    g729::ResetCodecStates();
    short pcm[g729::kBlockPcmBytes / 2];
    if (codec.Decode(block, pcm, nullptr) != 1)
        std::abort();
    for (int k = 0; k < g729::kBlockFrames; ++k) {
        for (int n = 0; n < g729::kFrame; ++n) {
            if (pcm[k * g729::kFrame + n] != g729::ToPcm16(decoded[k][n]))
                std::abort();
        }
    }
}

}  // namespace

// Random LSP indices often trip the stability clamps; their warnings would flood the log.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static g729::DecoderState state;
    g729::InitDecoder(state);
    size_t frames = size / g729::kFrameBytes;
    if (frames > kMaxFrames)
        frames = kMaxFrames;
    const uint8_t* mask = data + frames * g729::kFrameBytes;
    size_t maskBytes = std::min<size_t>(size - frames * g729::kFrameBytes, kMaskBytes);
    double firstBlock[g729::kBlockFrames][g729::kFrame];
    double scratch[g729::kFrame];
    bool anyLost = false;
    for (size_t k = 0; k < frames; ++k) {
        bool lost = Lost(mask, maskBytes, k);
        anyLost = anyLost || lost;
        DecodeChecked(state, data + k * g729::kFrameBytes, lost,
                      k < static_cast<size_t>(g729::kBlockFrames) ? firstBlock[k] : scratch);
    }
    if (frames == static_cast<size_t>(g729::kBlockFrames) && !anyLost)
        CheckCodecObject(data, firstBlock);
    return 0;
}
