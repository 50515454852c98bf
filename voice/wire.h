// The voice session's wire formats: the control message of the TCP talk handshake, the 76-byte
// UDP voice packet and the 4-byte hello datagram. All multi-byte integers are little-endian.
// Portable: no Windows headers.
#pragma once

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
// The control sockets read a message into a buffer of this size; a longer body does not fit.
const int kControlBufferSize = 1024;
const int kControlBodyRoom = kControlBufferSize - kControlHeaderSize;

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

// A byte stream that delivers a control message in pieces of any size.
class ControlSource {
public:
    // Reads at most nLen bytes into pBuf: the count read (1..nLen), 0 at the stream's end, or
    // a negative value on failure.
    virtual int Receive(unsigned char* pBuf, int nLen) = 0;

protected:
    ~ControlSource() = default;
};

enum class ControlRead {
    Message,   // a whole message was read; act on header.code
    BadMagic,  // the header was read but is not a control header; its body was not read
    Failed,    // a receive failed or the stream ended inside the message
};

// Reads one control message into pBuf (kControlBufferSize bytes): the header, then the body.
// A body longer than kControlBodyRoom keeps its first kControlBodyRoom bytes in the buffer;
// the rest is read and dropped, so the stream stays in step with the sender's messages.
ControlRead ReadControlMessage(ControlSource& source, unsigned char* pBuf, ControlHeader& header);
