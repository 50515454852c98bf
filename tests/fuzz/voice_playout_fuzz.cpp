// Datagrams, device completions, ticks and hang-ups in any order through the device-clock
// playout. Each record starts with a kind byte: 0 a datagram of (next byte % 76) bytes, 1 a packet
// numbered relative to the previous one (signed next byte), 2 a packet with an absolute 32-bit
// number, 3 the clock moves on (next byte ms) and the device gives back a block when one is due
// (a device that is never given the time stalls, as a sound server may),
// 4 a tick after (next byte % 20) ms, 5 the call ends.
// Checked throughout: what is decoded is a whole packet's speech and its number is above every
// number decoded before in the call (nothing twice, nothing out of order); the store never holds
// more than its slots.
#include "voice/playout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The wave-out device refuses blocks beyond its cap (a stalled sound server).
constexpr int kDeviceCap = 11;

struct Device {
    int nQueued = 0;
    uint32_t nowMs = 1000;
    uint32_t lastDoneMs = 1000;
    bool bDecoded = false;  // a packet of this call has been decoded
    uint32_t nLastDecoded = 0;
};

void MakePacket(unsigned char* d, uint32_t nSeq)
{
    std::memset(d, 0x5A, kVoicePacketSize);
    WriteLe32(d, nSeq);
    WriteLe32(d + kVoiceHeaderSize, nSeq);
    WriteLe32(d + kVoicePacketSize - 4, ~nSeq);
}

CPlayout::Actions DeviceActions(Device& dev)
{
    CPlayout::Actions act;
    act.decode = [&dev](const unsigned char* pCoded, int16_t*) {
        const uint32_t nSeq = ReadLe32(pCoded);
        if (ReadLe32(pCoded + kSpeechBytes - 4) != ~nSeq)
            std::abort();  // not a whole packet's speech
        if (dev.bDecoded && static_cast<int32_t>(nSeq - dev.nLastDecoded) <= 0)
            std::abort();  // played twice or out of order
        dev.bDecoded = true;
        dev.nLastDecoded = nSeq;
    };
    act.conceal = [](int16_t*) {};
    act.play = [&dev](const int16_t*, int) {
        if (dev.nQueued < kDeviceCap)
            ++dev.nQueued;
    };
    act.queued = [&dev]() { return dev.nQueued; };
    return act;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Device dev;
    CPlayout playout(DeviceActions(dev));
    unsigned char d[kVoicePacketSize];
    uint32_t nSeq = 0;
    size_t i = 0;
    while (i + 1 < size) {
        const uint8_t kind = data[i++] % 6;
        int nLen = kVoicePacketSize;
        switch (kind) {
        case 0:
            nLen = data[i++] % kVoicePacketSize;
            break;
        case 1:
            nSeq += static_cast<uint32_t>(static_cast<int8_t>(data[i++]));
            break;
        case 2:
            if (i + 4 > size)
                return 0;
            nSeq = ReadLe32(data + i);
            i += 4;
            break;
        case 3:
            dev.nowMs += data[i++];
            if (dev.nQueued > 0 && dev.nowMs - dev.lastDoneMs >= CPlayout::kBlockMs) {
                --dev.nQueued;
                dev.lastDoneMs = dev.nowMs;
                playout.OnBlockDone(dev.nowMs);
            }
            continue;
        case 4:
            dev.nowMs += data[i++] % 20;
            playout.OnTick(dev.nowMs);
            continue;
        default:
            ++i;
            playout.Reset();
            dev.bDecoded = false;
            continue;
        }
        MakePacket(d, nSeq);
        const bool bTaken = playout.Insert(d, nLen, dev.nowMs);
        if (bTaken != (nLen == kVoicePacketSize && nSeq != 0))
            std::abort();
        if (playout.Waiting() > CPlayout::kSlots)
            std::abort();
    }
    return 0;
}
