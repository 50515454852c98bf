// The speech codec object: 960-byte blocks of 16-bit PCM (six 10 ms frames at 8 kHz) to
// 60-byte coded blocks (six 10-byte frames) and back.
//
// The object has no data of its own: the encoder and decoder states are library-wide and are
// initialised when the first CAudioCode is constructed, then only advanced. Encode and Decode
// are not reentrant; callers serialise them (the voice library holds its lock around each call).
#pragma once

class CAudioCode {
public:
    CAudioCode();
    virtual ~CAudioCode();

    // pcm: 480 samples (pcmBytes must be 960); out: at least 60 bytes. Returns 1 and sets
    // *outBytes = 60 (when outBytes is not null); returns 0 and writes nothing when pcmBytes is
    // not 960 or out is null.
    int Encode(const void* pcm, int pcmBytes, unsigned char* out, int* outBytes);

    // in: exactly 60 bytes are read; pcm: at least 960 bytes. Returns 1 and sets
    // *pcmBytes = 960 (when pcmBytes is not null); returns 0 when pcm is null.
    int Decode(const unsigned char* in, void* pcm, int* pcmBytes);

    // Fills a block lost in transit: six frames rebuilt from the decoder's past, advancing the
    // same decoder state as Decode. pcm: at least 960 bytes. Returns 1 and sets
    // *pcmBytes = 960 (when pcmBytes is not null); returns 0 when pcm is null.
    int Conceal(void* pcm, int* pcmBytes);
};

namespace g729 {

constexpr int kBlockFrames = 6;
constexpr int kBlockPcmBytes = 960;
constexpr int kBlockCodedBytes = 60;

// Conversion of a decoded sample to 16 bits: round half away from zero, clamp.
short ToPcm16(double x);

}  // namespace g729
