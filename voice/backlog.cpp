#include "voice/backlog.h"

bool CQuietPick::Drop(uint64_t energy)
{
    if (QuieterThanRecent(energy) || m_nKeptSinceDrop >= kWindow - 1) {
        m_nKeptSinceDrop = 0;
        return true;
    }
    Keep(energy);
    ++m_nKeptSinceDrop;
    return false;
}

void CQuietPick::Keep(uint64_t energy)
{
    m_recent[m_nextRecent] = energy;
    m_nextRecent = (m_nextRecent + 1) % (kWindow - 1);
    if (m_nRecent < kWindow - 1)
        ++m_nRecent;
}

bool CQuietPick::QuieterThanRecent(uint64_t energy) const
{
    for (int i = 0; i < m_nRecent; ++i)
        if (energy >= m_recent[i])
            return false;
    return true;
}

bool CBacklogTrim::Drop(int nQueued, uint32_t nowMs, uint64_t energy)
{
    if (m_bTrimming && nQueued <= kTrimTo) {
        m_bTrimming = false;
        m_bHigh = false;
    }
    if (!m_bTrimming && StandingBacklog(nQueued, nowMs)) {
        m_bTrimming = true;
        m_pick.Begin();
    }
    if (m_bTrimming)
        return m_pick.Drop(energy);
    m_pick.Keep(energy);
    return false;
}

bool CBacklogTrim::StandingBacklog(int nQueued, uint32_t nowMs)
{
    if (nQueued <= kStandingAbove) {
        m_bHigh = false;
        return false;
    }
    if (!m_bHigh) {
        m_bHigh = true;
        m_highSinceMs = nowMs;
    }
    return nowMs - m_highSinceMs >= kStandingMs;
}

uint64_t BlockEnergy(const int16_t* pSamples, int nSamples)
{
    uint64_t sum = 0;
    for (int i = 0; i < nSamples; ++i)
        sum += static_cast<uint64_t>(static_cast<int64_t>(pSamples[i]) * pSamples[i]);
    return sum;
}
