#include "files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace g729a {
namespace {

using g729::kFrameBits;
using g729::kFrameBytes;

constexpr unsigned kSync = 0x6b21;
constexpr unsigned kSizeWord = kFrameBits;
constexpr unsigned kBit0 = 0x007f;
constexpr unsigned kBit1 = 0x0081;

unsigned Word(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

void AppendWord(unsigned w, std::vector<unsigned char>* out)
{
    out->push_back(static_cast<unsigned char>(w & 0xff));
    out->push_back(static_cast<unsigned char>(w >> 8));
}

}  // namespace

bool ReadFile(const std::string& path, std::vector<unsigned char>* data, std::string* error)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    data->clear();
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data->insert(data->end(), buf, buf + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok)
        *error = "cannot read " + path;
    return ok;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& data, std::string* error)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok)
        *error = "cannot write " + path;
    return ok;
}

bool ParseSerial(const std::vector<unsigned char>& data, std::vector<SerialFrame>* frames,
                 std::string* error)
{
    if (data.size() % kSerialFrameBytes != 0) {
        *error = "bitstream length " + std::to_string(data.size()) + " is not a multiple of " +
                 std::to_string(kSerialFrameBytes);
        return false;
    }
    frames->clear();
    for (size_t off = 0; off < data.size(); off += kSerialFrameBytes) {
        const unsigned char* p = &data[off];
        std::string where = "frame " + std::to_string(off / kSerialFrameBytes);
        if (Word(p) != kSync || Word(p + 2) != kSizeWord) {
            *error = "bad sync or size word in " + where;
            return false;
        }
        SerialFrame frame{};
        for (int i = 0; i < kFrameBits; ++i) {
            unsigned w = Word(p + 4 + 2 * i);
            if (w != 0 && w != kBit0 && w != kBit1) {
                *error = "bad bit word in " + where;
                return false;
            }
            frame.bits[i] = w == kBit1 ? 1 : 0;
            frame.erased = frame.erased || w == 0;
        }
        frames->push_back(frame);
    }
    return true;
}

void AppendSerial(const unsigned char bits[kFrameBits], std::vector<unsigned char>* out)
{
    AppendWord(kSync, out);
    AppendWord(kSizeWord, out);
    for (int i = 0; i < kFrameBits; ++i)
        AppendWord(bits[i] ? kBit1 : kBit0, out);
}

std::vector<unsigned char> PackSerial(const std::vector<SerialFrame>& frames,
                                      std::vector<bool>* erased)
{
    std::vector<unsigned char> packed(frames.size() * kFrameBytes);
    erased->assign(frames.size(), false);
    for (size_t f = 0; f < frames.size(); ++f) {
        (*erased)[f] = frames[f].erased;
        if (!frames[f].erased)
            BitsToBytes(frames[f].bits, &packed[f * kFrameBytes]);
    }
    return packed;
}

void BytesToBits(const unsigned char* bytes, unsigned char bits[kFrameBits])
{
    for (int i = 0; i < kFrameBits; ++i)
        bits[i] = (bytes[i / 8] >> (7 - i % 8)) & 1;
}

void BitsToBytes(const unsigned char bits[kFrameBits], unsigned char* bytes)
{
    std::memset(bytes, 0, kFrameBytes);
    for (int i = 0; i < kFrameBits; ++i) {
        bytes[i / 8] |= static_cast<unsigned char>(bits[i] << (7 - i % 8));
    }
}

std::vector<short> ToSamples(const std::vector<unsigned char>& data)
{
    std::vector<short> s(data.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<short>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return s;
}

void AppendSamples(const short* samples, int n, std::vector<unsigned char>* out)
{
    for (int i = 0; i < n; ++i)
        AppendWord(static_cast<unsigned short>(samples[i]), out);
}

}  // namespace g729a
