#include "encoder_vectors.h"

#include "tools/g729a/files.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/encoder.h"

namespace encoder_vectors {

bool ReadSpeech(const std::string& path, std::vector<short>* samples)
{
    std::vector<unsigned char> bytes;
    std::string error;
    if (!g729a::ReadFile(path, &bytes, &error))
        return false;
    *samples = g729a::ToSamples(bytes);
    samples->resize(samples->size() / g729::kFrame * g729::kFrame);
    return true;
}

bool ReadSerial(const std::string& path, std::vector<Params>* frames)
{
    std::vector<unsigned char> bytes;
    std::vector<g729a::SerialFrame> serial;
    std::string error;
    if (!g729a::ReadFile(path, &bytes, &error) || !g729a::ParseSerial(bytes, &serial, &error)) {
        return false;
    }
    frames->clear();
    for (const g729a::SerialFrame& s : serial) {
        unsigned char packed[g729::kFrameBytes];
        g729a::BitsToBytes(s.bits, packed);
        frames->emplace_back();
        g729::UnpackFrame(packed, frames->back().data());
    }
    return true;
}

Agreement CompareWithReference(const std::vector<short>& samples, const std::vector<Params>& ref,
                               Mode mode, std::vector<Params>* coded)
{
    static g729::EncoderState st;  // large; kept off the stack
    g729::InitEncoder(st);
    Agreement a;
    size_t frames = samples.size() / g729::kFrame;
    if (ref.size() < frames)
        frames = ref.size();
    if (coded)
        coded->clear();
    for (size_t f = 0; f < frames; ++f) {
        double speech[g729::kFrame];
        for (int i = 0; i < g729::kFrame; ++i)
            speech[i] = samples[f * g729::kFrame + i];
        Params p{};
        if (mode == Mode::kFollowing) {
            g729::EncodeFrameFollowing(st, speech, ref[f].data(), p.data());
        } else {
            g729::EncodeFrame(st, speech, p.data());
        }
        for (int k = 0; k < g729::kParams; ++k)
            a.same[k] += p[k] == ref[f][k];
        ++a.frames;
        if (coded)
            coded->push_back(p);
    }
    return a;
}

}  // namespace encoder_vectors
