// CVoiceReceiver: the receive path of a call between the voice socket and playback. It drops
// datagrams that do not come from the call's peer and hands the rest to one of two stores: the
// playout on the device's clock (CPlayout), or, when the classic switch is set, the ordering
// store that plays on arrival (CSortData).
// Portable: addresses are dotted texts, the time a millisecond clock.
#pragma once

#include "voice/playout.h"
#include "voice/sortdata.h"

#include <cstdint>
#include <string>

// The switch's environment variable: VOCALIS_PLAYOUT=classic selects the ordering store.
extern const char kPlayoutSwitch[];
// True for the value "classic" (any case).
bool ClassicPlayoutSelected(const char* pValue);

class CVoiceReceiver {
public:
    CVoiceReceiver(CSortData::PlayAction classicPlay, CPlayout::Actions actions);
    CVoiceReceiver(const CVoiceReceiver&) = delete;
    CVoiceReceiver& operator=(const CVoiceReceiver&) = delete;

    void SetClassic(bool bClassic) { m_bClassic = bClassic; }
    bool Classic() const { return m_bClassic; }

    // One datagram from strFrom. strPeer is the call's peer address; empty when no call runs or
    // its address is not known, and then every sender is taken. False when it was dropped.
    bool Take(const unsigned char* pDatagram, int nLen, const std::string& strFrom,
              const std::string& strPeer, uint32_t nowMs);
    // The device's progress, for the playout on its clock.
    void OnBlockDone(uint32_t nowMs);
    void OnTick(uint32_t nowMs);
    // A call ends or begins: nothing received so far plays later, numbering starts afresh.
    void Reset();

    uint32_t Foreign() const { return m_nForeign; }
    CSortData& Sort() { return m_sort; }
    CPlayout& Playout() { return m_playout; }

private:
    CSortData m_sort;
    CPlayout m_playout;
    std::function<void(const char*)> m_log;
    bool m_bClassic;
    uint32_t m_nForeign;  // datagrams of this call from another address
};
