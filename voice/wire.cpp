#include "voice/wire.h"

#include <cstring>

namespace {

// The magic as it is compared: the text and its terminating NUL.
const char kMagicText[] = "TalkFrame";
const int kMagicCompared = sizeof kMagicText;

// Reads exactly nLen bytes, in as many receives as it takes.
bool ReceiveExactly(ControlSource& source, unsigned char* pBuf, uint32_t nLen)
{
    for (uint32_t nGot = 0; nGot < nLen;) {
        uint32_t nWant = nLen - nGot;
        int nAsk = nWant > 0x10000 ? 0x10000 : static_cast<int>(nWant);
        int n = source.Receive(pBuf + nGot, nAsk);
        if (n <= 0 || n > nAsk)
            return false;
        nGot += static_cast<uint32_t>(n);
    }
    return true;
}

// Reads and drops nLen bytes.
bool SkipExactly(ControlSource& source, uint32_t nLen)
{
    unsigned char scratch[256];
    while (nLen > 0) {
        uint32_t nChunk = nLen < sizeof scratch ? nLen : sizeof scratch;
        if (!ReceiveExactly(source, scratch, nChunk))
            return false;
        nLen -= nChunk;
    }
    return true;
}

}  // namespace

const unsigned char kHelloDatagram[kHelloSize] = {0x77, 0x65, 0x72, 0x00};

uint32_t ReadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteLe32(unsigned char* p, uint32_t nValue)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(nValue >> (8 * i));
}

void BuildControlHeader(unsigned char* pHeader, uint32_t nCode, int32_t nBodyLength)
{
    std::memset(pHeader, 0, kControlHeaderSize);
    std::memcpy(pHeader, kMagicText, kMagicCompared);
    WriteLe32(pHeader + kControlCodeOffset, nCode);
    WriteLe32(pHeader + kControlLengthOffset, static_cast<uint32_t>(nBodyLength));
}

bool ParseControlHeader(const unsigned char* pHeader, ControlHeader& header)
{
    header.code = ReadLe32(pHeader + kControlCodeOffset);
    header.bodyLength = static_cast<int32_t>(ReadLe32(pHeader + kControlLengthOffset));
    return std::memcmp(pHeader, kMagicText, kMagicCompared) == 0;
}

uint32_t ControlBodyLength(const ControlHeader& header)
{
    return header.bodyLength > 0 ? static_cast<uint32_t>(header.bodyLength) : 0;
}

void BuildVoicePacket(unsigned char* pPacket, uint32_t nSeq, const void* pSpeech, int nSpeechLen)
{
    WriteLe32(pPacket, nSeq);
    std::memset(pPacket + 4, 0, kVoiceHeaderSize - 4);
    std::memcpy(pPacket + kVoiceHeaderSize, pSpeech, static_cast<size_t>(nSpeechLen));
}

bool ParseVoicePacket(const unsigned char* pDatagram, int nLen, VoicePacket& packet)
{
    if (!pDatagram || nLen < kVoicePacketSize)
        return false;
    packet.seq = ReadLe32(pDatagram);
    packet.pSpeech = pDatagram + kVoiceHeaderSize;
    return true;
}

bool IsHelloDatagram(const unsigned char* pDatagram, int nLen)
{
    return nLen == kHelloSize && std::memcmp(pDatagram, kHelloDatagram, kHelloSize) == 0;
}

ControlRead ReadControlMessage(ControlSource& source, unsigned char* pBuf, ControlHeader& header)
{
    if (!ReceiveExactly(source, pBuf, kControlHeaderSize))
        return ControlRead::Failed;
    if (!ParseControlHeader(pBuf, header))
        return ControlRead::BadMagic;
    uint32_t nBody = ControlBodyLength(header);
    uint32_t nKept = nBody < static_cast<uint32_t>(kControlBodyRoom) ? nBody : kControlBodyRoom;
    if (!ReceiveExactly(source, pBuf + kControlHeaderSize, nKept) ||
        !SkipExactly(source, nBody - nKept))
        return ControlRead::Failed;
    return ControlRead::Message;
}
