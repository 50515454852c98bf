#include "transcode.h"

#include <algorithm>
#include <cstdio>

#include "codec_io.h"
#include "files.h"

namespace g729a {
namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "g729a: %s\n", message.c_str());
    return 2;
}

}  // namespace

int EncodeCommand(const std::string& in, const std::string& out, bool serial)
{
    std::vector<unsigned char> pcm;
    std::string error;
    if (!ReadFile(in, &pcm, &error))
        return Fail(error);
    if (pcm.size() % 2 != 0)
        return Fail(in + ": odd byte count, not 16-bit PCM");
    size_t tail = pcm.size() % (2 * g729::kFrame);
    if (tail != 0) {
        std::fprintf(stderr, "g729a: ignoring the last %zu samples (less than a frame)\n",
                     tail / 2);
    }
    std::vector<unsigned char> packed = EncodePcm(pcm);
    std::vector<unsigned char> result;
    if (serial) {
        for (size_t off = 0; off < packed.size(); off += g729::kFrameBytes) {
            unsigned char bits[g729::kFrameBits];
            BytesToBits(&packed[off], bits);
            AppendSerial(bits, &result);
        }
    } else {
        result = packed;
    }
    if (!WriteFile(out, result, &error))
        return Fail(error);
    return 0;
}

int DecodeCommand(const std::string& in, const std::string& out, bool serial)
{
    std::vector<unsigned char> data;
    std::string error;
    if (!ReadFile(in, &data, &error))
        return Fail(error);
    std::vector<unsigned char> packed;
    std::vector<bool> erased;
    if (serial) {
        std::vector<SerialFrame> frames;
        if (!ParseSerial(data, &frames, &error))
            return Fail(in + ": " + error);
        packed = PackSerial(frames, &erased);
        long lost = std::count(erased.begin(), erased.end(), true);
        if (lost > 0)
            std::fprintf(stderr, "g729a: %ld erased frames concealed\n", lost);
    } else {
        if (data.size() % g729::kFrameBytes != 0) {
            return Fail(in + ": length is not a multiple of 10-byte frames");
        }
        packed = data;
    }
    std::vector<short> samples = DecodePacked(packed, erased);
    std::vector<unsigned char> result;
    AppendSamples(samples.data(), static_cast<int>(samples.size()), &result);
    if (!WriteFile(out, result, &error))
        return Fail(error);
    return 0;
}

}  // namespace g729a
