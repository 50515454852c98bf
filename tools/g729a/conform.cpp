#include "conform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "codec_io.h"
#include "files.h"
#include "tests/codec/encoder_vectors.h"
#include "voice/codec/codec_state.h"

namespace g729a {
namespace {

namespace fs = std::filesystem;

constexpr int kFrameSamples = g729::kFrame;
constexpr size_t kCodecDelay = 40;    // samples from input to decoded output
constexpr double kDecoderBar = 20.0;  // dB, every vector, lost frames concealed
// The vector that drives the 16-bit reference decoder's synthesis into overflow: from frame 237
// on its output follows that decoder's overflow handling, which a double-precision decoder does
// not have, so its SNR is reported without a bar.
constexpr const char* kOverflowVector = "overflow";
constexpr double kChainMargin = 1.0;  // dB below the reference chain on speech
// %, parameters 1 and 3 on speech, each decision taken from the reference's state. Free
// running, one choice that differs from the 16-bit reference (a rounding apart) changes the
// predictor memories for good, so the free share measures drift rather than decisions; it is
// reported next to the share of our encoder against itself with one step of input dither.
constexpr double kAgreementBar = 70.0;
// Parameters the agreement shares cover: 1, 2, 3 and 8.
constexpr int kCompared[4] = {0, 1, 2, 7};

struct Row {
    std::string name;
    int frames = 0;
    int erased = 0;
    double decoderSnr = NAN;
    double agree[4] = {NAN, NAN, NAN, NAN};  // parameters 1, 2, 3, 8
    // Speech only: from the reference's state each frame, and against ourselves dithered.
    double following[4] = {NAN, NAN, NAN, NAN};
    double dither[4] = {NAN, NAN, NAN, NAN};
    double chainSeg = NAN;
    double refSeg = NAN;
};

// SNR of out against ref.
double Snr(const std::vector<short>& ref, const std::vector<short>& out)
{
    double signal = 0.0, noise = 0.0;
    size_t n = std::min(ref.size(), out.size());
    for (size_t i = 0; i < n; ++i) {
        double d = double(ref[i]) - out[i];
        signal += double(ref[i]) * ref[i];
        noise += d * d;
    }
    if (noise == 0.0)
        return 99.0;
    return 10.0 * std::log10(signal / noise);
}

// Mean per-frame SNR over frames with speech (rms above 10), each clamped to -10..35 dB.
// The codec's output lags its input by the encoder's 40-sample look-ahead.
double SegmentalSnr(const std::vector<short>& ref, const std::vector<short>& out)
{
    double sum = 0.0;
    int count = 0;
    size_t n = std::min(ref.size(), out.size());
    size_t frames = n > kCodecDelay ? (n - kCodecDelay) / kFrameSamples : 0;
    for (size_t f = 0; f < frames; ++f) {
        double signal = 0.0, noise = 0.0;
        for (int n = 0; n < kFrameSamples; ++n) {
            size_t i = f * kFrameSamples + n;
            double d = double(ref[i]) - out[i + kCodecDelay];
            signal += double(ref[i]) * ref[i];
            noise += d * d;
        }
        if (signal < kFrameSamples * 100.0)
            continue;
        double snr = noise == 0.0 ? 35.0 : 10.0 * std::log10(signal / noise);
        sum += std::clamp(snr, -10.0, 35.0);
        ++count;
    }
    return count ? sum / count : NAN;
}

// Share (%) of frames in which parameters 1, 2, 3 and 8 of a equal those of b.
void Agreement(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
               double agree[4])
{
    std::vector<std::vector<int>> pa = UnpackAll(a), pb = UnpackAll(b);
    size_t n = std::min(pa.size(), pb.size());
    for (int k = 0; k < 4; ++k) {
        size_t same = 0;
        for (size_t f = 0; f < n; ++f)
            same += pa[f][kCompared[k]] == pb[f][kCompared[k]];
        agree[k] = n ? 100.0 * same / n : NAN;
    }
}

// How far our own parameters move when the input moves by at most one step (-1, 0 or +1
// added to each sample): the agreement any encoder that is not bit-exact can expect.
void DitherAgreement(const std::vector<unsigned char>& pcm, const std::vector<unsigned char>& ours,
                     double agree[4])
{
    std::vector<unsigned char> dithered(pcm);
    unsigned seed = 12345;
    for (size_t i = 0; i + 1 < dithered.size(); i += 2) {
        seed = seed * 1103515245u + 12345u;
        int step = static_cast<int>((seed >> 16) % 3) - 1;
        int v = static_cast<short>(dithered[i] | (dithered[i + 1] << 8)) + step;
        v = std::clamp(v, -32768, 32767);
        dithered[i] = static_cast<unsigned char>(v & 0xff);
        dithered[i + 1] = static_cast<unsigned char>((v >> 8) & 0xff);
    }
    g729::ResetCodecStates();
    Agreement(EncodePcm(dithered), ours, agree);
}

// Agreement when every frame starts from the state the reference's own parameters leave:
// each of our decisions against the reference's, free of drift.
void FollowingAgreement(const std::vector<unsigned char>& pcm,
                        const std::vector<unsigned char>& refPacked, double agree[4])
{
    std::vector<encoder_vectors::Params> ref;
    for (const std::vector<int>& prm : UnpackAll(refPacked)) {
        ref.emplace_back();
        std::copy(prm.begin(), prm.end(), ref.back().begin());
    }
    encoder_vectors::Agreement a = encoder_vectors::CompareWithReference(
        ToSamples(pcm), ref, encoder_vectors::Mode::kFollowing);
    for (int k = 0; k < 4; ++k)
        agree[k] = a.frames ? 100.0 * a.Share(kCompared[k]) : NAN;
}

bool Load(const fs::path& path, std::vector<unsigned char>* data)
{
    std::string error;
    if (ReadFile(path.string(), data, &error))
        return true;
    std::fprintf(stderr, "g729a: %s\n", error.c_str());
    return false;
}

// Encoder check: our parameters from the .in against the reference bitstream, and the
// segmental SNR of our whole chain next to that of the reference output; on speech also the
// following and dither shares, which only that vector reports.
void EvaluateEncoder(const std::vector<unsigned char>& inData,
                     const std::vector<unsigned char>& refPacked, const std::vector<short>& pst,
                     Row* row)
{
    g729::ResetCodecStates();
    std::vector<unsigned char> ours = EncodePcm(inData);
    Agreement(ours, refPacked, row->agree);
    std::vector<short> in = ToSamples(inData);
    row->chainSeg = SegmentalSnr(in, DecodePacked(ours));
    row->refSeg = SegmentalSnr(in, pst);
    if (row->name != "speech")
        return;
    DitherAgreement(inData, ours, row->dither);
    FollowingAgreement(inData, refPacked, row->following);
}

// Decoder check: our decoding of the .bit against the .pst; then, with an .in, the encoder.
bool Evaluate(const fs::path& bitPath, Row* row)
{
    fs::path pstPath = fs::path(bitPath).replace_extension(".pst");
    fs::path inPath = fs::path(bitPath).replace_extension(".in");
    std::vector<unsigned char> bitData, pstData, inData;
    std::vector<SerialFrame> frames;
    std::string error;
    if (!Load(bitPath, &bitData) || !Load(pstPath, &pstData))
        return false;
    if (!ParseSerial(bitData, &frames, &error)) {
        std::fprintf(stderr, "g729a: %s: %s\n", bitPath.string().c_str(), error.c_str());
        return false;
    }
    row->frames = static_cast<int>(frames.size());
    std::vector<bool> erased;
    std::vector<unsigned char> refPacked = PackSerial(frames, &erased);
    row->erased = static_cast<int>(std::count(erased.begin(), erased.end(), true));

    g729::ResetCodecStates();
    std::vector<short> pst = ToSamples(pstData);
    row->decoderSnr = Snr(pst, DecodePacked(refPacked, erased));

    if (!fs::exists(inPath))
        return true;
    if (!Load(inPath, &inData))
        return false;
    EvaluateEncoder(inData, refPacked, pst, row);
    return true;
}

void PrintRow(const Row& r)
{
    std::printf("%-9s %6d %5d %8.2f", r.name.c_str(), r.frames, r.erased, r.decoderSnr);
    for (double a : r.agree) {
        if (std::isnan(a)) {
            std::printf("      -");
        } else {
            std::printf(" %6.1f", a);
        }
    }
    if (std::isnan(r.chainSeg)) {
        std::printf("        -        -\n");
    } else {
        std::printf(" %8.2f %8.2f\n", r.chainSeg, r.refSeg);
    }
}

// Checks the bars, printing each miss; returns the number missed.
int CheckBars(const std::vector<Row>& rows)
{
    int missed = 0;
    auto miss = [&](const std::string& what) {
        std::printf("MISSED: %s\n", what.c_str());
        ++missed;
    };
    bool haveSpeech = false;
    for (const Row& r : rows) {
        if (r.name != kOverflowVector && !(r.decoderSnr >= kDecoderBar)) {
            miss(r.name + " decoder SNR below 20 dB");
        }
        if (r.name != "speech")
            continue;
        haveSpeech = true;
        if (!(r.chainSeg >= r.refSeg - kChainMargin)) {
            miss("speech chain segmental SNR more than 1 dB below the reference chain");
        }
        if (!(r.following[0] >= kAgreementBar))
            miss("speech parameter 1 agreement below 70%");
        if (!(r.following[2] >= kAgreementBar))
            miss("speech parameter 3 agreement below 70%");
    }
    if (!haveSpeech)
        miss("speech vector missing");
    return missed;
}

}  // namespace

int ConformCommand(const std::string& dir)
{
    if (!fs::is_directory(dir)) {
        std::printf("conform: %s not found, skipped\n", dir.c_str());
        return 0;
    }
    std::vector<fs::path> bits;
    for (const auto& entry : fs::directory_iterator(dir)) {
        fs::path p = entry.path();
        if (p.extension() == ".bit" && fs::exists(fs::path(p).replace_extension(".pst"))) {
            bits.push_back(p);
        }
    }
    std::sort(bits.begin(), bits.end());
    std::printf(
        "vector    frames lost  dec SNR  prm1%%  prm2%%  prm3%%  prm8%%  chain dB  ref dB\n");
    std::vector<Row> rows;
    for (const fs::path& p : bits) {
        Row row;
        row.name = p.stem().string();
        if (!Evaluate(p, &row))
            return 2;
        PrintRow(row);
        rows.push_back(row);
    }
    std::printf(
        "dec SNR: decoded .bit vs .pst, lost (erased) frames concealed (bar 20 dB, none on\n"
        "  overflow: the reference's 16-bit overflow handling);\n"
        "prm: share of frames whose encoder parameter equals the .bit's;\n"
        "chain/ref: segmental SNR vs .in of our encoder+decoder / of the .pst\n");
    for (const Row& r : rows) {
        if (r.name != "speech" || std::isnan(r.dither[0]))
            continue;
        std::printf(
            "speech, our encoder from the reference's state each frame: prm1 %.1f%%, "
            "prm2 %.1f%%, prm3 %.1f%%, prm8 %.1f%% (bar: prm1, prm3 >= 70%%)\n",
            r.following[0], r.following[1], r.following[2], r.following[3]);
        std::printf(
            "speech, our encoder against itself with +-1 input dither: prm1 %.1f%%, "
            "prm2 %.1f%%, prm3 %.1f%%, prm8 %.1f%%\n",
            r.dither[0], r.dither[1], r.dither[2], r.dither[3]);
    }
    int missed = CheckBars(rows);
    std::printf("conform: %s\n", missed ? "bars missed" : "all bars met");
    return missed ? 1 : 0;
}

}  // namespace g729a
