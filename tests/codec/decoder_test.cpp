// Frame decoder: parity handling across frames, any bit pattern, and the decoded output of a
// reference bitstream against the reference decoder's output.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vectors.h"
#include "voice/codec/bitpack.h"
#include "voice/codec/codebooks.h"
#include "voice/codec/decoder.h"

namespace {

// Parameters of a frame with the given subframe delays and parity.
void Frame(int p1, int parity, int p2, int prm[11])
{
    const int base[11] = {0x35, 0x1a3, 0, 0, 0x1234, 5, 0x4b, 0, 0x0abc, 9, 0x3c};
    for (int p = 0; p < 11; ++p)
        prm[p] = base[p];
    prm[2] = p1;
    prm[3] = parity;
    prm[7] = p2;
}

int GoodParity(int p1)
{
    return g729::PitchParityError(p1, 0) ? 1 : 0;
}

TEST(PitchParity, ErrorReusesThePreviousDelay)
{
    g729::DecoderState s;
    g729::InitDecoder(s);
    int prm[11], delays[2];
    double out[80];
    Frame(122, GoodParity(122), 17, prm);  // T1 = 60, T2 = 60
    g729::DecodeFrame(s, prm, out, delays);
    EXPECT_EQ(60, delays[0]);
    EXPECT_EQ(60, delays[1]);

    Frame(200, 1 - GoodParity(200), 20, prm);  // parity error: T1 = 60, T2 = 61
    g729::DecodeFrame(s, prm, out, delays);
    EXPECT_EQ(60, delays[0]);
    EXPECT_EQ(61, delays[1]);

    // Repeated errors follow the last decoded delay upward, never past 143.
    for (int frame = 0; frame < 100; ++frame) {
        int before = delays[1];
        g729::DecodeFrame(s, prm, out, delays);
        ASSERT_EQ(before, delays[0]);
        ASSERT_LE(delays[1], 143);
    }
    EXPECT_EQ(140, delays[0]);

    Frame(200, GoodParity(200), 17, prm);  // a good frame decodes its own delay again
    g729::DecodeFrame(s, prm, out, delays);
    EXPECT_EQ(88, delays[0]);
}

TEST(Decoder, EveryBitPatternGivesFiniteOutput)
{
    g729::DecoderState s;
    g729::InitDecoder(s);
    unsigned char bytes[10];
    unsigned seed = 1;
    for (int frame = 0; frame < 3000; ++frame) {
        for (unsigned char& b : bytes) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<unsigned char>(seed >> 16);
        }
        if (frame % 7 == 0)
            for (unsigned char& b : bytes)
                b = 0xff;
        int prm[11];
        g729::UnpackFrame(bytes, prm);
        double out[80];
        g729::DecodeFrame(s, prm, out);
        for (double v : out)
            ASSERT_TRUE(std::isfinite(v)) << "frame " << frame;
    }
}

// Decodes a reference bitstream from a fresh state and compares with the reference output.
double VectorSnr(const std::string& name)
{
    std::vector<unsigned char> serial, pst;
    if (!codectest::ReadBytes(codectest::SharedPath("vectors/" + name + ".bit"), &serial) ||
        !codectest::ReadBytes(codectest::SharedPath("vectors/" + name + ".pst"), &pst)) {
        return NAN;
    }
    std::vector<unsigned char> packed = codectest::SerialToPacked(serial);
    g729::DecoderState s;
    g729::InitDecoder(s);
    double signal = 0.0, noise = 0.0;
    for (size_t f = 0; f * 10 < packed.size(); ++f) {
        int prm[11];
        g729::UnpackFrame(&packed[f * 10], prm);
        double out[80];
        g729::DecodeFrame(s, prm, out);
        for (int n = 0; n < 80; ++n) {
            size_t i = 2 * (f * 80 + n);
            double ref = static_cast<short>(pst[i] | (pst[i + 1] << 8));
            signal += ref * ref;
            noise += (ref - out[n]) * (ref - out[n]);
        }
    }
    return 10.0 * std::log10(signal / noise);
}

TEST(Decoder, FollowsTheReferenceDecoderOnItsVectors)
{
    double snr = VectorSnr("test");
    if (std::isnan(snr))
        GTEST_SKIP() << "reference vectors not available";
    EXPECT_GT(snr, 25.0);
    EXPECT_GT(VectorSnr("parity"), 25.0);  // includes 60 frames with parity errors
    EXPECT_GT(VectorSnr("algthm"), 25.0);
}

}  // namespace
