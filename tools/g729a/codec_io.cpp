#include "codec_io.h"

#include <cstring>

#include "voice/codec/audiocode.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/codec_state.h"

namespace g729a {
namespace {

// The codec object; its first construction also sets the library-wide states to their initial
// values, which the frame-by-frame paths need as much as the block paths.
CAudioCode& Codec()
{
    static CAudioCode codec;
    return codec;
}

// Number of frames flagged lost among [first, first + n).
int LostFrames(const std::vector<bool>& erased, size_t first, size_t n)
{
    int lost = 0;
    for (size_t f = first; f < first + n && f < erased.size(); ++f)
        lost += erased[f];
    return lost;
}

// Frames [first, first + n) one at a time through the library-wide decoder state.
void DecodeFrames(const std::vector<unsigned char>& packed, const std::vector<bool>& erased,
                  size_t first, size_t n, std::vector<short>* out)
{
    for (size_t f = first; f < first + n; ++f) {
        unsigned char* pcm = reinterpret_cast<unsigned char*>(&(*out)[f * g729::kFrame]);
        if (LostFrames(erased, f, 1)) {
            g729::ConcealCodecFrame(pcm);
        } else {
            g729::DecodeCodecFrame(&packed[f * g729::kFrameBytes], pcm);
        }
    }
}

}  // namespace

std::vector<unsigned char> EncodePcm(const std::vector<unsigned char>& pcm)
{
    const size_t frameBytes = 2 * g729::kFrame;
    size_t frames = pcm.size() / frameBytes;
    std::vector<unsigned char> out(frames * g729::kFrameBytes);
    Codec();
    size_t f = 0;
    for (; f + g729::kBlockFrames <= frames; f += g729::kBlockFrames) {
        Codec().Encode(&pcm[f * frameBytes], g729::kBlockPcmBytes, &out[f * g729::kFrameBytes],
                       nullptr);
    }
    for (; f < frames; ++f)
        g729::EncodeCodecFrame(&pcm[f * frameBytes], &out[f * g729::kFrameBytes]);
    return out;
}

std::vector<short> DecodePacked(const std::vector<unsigned char>& packed,
                                const std::vector<bool>& erased)
{
    size_t frames = packed.size() / g729::kFrameBytes;
    std::vector<short> out(frames * g729::kFrame);
    Codec();
    size_t f = 0;
    for (; f + g729::kBlockFrames <= frames; f += g729::kBlockFrames) {
        int lost = LostFrames(erased, f, g729::kBlockFrames);
        if (lost == 0) {
            Codec().Decode(&packed[f * g729::kFrameBytes], &out[f * g729::kFrame], nullptr);
        } else if (lost == g729::kBlockFrames) {
            Codec().Conceal(&out[f * g729::kFrame], nullptr);
        } else {
            DecodeFrames(packed, erased, f, g729::kBlockFrames, &out);
        }
    }
    DecodeFrames(packed, erased, f, frames - f, &out);
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
