// Prints, for each reference vector pair NAME.in / NAME.bit, the share of frames in which
// each of the encoder's eleven parameters equals the reference: once with the encoder running
// on its own, once with it following the reference's parameters (each decision taken from
// the reference's state).
// Usage: codec_encoder_agreement [DIR [NAME...]]  (default DIR: the shared vectors folder)
#include <cstdio>
#include <string>
#include <vector>

#include "encoder_vectors.h"

namespace {

void PrintRow(const char* name, const char* mode, const encoder_vectors::Agreement& a)
{
    std::printf("%-8s %-9s %6d", name, mode, a.frames);
    for (int k = 0; k < 11; ++k)
        std::printf("  %5.1f", 100.0 * a.Share(k));
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dir = argc > 1 ? argv[1] : ST_VECTOR_DIR;
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i)
        names.push_back(argv[i]);
    if (names.empty())
        names = {"speech", "algthm", "fixed", "lsp", "pitch", "tame", "test"};

    std::printf("%-8s %-9s %6s", "vector", "mode", "frames");
    for (int k = 1; k <= 11; ++k)
        std::printf("  p%-4d", k);
    std::printf("\n");
    int failures = 0;
    for (const std::string& name : names) {
        std::vector<short> samples;
        std::vector<encoder_vectors::Params> ref;
        if (!encoder_vectors::ReadSpeech(dir + "/" + name + ".in", &samples) ||
            !encoder_vectors::ReadSerial(dir + "/" + name + ".bit", &ref)) {
            std::printf("%-8s cannot read the vector files\n", name.c_str());
            ++failures;
            continue;
        }
        using encoder_vectors::Mode;
        PrintRow(name.c_str(), "free", CompareWithReference(samples, ref, Mode::kFree));
        PrintRow(name.c_str(), "following", CompareWithReference(samples, ref, Mode::kFollowing));
    }
    return failures ? 1 : 0;
}
