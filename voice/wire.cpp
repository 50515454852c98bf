#include "voice/wire.h"

#include <algorithm>
#include <cstring>

namespace {

// The magic as it is compared: the text and its terminating NUL.
const char kMagicText[] = "TalkFrame";
const int kMagicCompared = sizeof kMagicText;

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

bool ControlStream::Feed(const unsigned char* pData, size_t nLen, uint64_t nNowMs, size_t& rnUsed,
                         uint32_t& rnCode)
{
    if ((m_nHave || m_nBodyLeft) && nNowMs - m_nStartMs >= kMessageTimeMs)
        Reset();
    for (size_t i = 0; i < nLen;) {
        if (m_nBodyLeft) {
            size_t n = std::min<size_t>(m_nBodyLeft, nLen - i);
            i += n;
            m_nBodyLeft -= static_cast<uint32_t>(n);
            if (m_nBodyLeft)
                continue;
            rnUsed = i;
            rnCode = m_nCode;
            return true;
        }
        if (!m_nHave)
            m_nStartMs = nNowMs;
        m_header[m_nHave++] = pData[i++];
        if (Realign())
            m_nStartMs = nNowMs;
        if (m_nHave < kControlHeaderSize)
            continue;
        ControlHeader header;
        ParseControlHeader(m_header, header);  // the magic is known to match
        m_nHave = 0;
        m_nCode = header.code;
        m_nBodyLeft = ControlBodyLength(header);
        if (!m_nBodyLeft) {
            rnUsed = i;
            rnCode = m_nCode;
            return true;
        }
    }
    rnUsed = nLen;
    return false;
}

void ControlStream::Reset()
{
    m_nHave = 0;
    m_nBodyLeft = 0;
}

bool ControlStream::Realign()
{
    size_t nDrop = 0;
    while (nDrop < m_nHave && std::memcmp(m_header + nDrop, kMagicText,
                                          std::min<size_t>(m_nHave - nDrop, kMagicCompared)) != 0)
        ++nDrop;
    if (!nDrop)
        return false;
    std::memmove(m_header, m_header + nDrop, m_nHave - nDrop);
    m_nHave -= nDrop;
    return true;
}
