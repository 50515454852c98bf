#include "voice/receiver.h"

#include <cctype>
#include <utility>

const char kPlayoutSwitch[] = "VOCALIS_PLAYOUT";

bool ClassicPlayoutSelected(const char* pValue)
{
    const char* pWord = "classic";
    if (!pValue)
        return false;
    for (; *pWord; ++pWord, ++pValue)
        if (std::tolower(static_cast<unsigned char>(*pValue)) != *pWord)
            return false;
    return *pValue == '\0';
}

CVoiceReceiver::CVoiceReceiver(CSortData::PlayAction classicPlay, CPlayout::Actions actions)
    : m_sort(std::move(classicPlay)), m_playout(actions), m_log(actions.log), m_bClassic(false),
      m_nForeign(0)
{
}

bool CVoiceReceiver::Take(const unsigned char* pDatagram, int nLen, const std::string& strFrom,
                          const std::string& strPeer, uint32_t nowMs)
{
    if (!strPeer.empty() && strFrom != strPeer) {
        if (m_nForeign++ == 0 && m_log) {
            std::string line = "CRecSocket::OnReceive: datagram from " + strFrom +
                               ", not the peer " + strPeer + ", dropped";
            m_log(line.c_str());
        }
        return false;
    }
    if (m_bClassic)
        return m_sort.Insert(pDatagram, nLen);
    return m_playout.Insert(pDatagram, nLen, nowMs);
}

void CVoiceReceiver::OnBlockDone(uint32_t nowMs)
{
    if (!m_bClassic)
        m_playout.OnBlockDone(nowMs);
}

void CVoiceReceiver::OnTick(uint32_t nowMs)
{
    if (!m_bClassic)
        m_playout.OnTick(nowMs);
}

void CVoiceReceiver::Reset()
{
    if (m_nForeign && m_log) {
        std::string line = "CRecSocket::Reset: " + std::to_string(m_nForeign) +
                           " datagrams from other addresses dropped";
        m_log(line.c_str());
    }
    m_nForeign = 0;
    m_sort.Reset();
    m_playout.Reset();
}
