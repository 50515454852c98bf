#include "voice/codec/codec_state.h"

#include <cstring>

#include "voice/codec/audiocode.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/decoder.h"
#include "voice/codec/encoder.h"

namespace g729 {
namespace {

// All three constant-initialised (plain data, zero), so a CAudioCode constructed during
// another file's static initialisation still finds them in place.
bool g_prepared = false;
EncoderState g_encoder;
DecoderState g_decoder;

}  // namespace

void ResetCodecStates()
{
    InitEncoder(g_encoder);
    InitDecoder(g_decoder);
    g_prepared = true;
}

void PrepareCodecStates()
{
    if (!g_prepared)
        ResetCodecStates();
}

void EncodeCodecFrame(const unsigned char* pcm, unsigned char out[kFrameBytes])
{
    double speech[kFrame];
    for (int n = 0; n < kFrame; ++n) {
        short v;
        std::memcpy(&v, pcm + 2 * n, sizeof v);
        speech[n] = v;
    }
    int prm[kParams];
    EncodeFrame(g_encoder, speech, prm);
    PackFrame(prm, out);
}

namespace {

// Decodes one frame (or conceals it when prm is null) into 80 16-bit samples at pcm.
void DecodeToPcm(const int* prm, unsigned char* pcm)
{
    static const int kNoParams[kParams] = {};
    double speech[kFrame];
    DecodeFrame(g_decoder, prm ? prm : kNoParams, speech, nullptr, prm == nullptr);
    for (int n = 0; n < kFrame; ++n) {
        short v = ToPcm16(speech[n]);
        std::memcpy(pcm + 2 * n, &v, sizeof v);
    }
}

}  // namespace

void DecodeCodecFrame(const unsigned char in[kFrameBytes], unsigned char* pcm)
{
    int prm[kParams];
    UnpackFrame(in, prm);
    DecodeToPcm(prm, pcm);
}

void ConcealCodecFrame(unsigned char* pcm)
{
    DecodeToPcm(nullptr, pcm);
}

}  // namespace g729
