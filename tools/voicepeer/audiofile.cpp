#include "tools/voicepeer/audiofile.h"

#include "voice/wire.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

uint16_t Le16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Finds the "fmt " and "data" chunks of a RIFF/WAVE image; data receives the sample bytes.
bool ParseWav(const std::vector<unsigned char>& file, std::vector<unsigned char>& data,
              std::string& error)
{
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) ||
        std::memcmp(file.data() + 8, "WAVE", 4)) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool bFormatOk = false;
    for (size_t pos = 12; pos + 8 <= file.size();) {
        const unsigned char* chunk = file.data() + pos;
        size_t size = ReadLe32(chunk + 4);
        size_t avail = file.size() - pos - 8;
        size = size < avail ? size : avail;
        if (!std::memcmp(chunk, "fmt ", 4) && size >= 16)
            bFormatOk = Le16(chunk + 8) == 1 && Le16(chunk + 10) == 1 &&
                        ReadLe32(chunk + 12) == 8000 && Le16(chunk + 22) == 16;
        if (!std::memcmp(chunk, "data", 4)) {
            if (!bFormatOk) {
                error = "WAV file is not 8000 Hz 16-bit mono PCM";
                return false;
            }
            data.assign(chunk + 8, chunk + 8 + size);
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    error = "WAV file has no data chunk";
    return false;
}

}  // namespace

bool ReadSpeech(const std::string& path, std::vector<int16_t>& samples, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    std::vector<unsigned char> data;
    bool bWav = path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
    if (bWav && !ParseWav(file, data, error))
        return false;
    if (!bWav)
        data.swap(file);
    samples.resize(data.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(Le16(&data[2 * i]));
    return true;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples)
{
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<unsigned char> out = {'R', 'I', 'F', 'F'};
    PutLe(out, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt "))
        out.push_back(static_cast<unsigned char>(c));
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);  // PCM
    PutLe(out, 1, 2);  // mono
    PutLe(out, 8000, 4);
    PutLe(out, 16000, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    for (char c : std::string("data"))
        out.push_back(static_cast<unsigned char>(c));
    PutLe(out, dataBytes, 4);
    for (int16_t s : samples)
        PutLe(out, static_cast<uint16_t>(s), 2);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

std::vector<int16_t> ToneBlocks(uint32_t blocks)
{
    const double kPi = 3.14159265358979323846;
    std::vector<int16_t> samples;
    double phase = 0;
    for (uint32_t k = 0; k < blocks; ++k) {
        double step = 2 * kPi * (400 + 60 * (k * 17 % 40)) / 8000.0;
        for (int n = 0; n < kBlockSamples; ++n, phase += step)
            samples.push_back(static_cast<int16_t>(8000 * std::sin(phase)));
    }
    return samples;
}
