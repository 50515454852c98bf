#include "codec_io.h"

#include <cstring>

#include "voice/codec/audiocode.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/codec_state.h"

namespace g729a {
namespace {

CAudioCode& Codec()
{
    static CAudioCode codec;
    return codec;
}

}  // namespace

std::vector<unsigned char> EncodePcm(const std::vector<unsigned char>& pcm)
{
    const size_t frameBytes = 2 * g729::kFrame;
    size_t frames = pcm.size() / frameBytes;
    std::vector<unsigned char> out(frames * g729::kFrameBytes);
    size_t f = 0;
    for (; f + g729::kBlockFrames <= frames; f += g729::kBlockFrames) {
        Codec().Encode(&pcm[f * frameBytes], g729::kBlockPcmBytes, &out[f * g729::kFrameBytes],
                       nullptr);
    }
    for (; f < frames; ++f)
        g729::EncodeCodecFrame(&pcm[f * frameBytes], &out[f * g729::kFrameBytes]);
    return out;
}

std::vector<short> DecodePacked(const std::vector<unsigned char>& packed)
{
    size_t frames = packed.size() / g729::kFrameBytes;
    std::vector<short> out(frames * g729::kFrame);
    size_t f = 0;
    for (; f + g729::kBlockFrames <= frames; f += g729::kBlockFrames) {
        Codec().Decode(&packed[f * g729::kFrameBytes], &out[f * g729::kFrame], nullptr);
    }
    for (; f < frames; ++f) {
        g729::DecodeCodecFrame(&packed[f * g729::kFrameBytes],
                               reinterpret_cast<unsigned char*>(&out[f * g729::kFrame]));
    }
    return out;
}

std::vector<std::vector<int>> UnpackAll(const std::vector<unsigned char>& packed)
{
    std::vector<std::vector<int>> all;
    for (size_t off = 0; off + g729::kFrameBytes <= packed.size(); off += g729::kFrameBytes) {
        int prm[g729::kParams];
        g729::UnpackFrame(&packed[off], prm);
        all.emplace_back(prm, prm + g729::kParams);
    }
    return all;
}

}  // namespace g729a
