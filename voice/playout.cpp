#include "voice/playout.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// Signed distance between two wrapping 32-bit counts (sequence numbers, millisecond clocks).
int32_t Diff(uint32_t a, uint32_t b)
{
    return static_cast<int32_t>(a - b);
}

}  // namespace

CPlayout::CPlayout(Actions actions) : m_act(std::move(actions)), m_bStarted(false), m_playEndMs(0)
{
    Reset();
}

void CPlayout::Reset()
{
    if (m_bStarted)
        Log("CPlayout::Reset: call ended: played %u, concealed %u, late-dropped %u, trimmed %u, "
            "skipped %u, underruns %u (%u ms without audio)",
            m_count.played, m_count.concealed, m_count.lateDropped, m_count.trimmed,
            m_count.skipped, m_count.underruns, m_count.dryMs);
    std::memset(m_nSeq, 0, sizeof(m_nSeq));
    m_nWaiting = 0;
    m_bStarted = false;
    m_nLastSeq = m_firstSeq = m_firstMs = m_lastArrivalMs = 0;
    m_nOffsets = m_nextOffset = 0;
    m_jitterMs = 0;
    m_baseOffset = 0;
    m_nTarget = 1;
    m_nConcealRun = 0;
    m_bDry = false;
    m_dryFromMs = 0;
    m_fillBudgetMs = 0;
    m_periodFromMs = 0;
    m_minCushionMs = INT_MAX;
    m_nTrimDue = 0;
    m_pick = CQuietPick();
    m_count = Counters();
}

bool CPlayout::Insert(const unsigned char* pDatagram, int nLen, uint32_t nowMs)
{
    VoicePacket packet;
    if (!ParseVoicePacket(pDatagram, nLen, packet) || packet.seq == 0)
        return false;
    if (!m_bStarted) {
        m_bStarted = true;
        m_nLastSeq = packet.seq - 1;
        m_periodFromMs = nowMs;
    }
    if (Diff(packet.seq, m_nLastSeq) <= 0 || Holds(packet.seq) ||
        packet.seq - m_nLastSeq > kMaxAhead) {
        ++m_count.lateDropped;
        Log("CPlayout::Insert: packet %u late, repeated or out of the stream (last %u), dropped",
            packet.seq, m_nLastSeq);
        return true;
    }
    MeasureArrival(packet.seq, nowMs);
    WatchStanding(nowMs);
    Store(packet.seq, packet.pSpeech);
    if (m_nWaiting == kSlots && m_nSeq[0] != m_nLastSeq + 1)
        GiveUpGap();
    Pump(nowMs);
    return true;
}

void CPlayout::OnBlockDone(uint32_t nowMs)
{
    const int nQueued = Queued();
    m_playEndMs = nowMs + static_cast<uint32_t>(nQueued * kBlockMs);
    if (nQueued == 0 && !m_bDry && m_bStarted && PeerSending(nowMs)) {
        m_bDry = true;
        m_dryFromMs = nowMs;
    }
    Pump(nowMs);
}

void CPlayout::OnTick(uint32_t nowMs)
{
    if (m_bDry && !PeerSending(nowMs))
        EndDry(m_lastArrivalMs + kBlockMs);
    Pump(nowMs);
}

bool CPlayout::Holds(uint32_t nSeq) const
{
    return std::find(m_nSeq, m_nSeq + m_nWaiting, nSeq) != m_nSeq + m_nWaiting;
}

void CPlayout::Store(uint32_t nSeq, const unsigned char* pSpeech)
{
    int i = m_nWaiting;
    for (; i > 0 && Diff(m_nSeq[i - 1], nSeq) > 0; --i) {
        m_nSeq[i] = m_nSeq[i - 1];
        std::memcpy(m_block[i], m_block[i - 1], kSpeechBytes);
    }
    m_nSeq[i] = nSeq;
    std::memcpy(m_block[i], pSpeech, kSpeechBytes);
    ++m_nWaiting;
}

void CPlayout::TakeFirst()
{
    --m_nWaiting;
    std::memmove(m_nSeq, m_nSeq + 1, m_nWaiting * sizeof(m_nSeq[0]));
    std::memmove(m_block, m_block + 1, m_nWaiting * sizeof(m_block[0]));
    m_nSeq[m_nWaiting] = 0;
}

// Lateness is measured against the sending clock as the fastest packet of the last seconds saw
// it; after a pause of the peer the measurement starts again.
void CPlayout::MeasureArrival(uint32_t nSeq, uint32_t nowMs)
{
    if (m_nOffsets == 0 || Diff(nowMs, m_lastArrivalMs) > static_cast<int32_t>(kPeerSilentMs)) {
        m_nOffsets = m_nextOffset = 0;
        m_firstSeq = nSeq;
        m_firstMs = nowMs;
    }
    m_lastArrivalMs = nowMs;
    m_offset[m_nextOffset] = Diff(nowMs, m_firstMs) - Diff(nSeq, m_firstSeq) * kBlockMs;
    m_nextOffset = (m_nextOffset + 1) % kJitterWindow;
    m_nOffsets = std::min(m_nOffsets + 1, kJitterWindow);
    UpdateTarget();
}

void CPlayout::UpdateTarget()
{
    int32_t late[kJitterWindow] = {};
    std::copy(m_offset, m_offset + m_nOffsets, late);
    m_baseOffset = *std::min_element(late, late + m_nOffsets);
    int nP95 = (m_nOffsets * 95) / 100;
    std::nth_element(late, late + nP95, late + m_nOffsets);
    m_jitterMs = late[nP95] - m_baseOffset;
    if (m_nOffsets < kSettleCount)
        m_jitterMs = std::max(m_jitterMs, kInitialJitterMs);
    const int nTarget = std::min(kMaxTarget, 1 + (m_jitterMs + kBlockMs / 2) / kBlockMs);
    if (nTarget != m_nTarget)
        Log("CPlayout::Target: jitter %d ms, target depth %d -> %d blocks", m_jitterMs, m_nTarget,
            nTarget);
    m_nTarget = nTarget;
}

// Hands what waits in sequence while the device's queue needs it; when the device is about to
// run dry and the next packet is missing, conceals it, plays a filler or gives the gap up.
void CPlayout::Pump(uint32_t nowMs)
{
    for (;;) {
        if (NextReady()) {
            if (Queued() > m_nTarget && m_nWaiting < kSlots)
                return;
            HandNext(nowMs);
            continue;
        }
        if (!m_bStarted || RemainingMs(nowMs) > kGuardMs)
            return;
        if (!Overdue(nowMs)) {
            if (m_fillBudgetMs >= kDryBudgetMs + m_jitterMs && PeerSending(nowMs))
                Fill(nowMs);
            return;
        }
        if (m_nConcealRun < kMaxConcealRun && PeerSending(nowMs)) {
            Conceal(nowMs);
            continue;
        }
        if (m_nWaiting == 0)
            return;
        GiveUpGap();
    }
}

bool CPlayout::NextReady() const
{
    return m_nWaiting > 0 && m_nSeq[0] == m_nLastSeq + 1;
}

bool CPlayout::Overdue(uint32_t nowMs) const
{
    const uint32_t nNext = m_nLastSeq + 1;
    const int32_t expectedMs = m_baseOffset + Diff(nNext, m_firstSeq) * kBlockMs;
    return Diff(nowMs, m_firstMs) - expectedMs >= m_jitterMs + kMarginMs;
}

void CPlayout::HandNext(uint32_t nowMs)
{
    int16_t pcm[kBlockSamples] = {};
    if (m_act.decode)
        m_act.decode(m_block[0], pcm);
    const uint32_t nSeq = m_nSeq[0];
    TakeFirst();
    m_nLastSeq = nSeq;
    if (TrimThis(pcm)) {
        ++m_count.trimmed;
        --m_nTrimDue;
        Log("CPlayout::Trim: quiet packet %u left out, %d more to go", nSeq, m_nTrimDue);
        return;
    }
    m_nConcealRun = 0;
    ++m_count.played;
    Play(pcm, nowMs);
}

bool CPlayout::TrimThis(const int16_t* pPcm)
{
    const uint64_t energy = BlockEnergy(pPcm, kBlockSamples);
    if (m_nTrimDue > 0)
        return m_pick.Drop(energy);
    m_pick.Keep(energy);
    return false;
}

void CPlayout::Conceal(uint32_t nowMs)
{
    int16_t pcm[kBlockSamples] = {};
    if (m_act.conceal)
        m_act.conceal(pcm);
    ++m_nLastSeq;
    ++m_count.concealed;
    ++m_nConcealRun;
    Log("CPlayout::Conceal: packet %u missing as the queue ran dry, concealed", m_nLastSeq);
    Play(pcm, nowMs);
}

// The sender's clock is slower than the device's: the device keeps running dry while the next
// packet is not yet late. One concealed block (taking no packet's place) builds the queue back.
void CPlayout::Fill(uint32_t nowMs)
{
    int16_t pcm[kBlockSamples] = {};
    if (m_act.conceal)
        m_act.conceal(pcm);
    ++m_count.concealed;
    m_fillBudgetMs = 0;
    Log("CPlayout::Fill: the device ran dry waiting for packet %u, one concealed block added",
        m_nLastSeq + 1);
    Play(pcm, nowMs);
}

void CPlayout::GiveUpGap()
{
    const uint32_t nNext = m_nLastSeq + 1;
    m_count.skipped += m_nSeq[0] - nNext;
    Log("CPlayout::GiveUp: packets %u to %u missing, %d waiting, skipped", nNext, m_nSeq[0] - 1,
        m_nWaiting);
    m_nLastSeq = m_nSeq[0] - 1;
}

void CPlayout::Play(const int16_t* pPcm, uint32_t nowMs)
{
    const bool bIdle = Queued() == 0 || Diff(m_playEndMs, nowMs) < 0;
    m_playEndMs = (bIdle ? nowMs : m_playEndMs) + kBlockMs;
    EndDry(nowMs);
    if (m_act.play)
        m_act.play(pPcm);
}

void CPlayout::EndDry(uint32_t untilMs)
{
    if (!m_bDry)
        return;
    m_bDry = false;
    const int32_t nDry = Diff(untilMs, m_dryFromMs);
    if (nDry <= 0)
        return;
    ++m_count.underruns;
    m_count.dryMs += static_cast<uint32_t>(nDry);
    m_fillBudgetMs += nDry;
}

// A queue whose cushion stayed whole blocks above what the jitter needs for a whole period gives
// up as many quiet blocks. The cushion is taken as each packet arrives: what the device still has
// to play and what waits ready in the store. The device's completions come some ms early or
// late, so a standing block may read a little short of 60 ms.
void CPlayout::WatchStanding(uint32_t nowMs)
{
    m_minCushionMs = std::min(m_minCushionMs, RemainingMs(nowMs) + ReadyInStore() * kBlockMs);
    if (Diff(nowMs, m_periodFromMs) < static_cast<int32_t>(kTrimPeriodMs))
        return;
    const int nExcess = (m_minCushionMs - m_jitterMs + kStandingSlackMs) / kBlockMs;
    if (m_nTrimDue == 0 && nExcess > 0) {
        m_nTrimDue = nExcess;
        m_pick.Begin();
        Log("CPlayout::Trim: at least %d ms queued for %u ms (jitter %d ms), %d blocks to trim",
            m_minCushionMs, kTrimPeriodMs, m_jitterMs, nExcess);
    }
    m_periodFromMs = nowMs;
    m_minCushionMs = INT_MAX;
}

int CPlayout::Queued() const
{
    return m_act.queued ? m_act.queued() : 0;
}

int CPlayout::RemainingMs(uint32_t nowMs) const
{
    if (Queued() == 0)
        return 0;
    return std::max<int32_t>(0, Diff(m_playEndMs, nowMs));
}

int CPlayout::ReadyInStore() const
{
    int n = 0;
    while (n < m_nWaiting && m_nSeq[n] == m_nLastSeq + 1 + static_cast<uint32_t>(n))
        ++n;
    return n;
}

int CPlayout::Depth() const
{
    return Queued() + ReadyInStore();
}

bool CPlayout::PeerSending(uint32_t nowMs) const
{
    return m_bStarted && Diff(nowMs, m_lastArrivalMs) <= static_cast<int32_t>(kPeerSilentMs);
}

void CPlayout::Log(const char* pFormat, ...)
{
    if (!m_act.log)
        return;
    char line[256];
    va_list args;
    va_start(args, pFormat);
    std::vsnprintf(line, sizeof(line), pFormat, args);
    va_end(args);
    m_act.log(line);
}
