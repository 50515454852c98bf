// Control header, voice packet and hello layouts, and the control-stream reader fed in pieces.
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

// Hands out a byte stream in pieces of random size (1..16, sometimes much larger), then ends
// or fails.
class PieceSource : public ControlSource {
public:
    PieceSource(Bytes stream, unsigned nSeed, bool bFailAtEnd = false)
        : m_stream(std::move(stream)), m_rng(nSeed), m_bFailAtEnd(bFailAtEnd)
    {
    }
    int Receive(unsigned char* pBuf, int nLen) override
    {
        if (m_pos == m_stream.size())
            return m_bFailAtEnd ? -1 : 0;
        size_t nPiece = m_rng() % 8 == 0 ? 2000 : 1 + m_rng() % 16;
        size_t n = std::min({nPiece, size_t(nLen), m_stream.size() - m_pos});
        std::memcpy(pBuf, m_stream.data() + m_pos, n);
        m_pos += n;
        return int(n);
    }
    size_t Position() const { return m_pos; }

private:
    Bytes m_stream;
    size_t m_pos = 0;
    std::mt19937 m_rng;
    bool m_bFailAtEnd;
};

void Append(Bytes& to, const Bytes& from)
{
    to.insert(to.end(), from.begin(), from.end());
}

TEST(ControlStream, ReadsMessagesWithBodiesInStepWhateverThePieces)
{
    Bytes stream;
    Append(stream, Message(TALK_REQUEST, 0, 0));
    Append(stream, Message(TALK_REQUEST, 4, 4));
    Append(stream, Message(TALK_ACCEPT, -7, 0));
    Append(stream, Message(0x2000, 1500, 1500));  // longer than the room: the rest is dropped
    Append(stream, Message(TALK_REFUSE, 1000, 1000));
    const Bytes longBody = Message(0, 0, 1500);

    for (unsigned nSeed = 0; nSeed < 200; ++nSeed) {
        PieceSource source(stream, nSeed);
        auto buf = std::make_unique<unsigned char[]>(kControlBufferSize);  // exact size
        ControlHeader h;
        ASSERT_EQ(ControlRead::Message, ReadControlMessage(source, buf.get(), h));
        EXPECT_EQ(TALK_REQUEST, h.code);
        ASSERT_EQ(ControlRead::Message, ReadControlMessage(source, buf.get(), h));
        EXPECT_EQ(TALK_REQUEST, h.code);
        EXPECT_EQ(0, std::memcmp(buf.get() + kControlHeaderSize, longBody.data() + 24, 4));
        ASSERT_EQ(ControlRead::Message, ReadControlMessage(source, buf.get(), h));
        EXPECT_EQ(TALK_ACCEPT, h.code);
        ASSERT_EQ(ControlRead::Message, ReadControlMessage(source, buf.get(), h));
        EXPECT_EQ(0x2000u, h.code);
        EXPECT_EQ(
            0, std::memcmp(buf.get() + kControlHeaderSize, longBody.data() + 24, kControlBodyRoom));
        ASSERT_EQ(ControlRead::Message, ReadControlMessage(source, buf.get(), h));
        EXPECT_EQ(TALK_REFUSE, h.code);
        EXPECT_EQ(ControlRead::Failed, ReadControlMessage(source, buf.get(), h));
    }
}

TEST(ControlStream, BadMagicLeavesTheBodyUnread)
{
    Bytes stream = Message(TALK_REQUEST, 24, 0);
    stream[0] = 'X';
    Append(stream, Message(TALK_ACCEPT, 0, 0));  // the "body", which is read as the next message
    PieceSource source(stream, 7);
    unsigned char buf[kControlBufferSize];
    ControlHeader h;
    EXPECT_EQ(ControlRead::BadMagic, ReadControlMessage(source, buf, h));
    EXPECT_EQ(size_t(kControlHeaderSize), source.Position());
    ASSERT_EQ(ControlRead::Message, ReadControlMessage(source, buf, h));
    EXPECT_EQ(TALK_ACCEPT, h.code);
}

TEST(ControlStream, EndOrFailureInsideAMessageFailsIt)
{
    const Bytes whole = Message(TALK_REQUEST, 40, 40);
    for (size_t nCut : {size_t(0), size_t(10), size_t(kControlHeaderSize), whole.size() - 1}) {
        for (bool bFail : {false, true}) {
            PieceSource source(Bytes(whole.begin(), whole.begin() + nCut), 3, bFail);
            unsigned char buf[kControlBufferSize];
            ControlHeader h;
            EXPECT_EQ(ControlRead::Failed, ReadControlMessage(source, buf, h)) << nCut;
        }
    }
}

// A source that claims more bytes than it was asked for.
class OverclaimingSource : public ControlSource {
public:
    int Receive(unsigned char* pBuf, int nLen) override { return nLen + 1; }
};

TEST(ControlStream, SourceOverclaimingItsCountIsAFailure)
{
    OverclaimingSource source;
    unsigned char buf[kControlBufferSize];
    ControlHeader h;
    EXPECT_EQ(ControlRead::Failed, ReadControlMessage(source, buf, h));
}

}  // namespace
