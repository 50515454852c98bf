// Speech codec speed: one 960-byte block (60 ms) per iteration, cycling through the blocks of
// the reference speech file (encode) and of its reference bitstream (decode). After the usual
// table it prints the real-time factor of each: 60 ms of speech divided by the CPU time per
// block.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/codec/vectors.h"
#include "voice/codec/audiocode.h"

namespace {

std::vector<unsigned char> ReadVector(const std::string& name)
{
    std::vector<unsigned char> data;
    codectest::ReadBytes(codectest::SharedPath("vectors/" + name), &data);
    return data;
}

// The console table plus one real-time factor line per benchmark.
class RealTimeReporter : public benchmark::ConsoleReporter {
public:
    RealTimeReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            lines_.push_back(run.benchmark_name() + ": " + std::to_string(seconds * 1e6) +
                             " us per 60 ms block, " +
                             std::to_string(static_cast<long>(0.060 / seconds)) + "x real time");
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const std::string& line : lines_)
            std::printf("%s\n", line.c_str());
    }

private:
    std::vector<std::string> lines_;
};

void EncodeBlock(benchmark::State& state)
{
    static std::vector<unsigned char> pcm = ReadVector("speech.in");
    size_t blocks = pcm.size() / g729::kBlockPcmBytes;
    if (blocks == 0) {
        state.SkipWithError("speech.in not found");
        return;
    }
    CAudioCode codec;
    unsigned char out[g729::kBlockCodedBytes];
    size_t b = 0;
    for (auto _ : state) {
        codec.Encode(&pcm[g729::kBlockPcmBytes * b], g729::kBlockPcmBytes, out, nullptr);
        benchmark::DoNotOptimize(out);
        b = (b + 1) % blocks;
    }
}

void DecodeBlock(benchmark::State& state)
{
    static std::vector<unsigned char> coded = codectest::SerialToPacked(ReadVector("speech.bit"));
    size_t blocks = coded.size() / g729::kBlockCodedBytes;
    if (blocks == 0) {
        state.SkipWithError("speech.bit not found");
        return;
    }
    CAudioCode codec;
    short pcm[g729::kBlockPcmBytes / 2];
    size_t b = 0;
    for (auto _ : state) {
        codec.Decode(&coded[g729::kBlockCodedBytes * b], pcm, nullptr);
        benchmark::DoNotOptimize(pcm);
        b = (b + 1) % blocks;
    }
}

BENCHMARK(EncodeBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeBlock)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RealTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
