// The codec object: block sizes, refusals, sample conversion and state that depends only on
// what was coded since load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "voice/codec/audiocode.h"
#include "voice/codec/codec_state.h"

namespace {

// A block of speech-like signal: two tones with a slow envelope, different per seed.
std::vector<short> SpeechLikeBlock(int seed)
{
    std::vector<short> pcm(480);
    for (int n = 0; n < 480; ++n) {
        double t = n + 480.0 * seed;
        double env = 0.5 + 0.5 * std::sin(t * 0.004);
        pcm[n] =
            static_cast<short>(6000.0 * env * (std::sin(t * 0.21) + 0.6 * std::sin(t * 0.047)));
    }
    return pcm;
}

class CodecObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        g729::ResetCodecStates();
        std::memset(out, kUnwritten, sizeof out);
    }

    // Expects out[from..] to hold the fill it started with.
    void ExpectUnwrittenFrom(int from)
    {
        for (int i = from; i < static_cast<int>(sizeof out); ++i) {
            EXPECT_EQ(kUnwritten, out[i]) << "byte " << i << " written";
        }
    }

    static constexpr unsigned char kUnwritten = 0xa5;
    CAudioCode codec;
    unsigned char out[64];  // room beyond a 60-byte block, to see what a call wrote
};

TEST_F(CodecObject, RefusesWrongLengthsAndNullOutputWritingNothing)
{
    std::vector<short> pcm(512, 1000);
    int outBytes = 1234;
    EXPECT_EQ(0, codec.Encode(pcm.data(), 959, out, &outBytes));
    EXPECT_EQ(0, codec.Encode(pcm.data(), 1024, out, &outBytes));
    EXPECT_EQ(0, codec.Encode(pcm.data(), 0, out, &outBytes));
    EXPECT_EQ(0, codec.Encode(pcm.data(), -960, out, &outBytes));
    EXPECT_EQ(0, codec.Encode(pcm.data(), 960, nullptr, &outBytes));
    EXPECT_EQ(1234, outBytes);
    ExpectUnwrittenFrom(0);
    EXPECT_EQ(0, codec.Decode(out, nullptr, &outBytes));
    EXPECT_EQ(1234, outBytes);
}

TEST_F(CodecObject, SilenceIsCodedAsSixFullFrames)
{
    std::vector<short> pcm(480, 0);
    int outBytes = 0;
    ASSERT_EQ(1, codec.Encode(pcm.data(), 960, out, &outBytes));
    EXPECT_EQ(60, outBytes);
    ExpectUnwrittenFrom(60);
    ASSERT_EQ(1, codec.Encode(pcm.data(), 960, out, nullptr));  // outBytes is optional
}

TEST_F(CodecObject, SixtyZeroBytesDecodeAsSixFrames)
{
    unsigned char in[60] = {};
    std::vector<short> pcm(490, 0x5a5a);
    int pcmBytes = 0;
    ASSERT_EQ(1, codec.Decode(in, pcm.data(), &pcmBytes));
    EXPECT_EQ(960, pcmBytes);
    for (int i = 480; i < 490; ++i)
        EXPECT_EQ(0x5a5a, pcm[i]) << "wrote past 960 bytes";
    ASSERT_EQ(1, codec.Decode(in, pcm.data(), nullptr));
}

TEST(SampleConversion, RoundsHalfAwayFromZeroAndClamps)
{
    const struct {
        double in;
        int out;
    } cases[] = {{2.5, 3},     {-2.5, -3},         {2.49, 2},        {-2.49, -2},
                 {0.4999, 0},  {-0.4999, 0},       {32766.6, 32767}, {32767.4, 32767},
                 {1e9, 32767}, {-32768.4, -32768}, {-1e9, -32768}};
    for (const auto& c : cases)
        EXPECT_EQ(c.out, g729::ToPcm16(c.in)) << c.in;
}

// Encodes blocks in order and returns all coded bytes.
std::vector<unsigned char> EncodeSequence(CAudioCode& codec, const std::vector<int>& seeds)
{
    std::vector<unsigned char> all;
    for (int seed : seeds) {
        std::vector<short> pcm = SpeechLikeBlock(seed);
        unsigned char out[60];
        EXPECT_EQ(1, codec.Encode(pcm.data(), 960, out, nullptr));
        all.insert(all.end(), out, out + 60);
    }
    return all;
}

TEST_F(CodecObject, EncodingDependsOnlyOnBlocksSinceLoad)
{
    std::vector<unsigned char> first = EncodeSequence(codec, {1, 2, 3, 4});
    g729::ResetCodecStates();
    EXPECT_EQ(first, EncodeSequence(codec, {1, 2, 3, 4}));

    // Decoding in between leaves the encoder alone.
    g729::ResetCodecStates();
    std::vector<unsigned char> interleaved;
    for (int seed : {1, 2, 3, 4}) {
        std::vector<unsigned char> part = EncodeSequence(codec, {seed});
        interleaved.insert(interleaved.end(), part.begin(), part.end());
        short pcm[480];
        ASSERT_EQ(1, codec.Decode(part.data(), pcm, nullptr));
    }
    EXPECT_EQ(first, interleaved);

    // A second object shares the state and does not reset it.
    CAudioCode another;
    std::vector<unsigned char> later = EncodeSequence(another, {1});
    EXPECT_NE(std::vector<unsigned char>(first.begin(), first.begin() + 60), later);
}

TEST_F(CodecObject, DecodingDependsOnHistoryAndNotOnEncoding)
{
    unsigned char block[60];
    for (int i = 0; i < 60; ++i)
        block[i] = static_cast<unsigned char>(i * 37 + 11);
    short a[480], b[480], c[480];
    ASSERT_EQ(1, codec.Decode(block, a, nullptr));
    ASSERT_EQ(1, codec.Decode(block, b, nullptr));
    EXPECT_NE(0, std::memcmp(a, b, sizeof a)) << "second decode of the same bytes should differ";

    // Encoding in between leaves the decoder alone.
    g729::ResetCodecStates();
    ASSERT_EQ(1, codec.Decode(block, c, nullptr));
    EncodeSequence(codec, {7, 8});
    ASSERT_EQ(1, codec.Decode(block, c, nullptr));
    EXPECT_EQ(0, std::memcmp(b, c, sizeof b));
}

TEST_F(CodecObject, ConcealFillsOneBlockFromTheDecoderState)
{
    int pcmBytes = 1234;
    EXPECT_EQ(0, codec.Conceal(nullptr, &pcmBytes));
    EXPECT_EQ(1234, pcmBytes);

    // A coded block, a lost one, the coded block again: the same samples as the frame-by-frame
    // path through the same library-wide state, and nothing written past 960 bytes.
    std::vector<unsigned char> coded = EncodeSequence(codec, {3});
    std::vector<short> viaObject(490, 0x5a5a), viaFrames(480);
    g729::ResetCodecStates();
    ASSERT_EQ(1, codec.Decode(coded.data(), viaObject.data(), nullptr));
    ASSERT_EQ(1, codec.Conceal(viaObject.data(), &pcmBytes));
    EXPECT_EQ(960, pcmBytes);
    for (int i = 480; i < 490; ++i)
        EXPECT_EQ(0x5a5a, viaObject[i]) << "wrote past 960 bytes";
    ASSERT_EQ(1, codec.Decode(coded.data(), viaObject.data(), nullptr));

    g729::ResetCodecStates();
    unsigned char* frames = reinterpret_cast<unsigned char*>(viaFrames.data());
    for (int k = 0; k < 6; ++k)
        g729::DecodeCodecFrame(&coded[10 * k], frames + 160 * k);
    for (int k = 0; k < 6; ++k)
        g729::ConcealCodecFrame(frames + 160 * k);
    for (int k = 0; k < 6; ++k)
        g729::DecodeCodecFrame(&coded[10 * k], frames + 160 * k);
    EXPECT_TRUE(std::equal(viaFrames.begin(), viaFrames.end(), viaObject.begin()));
}

}  // namespace
