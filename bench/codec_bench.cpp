// Speech codec speed: one 960-byte block (60 ms) per iteration, cycling through the blocks of
// the reference speech file (encode) and of its reference bitstream (decode). After the usual
// table it prints the real-time factor of each: 60 ms of speech divided by the CPU time per
// block.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "voice/codec/audiocode.h"

namespace {

std::vector<unsigned char> ReadFile(const std::string& name) {
  std::vector<unsigned char> data;
  std::FILE* f = std::fopen((std::string(ST_SHARED_DIR) + "/g729a/vectors/" + name).c_str(), "rb");
  if (!f) return data;
  unsigned char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return data;
}

// Serial bitstream (164 bytes per frame) to packed 10-byte frames.
std::vector<unsigned char> Packed(const std::vector<unsigned char>& serial) {
  std::vector<unsigned char> out;
  for (size_t off = 0; off + 164 <= serial.size(); off += 164) {
    unsigned char b[10] = {};
    for (int i = 0; i < 80; ++i) {
      if (serial[off + 4 + 2 * i] == 0x81) b[i / 8] |= static_cast<unsigned char>(0x80 >> (i % 8));
    }
    out.insert(out.end(), b, b + 10);
  }
  return out;
}

// The console table plus one real-time factor line per benchmark.
class RealTimeReporter : public benchmark::ConsoleReporter {
 public:
  RealTimeReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      lines_.push_back(run.benchmark_name() + ": " + std::to_string(seconds * 1e6) +
                       " us per 60 ms block, " + std::to_string(static_cast<long>(0.060 / seconds)) +
                       "x real time");
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const std::string& line : lines_) std::printf("%s\n", line.c_str());
  }

 private:
  std::vector<std::string> lines_;
};

void EncodeBlock(benchmark::State& state) {
  static std::vector<unsigned char> pcm = ReadFile("speech.in");
  size_t blocks = pcm.size() / 960;
  if (blocks == 0) {
    state.SkipWithError("speech.in not found");
    return;
  }
  CAudioCode codec;
  unsigned char out[60];
  size_t b = 0;
  for (auto _ : state) {
    codec.Encode(&pcm[960 * b], 960, out, nullptr);
    benchmark::DoNotOptimize(out);
    b = (b + 1) % blocks;
  }
}

void DecodeBlock(benchmark::State& state) {
  static std::vector<unsigned char> coded = Packed(ReadFile("speech.bit"));
  size_t blocks = coded.size() / 60;
  if (blocks == 0) {
    state.SkipWithError("speech.bit not found");
    return;
  }
  CAudioCode codec;
  short pcm[480];
  size_t b = 0;
  for (auto _ : state) {
    codec.Decode(&coded[60 * b], pcm, nullptr);
    benchmark::DoNotOptimize(pcm);
    b = (b + 1) % blocks;
  }
}

BENCHMARK(EncodeBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeBlock)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RealTimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
