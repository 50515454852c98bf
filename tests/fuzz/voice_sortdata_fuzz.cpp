// Sequences of datagrams through the receive ordering store. Each record starts with a kind
// byte: 0 a datagram of (next byte % 76) bytes, 1 a packet numbered relative to the previous one
// (signed next byte), 2 and 3 a packet with an absolute 32-bit number (next four bytes).
// Checked after every datagram: every accepted packet is played exactly once or waits; the
// waiting ones fill slots from 0, ascending, at most 7; what plays is a packet's own speech.
#include "voice/sortdata.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Checker {
    long nAccepted = 0;
    long nPlayed = 0;

    void Check(const CSortData& store) const
    {
        int nWaiting = store.Waiting();
        if (nWaiting > CSortData::kSlots - 1 || nPlayed + nWaiting != nAccepted)
            std::abort();
        for (int i = nWaiting; i < CSortData::kSlots; ++i)
            if (store.SlotSeq(i) != 0)
                std::abort();  // an occupied slot after an empty one
        for (int i = 1; i < nWaiting; ++i)
            if (store.SlotSeq(i - 1) > store.SlotSeq(i))
                std::abort();
    }
};

// Speech bytes that carry their packet's number, so a played block can be checked.
void MakePacket(unsigned char* d, uint32_t nSeq)
{
    std::memset(d, 0xA5, kVoicePacketSize);
    WriteLe32(d, nSeq);
    WriteLe32(d + kVoiceHeaderSize, nSeq);
    WriteLe32(d + kVoicePacketSize - 4, ~nSeq);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Checker checker;
    CSortData store([&checker](const unsigned char* pSpeech) {
        if (ReadLe32(pSpeech + kSpeechBytes - 4) != ~ReadLe32(pSpeech))
            std::abort();  // not a whole packet's speech
        ++checker.nPlayed;
    });
    unsigned char d[kVoicePacketSize];
    uint32_t nSeq = 0;
    size_t i = 0;
    while (i + 1 < size) {
        uint8_t kind = data[i++] & 3;
        int nLen = kVoicePacketSize;
        if (kind == 0) {
            nLen = data[i++] % kVoicePacketSize;
        } else if (kind == 1) {
            nSeq += static_cast<uint32_t>(static_cast<int8_t>(data[i++]));
        } else {
            if (i + 4 > size)
                break;
            nSeq = ReadLe32(data + i);
            i += 4;
        }
        MakePacket(d, nSeq);
        bool bTaken = store.Insert(d, nLen);
        if (bTaken != (nLen == kVoicePacketSize && nSeq != 0))
            std::abort();
        checker.nAccepted += bTaken;
        checker.Check(store);
    }
    return 0;
}
