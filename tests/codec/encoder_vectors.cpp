#include "encoder_vectors.h"

#include <cstdint>
#include <fstream>
#include <iterator>

#include "voice/codec/encoder.h"
#include "voice/codec/tables.h"

namespace encoder_vectors {
namespace {

constexpr int kSerialWords = 82;

bool ReadWords(const std::string& path, std::vector<uint16_t>* words) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)),
                                   std::istreambuf_iterator<char>());
  words->clear();
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    words->push_back(uint16_t(bytes[i] | bytes[i + 1] << 8));
  }
  return true;
}

}  // namespace

bool ReadSpeech(const std::string& path, std::vector<short>* samples) {
  std::vector<uint16_t> words;
  if (!ReadWords(path, &words)) return false;
  words.resize(words.size() / g729::kFrame * g729::kFrame);
  samples->assign(words.begin(), words.end());
  return true;
}

bool ReadSerial(const std::string& path, std::vector<Params>* frames) {
  std::vector<uint16_t> words;
  if (!ReadWords(path, &words) || words.size() % kSerialWords != 0) return false;
  frames->clear();
  for (size_t at = 0; at < words.size(); at += kSerialWords) {
    if (words[at] != 0x6b21 || words[at + 1] != g729::kFrameBits) return false;
    Params p{};
    int bit = 0;
    for (int k = 0; k < g729::kParams; ++k) {
      for (int b = 0; b < g729::bitsno[k]; ++b, ++bit) {
        p[k] = p[k] << 1 | (words[at + 2 + bit] == 0x0081 ? 1 : 0);
      }
    }
    frames->push_back(p);
  }
  return true;
}

Agreement CompareWithReference(const std::vector<short>& samples, const std::vector<Params>& ref,
                               Mode mode, std::vector<Params>* coded) {
  static g729::EncoderState st;  // large; kept off the stack
  g729::InitEncoder(st);
  Agreement a;
  size_t frames = samples.size() / g729::kFrame;
  if (ref.size() < frames) frames = ref.size();
  if (coded) coded->clear();
  for (size_t f = 0; f < frames; ++f) {
    double speech[g729::kFrame];
    for (int i = 0; i < g729::kFrame; ++i) speech[i] = samples[f * g729::kFrame + i];
    Params p{};
    if (mode == Mode::kFollowing) {
      g729::EncodeFrameFollowing(st, speech, ref[f].data(), p.data());
    } else {
      g729::EncodeFrame(st, speech, p.data());
    }
    for (int k = 0; k < g729::kParams; ++k) a.same[k] += p[k] == ref[f][k];
    ++a.frames;
    if (coded) coded->push_back(p);
  }
  return a;
}

}  // namespace encoder_vectors
