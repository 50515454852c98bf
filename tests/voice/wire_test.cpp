// Control header, voice packet and hello layouts, and the control stream fed in pieces.
#include "voice/wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Message(uint32_t nCode, int32_t nBodyLength, size_t nBodyBytes)
{
    Bytes m(kControlHeaderSize);
    BuildControlHeader(m.data(), nCode, nBodyLength);
    for (size_t i = 0; i < nBodyBytes; ++i)
        m.push_back(static_cast<unsigned char>(i * 13 + 1));
    return m;
}

TEST(ControlHeader, LayoutIsMagicCodeAndZeroLength)
{
    unsigned char h[kControlHeaderSize];
    std::memset(h, 0xAA, sizeof h);
    BuildControlHeader(h, TALK_ACCEPT);
    const unsigned char expected[kControlHeaderSize] = {'T',  'a',  'l', 'k', 'F', 'r', 'a', 'm',
                                                        'e',  0,    0,   0,   0,   0,   0,   0,
                                                        0x01, 0x10, 0,   0,   0,   0,   0,   0};
    EXPECT_EQ(0, std::memcmp(expected, h, sizeof h));
    EXPECT_EQ(0x1000u, TALK_REQUEST);
    EXPECT_EQ(0x1002u, TALK_REFUSE);
}

// The length field round-trips as written, negative included; a negative length means no body.
TEST(ControlHeader, BodyLengthRoundTripsAndNegativeMeansNoBody)
{
    const struct {
        int32_t length;
        uint32_t body;
    } cases[] = {
        {1, 1}, {1000, 1000}, {1500, 1500}, {0x7FFFFFFF, 0x7FFFFFFFu}, {-1, 0}, {INT32_MIN, 0},
    };
    unsigned char h[kControlHeaderSize];
    ControlHeader header;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        BuildControlHeader(h, TALK_REQUEST, c.length);
        ASSERT_TRUE(ParseControlHeader(h, header));
        EXPECT_EQ(TALK_REQUEST, header.code);
        EXPECT_EQ(c.length, header.bodyLength);
        EXPECT_EQ(c.body, ControlBodyLength(header));
    }
    BuildControlHeader(h, TALK_REQUEST, 0x01020304);
    const unsigned char lengthLe[4] = {0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(0, std::memcmp(lengthLe, h + kControlLengthOffset, 4));
}

TEST(ControlHeader, MagicIsComparedAsATerminatedText)
{
    Bytes h = Message(TALK_REQUEST, 4, 0);
    ControlHeader header;
    for (int i = 10; i < kControlMagicSize; ++i)
        h[i] = static_cast<unsigned char>(0x41 + i);  // bytes after the NUL are not looked at
    ASSERT_TRUE(ParseControlHeader(h.data(), header));
    EXPECT_EQ(TALK_REQUEST, header.code);
    EXPECT_EQ(4, header.bodyLength);

    for (const char* bad : {"TalkFramf", "talkFrame", "TalkFram", "TalkFrameX"}) {
        Bytes b = h;
        std::memset(b.data(), 0, 10);
        std::memcpy(b.data(), bad, std::strlen(bad));
        EXPECT_FALSE(ParseControlHeader(b.data(), header)) << bad;
    }
}

TEST(VoicePacket, SequenceIsLittleEndianAndSpeechFollowsTheReservedBytes)
{
    unsigned char d[kVoicePacketSize] = {0x04, 0x03, 0x02, 0x81};
    d[kVoiceHeaderSize] = 0x5A;
    VoicePacket packet;
    ASSERT_TRUE(ParseVoicePacket(d, kVoicePacketSize, packet));
    EXPECT_EQ(0x81020304u, packet.seq);
    EXPECT_EQ(d + 16, packet.pSpeech);
    EXPECT_FALSE(ParseVoicePacket(d, kVoicePacketSize - 1, packet));
    EXPECT_FALSE(ParseVoicePacket(d, -1, packet));

    unsigned char w[4];
    WriteLe32(w, 0x81020304u);
    EXPECT_EQ(0, std::memcmp(d, w, 4));
}

TEST(VoicePacket, BuiltPacketHasZeroReservedBytesAndReadsBack)
{
    unsigned char speech[kSpeechBytes];
    for (int i = 0; i < kSpeechBytes; ++i)
        speech[i] = static_cast<unsigned char>(i + 1);
    unsigned char d[kVoicePacketSize + 1];
    std::memset(d, 0xEE, sizeof d);
    BuildVoicePacket(d, 0x81020304u, speech, kSpeechBytes);
    const unsigned char header[kVoiceHeaderSize] = {0x04, 0x03, 0x02, 0x81};
    EXPECT_EQ(0, std::memcmp(header, d, kVoiceHeaderSize));
    EXPECT_EQ(0xEE, d[kVoicePacketSize]);  // nothing written past the speech
    VoicePacket packet;
    ASSERT_TRUE(ParseVoicePacket(d, kVoicePacketSize, packet));
    EXPECT_EQ(0x81020304u, packet.seq);
    EXPECT_EQ(0, std::memcmp(speech, packet.pSpeech, kSpeechBytes));
}

TEST(Hello, IsWerAndANul)
{
    EXPECT_EQ(0, std::memcmp("wer", kHelloDatagram, kHelloSize));
    EXPECT_TRUE(IsHelloDatagram(kHelloDatagram, kHelloSize));
    unsigned char d[kVoicePacketSize] = {0x77, 0x65, 0x72, 0x00};
    EXPECT_FALSE(IsHelloDatagram(d, kVoicePacketSize));
}

void Append(Bytes& to, const Bytes& from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// Feeds a stream to a ControlStream in pieces of random size (1..16, sometimes much larger),
// each piece at its own time, the way the control socket offers what has arrived; returns the
// codes of the messages completed, and checks that a piece is taken only up to a message's end.
std::vector<uint32_t> Codes(const Bytes& stream, unsigned nSeed, uint64_t nStepMs = 1,
                            const std::vector<size_t>& stallsAt = {})
{
    std::mt19937 rng(nSeed);
    ControlStream reader;
    std::vector<uint32_t> codes;
    uint64_t nNow = 0;
    for (size_t pos = 0; pos < stream.size();) {
        size_t nPiece = rng() % 8 == 0 ? 2000 : 1 + rng() % 16;
        for (size_t at : stallsAt) {
            if (pos == at)
                nNow += ControlStream::kMessageTimeMs;
            else if (pos < at && pos + nPiece > at)
                nPiece = at - pos;  // a stall falls between two pieces
        }
        size_t n = std::min(nPiece, stream.size() - pos);
        size_t nUsed = 0;
        uint32_t nCode = 0;
        if (reader.Feed(stream.data() + pos, n, nNow, nUsed, nCode))
            codes.push_back(nCode);
        else
            EXPECT_EQ(n, nUsed);
        EXPECT_TRUE(nUsed > 0 && nUsed <= n);
        if (nUsed == 0)
            break;
        pos += nUsed;
        nNow += nStepMs;
    }
    return codes;
}

TEST(ControlStream, SplitsMessagesWithBodiesWhateverThePieces)
{
    Bytes stream;
    Append(stream, Message(TALK_REQUEST, 0, 0));
    Append(stream, Message(TALK_REQUEST, 4, 4));
    Append(stream, Message(TALK_ACCEPT, -7, 0));
    Append(stream, Message(0x2000, 5000, 5000));  // longer than any buffer: passed over
    Append(stream, Message(TALK_REFUSE, 1000, 1000));
    const std::vector<uint32_t> expected = {TALK_REQUEST, TALK_REQUEST, TALK_ACCEPT, 0x2000,
                                            TALK_REFUSE};
    for (unsigned nSeed = 0; nSeed < 200; ++nSeed)
        ASSERT_EQ(expected, Codes(stream, nSeed)) << nSeed;
}

// What comes between two requests, and the codes the reader finds.
struct RealignCase {
    const char* name;
    Bytes between;
    std::vector<uint32_t> codes;
};

TEST(ControlStream, FindsTheNextMagicAfterWhatCannotBeAMessage)
{
    const Bytes request = Message(TALK_REQUEST, 0, 0);
    Bytes badMagic = Message(TALK_ACCEPT, 24, 0);
    badMagic[0] = 'X';
    Append(badMagic, Message(TALK_ACCEPT, 0, 0));  // its "body" is read as the next message
    const Bytes partialMagic(request.begin(), request.begin() + 5);
    const RealignCase cases[] = {
        {"nothing", {}, {TALK_REQUEST, TALK_REQUEST}},
        {"bad magic", badMagic, {TALK_REQUEST, TALK_ACCEPT, TALK_REQUEST}},
        {"garbage", Bytes(100, 'T'), {TALK_REQUEST, TALK_REQUEST}},
        {"cut magic", partialMagic, {TALK_REQUEST, TALK_REQUEST}},
    };
    for (const RealignCase& c : cases) {
        Bytes stream = request;
        Append(stream, c.between);
        Append(stream, request);
        for (unsigned nSeed = 0; nSeed < 50; ++nSeed)
            ASSERT_EQ(c.codes, Codes(stream, nSeed)) << c.name << " " << nSeed;
    }
}

TEST(ControlStream, DropsAMessageNotCompletedInTime)
{
    const Bytes request = Message(TALK_REQUEST, 0, 0);
    const Bytes withBody = Message(TALK_REQUEST, 40, 40);
    // The first 10 bytes of a request (all of the compared magic), a stall, two requests: the
    // remainder is dropped, so both requests are found.
    Bytes stream(request.begin(), request.begin() + 10);
    Append(stream, request);
    Append(stream, request);
    EXPECT_EQ(std::vector<uint32_t>({TALK_REQUEST, TALK_REQUEST}), Codes(stream, 1, 1, {10}));
    // A body that stalls half-way: what follows the stall is searched for the next magic.
    Bytes body(withBody.begin(), withBody.begin() + 44);
    Append(body, request);
    EXPECT_EQ(std::vector<uint32_t>({TALK_REQUEST}), Codes(body, 2, 1, {44}));
    // Slow but in time: one byte every 100 ms still makes a message.
    EXPECT_EQ(std::vector<uint32_t>({TALK_REQUEST}), Codes(request, 3, 100));
}

}  // namespace
