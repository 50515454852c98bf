#include "voice/codec/audiocode.h"

#include "voice/codec/codec_state.h"
#include "voice/codec/constants.h"

namespace g729 {

short ToPcm16(double x)
{
    double y = x >= 0.0 ? x + 0.5 : x - 0.5;
    if (y > 32767.0)
        y = 32767.0;
    if (y < -32768.0)
        y = -32768.0;
    return static_cast<short>(y);
}

}  // namespace g729

using namespace g729;

CAudioCode::CAudioCode()
{
    PrepareCodecStates();
}

CAudioCode::~CAudioCode() {}

int CAudioCode::Encode(const void* pcm, int pcmBytes, unsigned char* out, int* outBytes)
{
    if (pcmBytes != kBlockPcmBytes || out == nullptr || pcm == nullptr)
        return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(pcm);
    for (int k = 0; k < kBlockFrames; ++k) {
        EncodeCodecFrame(bytes + 2 * kFrame * k, out + kFrameBytes * k);
    }
    if (outBytes)
        *outBytes = kBlockCodedBytes;
    return 1;
}

int CAudioCode::Decode(const unsigned char* in, void* pcm, int* pcmBytes)
{
    if (pcm == nullptr || in == nullptr)
        return 0;
    unsigned char* bytes = static_cast<unsigned char*>(pcm);
    for (int k = 0; k < kBlockFrames; ++k) {
        DecodeCodecFrame(in + kFrameBytes * k, bytes + 2 * kFrame * k);
    }
    if (pcmBytes)
        *pcmBytes = kBlockPcmBytes;
    return 1;
}

int CAudioCode::Conceal(void* pcm, int* pcmBytes)
{
    if (pcm == nullptr)
        return 0;
    unsigned char* bytes = static_cast<unsigned char*>(pcm);
    for (int k = 0; k < kBlockFrames; ++k)
        ConcealCodecFrame(bytes + 2 * kFrame * k);
    if (pcmBytes)
        *pcmBytes = kBlockPcmBytes;
    return 1;
}
