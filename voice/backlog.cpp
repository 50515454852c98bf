#include "voice/backlog.h"

#include <cstring>

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

int CutQuietest(int16_t* pSamples, int nSamples, int nCut)
{
    const int kBlend = 40;  // 5 ms at 8 kHz
    if (nCut <= 0 || nCut + kBlend > nSamples)
        return nSamples;
    // The window cut out and blended over, placed where it holds the least energy.
    const int nWindow = nCut + kBlend;
    uint64_t energy = BlockEnergy(pSamples, nWindow);
    uint64_t best = energy;
    int nAt = 0;
    for (int p = 1; p + nWindow <= nSamples; ++p) {
        const int64_t out = pSamples[p - 1], in = pSamples[p + nWindow - 1];
        energy = energy - static_cast<uint64_t>(out * out) + static_cast<uint64_t>(in * in);
        if (energy < best) {
            best = energy;
            nAt = p;
        }
    }
    for (int i = 0; i < kBlend; ++i) {
        const int32_t nFrom = pSamples[nAt + i], nTo = pSamples[nAt + nCut + i];
        pSamples[nAt + i] = static_cast<int16_t>(nFrom + (nTo - nFrom) * (i + 1) / (kBlend + 1));
    }
    std::memmove(pSamples + nAt + kBlend, pSamples + nAt + nWindow,
                 static_cast<size_t>(nSamples - nAt - nWindow) * sizeof(int16_t));
    return nSamples - nCut;
}
