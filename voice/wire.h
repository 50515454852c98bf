// The voice session's wire formats: the control message of the TCP talk handshake, the 76-byte
// UDP voice packet and the 4-byte hello datagram. All multi-byte integers are little-endian.
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

// Control message codes.
const uint32_t TALK_REQUEST = 0x1000;  // asks the other side to start a voice session
const uint32_t TALK_ACCEPT = 0x1001;   // the request is accepted; the answering side sends speech
const uint32_t TALK_REFUSE = 0x1002;   // the request is refused; the connection is closed after it

// Control header: 16-byte magic ("TalkFrame", NUL, 6 zero bytes), code, signed body length.
const int kControlHeaderSize = 24;
const int kControlMagicSize = 16;
const int kControlCodeOffset = 16;
const int kControlLengthOffset = 20;
// The control sockets' receive buffer.
const int kControlBufferSize = 1024;

// Voice packet: sequence number, 12 reserved bytes, then six 10-byte coded frames.
const int kVoiceHeaderSize = 16;
const int kSpeechBytes = 60;
const int kVoicePacketSize = kVoiceHeaderSize + kSpeechBytes;

// Hello datagram: "wer" and a NUL; tells the peer where to send speech.
const int kHelloSize = 4;
extern const unsigned char kHelloDatagram[kHelloSize];

uint32_t ReadLe32(const unsigned char* p);
void WriteLe32(unsigned char* p, uint32_t nValue);

struct ControlHeader {
    uint32_t code;
    int32_t bodyLength;  // 0 or less: no body
};

// Writes a 24-byte header with the magic, the code and the body length (0: no body).
void BuildControlHeader(unsigned char* pHeader, uint32_t nCode, int32_t nBodyLength = 0);
// Reads a 24-byte header. False when the magic does not match "TalkFrame" compared as a
// NUL-terminated text (its first 10 bytes); bytes 10 to 15 are not looked at.
bool ParseControlHeader(const unsigned char* pHeader, ControlHeader& header);
// Number of body bytes that follow a header: its length when positive, else 0.
uint32_t ControlBodyLength(const ControlHeader& header);

struct VoicePacket {
    uint32_t seq;
    const unsigned char* pSpeech;  // kSpeechBytes bytes inside the datagram
};

// Writes a voice packet into pPacket: the number, zeroed reserved bytes, then nSpeechLen bytes
// of speech (kSpeechBytes in a regular packet); the packet is kVoiceHeaderSize + nSpeechLen long.
void BuildVoicePacket(unsigned char* pPacket, uint32_t nSeq, const void* pSpeech, int nSpeechLen);
// Reads a received datagram as a voice packet. False when it is shorter than a whole packet
// (a stray hello datagram, say); bytes beyond the packet are ignored.
bool ParseVoicePacket(const unsigned char* pDatagram, int nLen, VoicePacket& packet);
bool IsHelloDatagram(const unsigned char* pDatagram, int nLen);

// Splits a control stream into messages as its bytes arrive, in pieces of any size, without
// ever waiting for the rest of a message. A message must arrive whole within kMessageTimeMs of
// its first byte: what is held of one that did not (its sender stalled, or lost the rest) is
// dropped when the next bytes come. Bytes that cannot begin a header (such a remainder, or a
// header without the magic) are passed over up to the next magic, so a bad message costs only
// itself. A body is passed over as it comes, however long.
class ControlStream {
public:
    static const uint64_t kMessageTimeMs = 3000;

    // Takes bytes of pData (nLen of them) up to the end of the first message that they complete:
    // true with its code in rnCode when one was completed, false when every byte was taken
    // without completing one. rnUsed gets the number of bytes taken. nNowMs: any millisecond
    // clock that does not go back.
    bool Feed(const unsigned char* pData, size_t nLen, uint64_t nNowMs, size_t& rnUsed,
              uint32_t& rnCode);
    // Forgets the message in progress (a new connection starts afresh).
    void Reset();

private:
    // Drops the leading header bytes that cannot begin the magic; true if it dropped any.
    bool Realign();

    unsigned char m_header[kControlHeaderSize] = {};
    size_t m_nHave = 0;        // header bytes held
    uint32_t m_nBodyLeft = 0;  // body bytes still to pass over
    uint32_t m_nCode = 0;      // the code of the message whose body is passed over
    uint64_t m_nStartMs = 0;   // when the message in progress began
};
