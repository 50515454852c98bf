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

// The value below which nPercent of the n values lie (n at most kMax, at least 1).
template <int kMax>
int32_t Percentile(const int32_t* pValues, int n, int nPercent)
{
    int32_t sorted[kMax];
    std::copy(pValues, pValues + n, sorted);
    const int nAt = n * nPercent / 100;
    std::nth_element(sorted, sorted + nAt, sorted + n);
    return sorted[nAt];
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
            "shortened %u (%u ms cut), padded %u (%u ms added), skipped %u, underruns %u (%u ms "
            "without audio); cushion at arrival median %d ms, device timing spread %d ms",
            m_count.played, m_count.concealed, m_count.lateDropped, m_count.trimmed,
            m_count.shortened, m_count.cutMs, m_count.padded, m_count.paddedMs, m_count.skipped,
            m_count.underruns, m_count.dryMs, MedianCushionMs(), DeviceSpreadMs());
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
    m_trimDueMs = 0;
    m_padDueMs = 0;
    m_nDoneOffs = m_nextDoneOff = 0;
    m_bBusy = false;
    std::fill(m_handedMs, m_handedMs + kHandedRing, kBlockMs);
    m_nextHanded = 0;
    m_pick = CQuietPick();
    m_count = Counters();
    std::fill(m_cushions, m_cushions + kCushionSteps, 0u);
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
    // A block that followed another without a break ends when the lengths say; how far off the
    // completion comes is the device's own timing spread.
    if (m_bBusy) {
        const int32_t nOff = Diff(nowMs, m_playEndMs - static_cast<uint32_t>(HeldMs(nQueued)));
        m_doneOffMs[m_nextDoneOff] = nOff < 0 ? -nOff : nOff;
        m_nextDoneOff = (m_nextDoneOff + 1) % kCompletionWindow;
        m_nDoneOffs = std::min(m_nDoneOffs + 1, kCompletionWindow);
    }
    m_bBusy = nQueued > 0;
    m_playEndMs = nowMs + static_cast<uint32_t>(HeldMs(nQueued));
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
    m_baseOffset = *std::min_element(m_offset, m_offset + m_nOffsets);
    m_jitterMs = Percentile<kJitterWindow>(m_offset, m_nOffsets, 95) - m_baseOffset;
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
            if (m_padDueMs > 0)
                Pad(nowMs);
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
    const int nSamples = TrimThis(pcm, nSeq);
    if (nSamples == 0)
        return;
    m_nConcealRun = 0;
    ++m_count.played;
    Play(pcm, nSamples, nowMs);
}

int CPlayout::TrimThis(int16_t* pPcm, uint32_t nSeq)
{
    const uint64_t energy = BlockEnergy(pPcm, kBlockSamples);
    if (m_trimDueMs == 0) {
        m_pick.Keep(energy);
        return kBlockSamples;
    }
    if (!m_pick.Drop(energy))
        return kBlockSamples;
    if (m_trimDueMs >= kBlockMs) {
        m_trimDueMs -= kBlockMs;
        ++m_count.trimmed;
        Log("CPlayout::Trim: quiet packet %u left out, %d ms more to go", nSeq, m_trimDueMs);
        return 0;
    }
    // A cut leaves at least kMinLeftMs of the block, for the blend; the rest comes out of the next
    // quiet block.
    const int nCutMs = std::min(m_trimDueMs, kBlockMs - kMinLeftMs);
    const int nLeft = CutQuietest(pPcm, kBlockSamples, nCutMs * kSamplesPerMs);
    const int nDoneMs = (kBlockSamples - nLeft) / kSamplesPerMs;
    m_trimDueMs -= nDoneMs;
    ++m_count.shortened;
    m_count.cutMs += static_cast<uint32_t>(nDoneMs);
    Log("CPlayout::Trim: %d ms cut out of quiet packet %u, %d ms more to go", nDoneMs, nSeq,
        m_trimDueMs);
    if (m_trimDueMs > 0)
        m_pick.Begin();
    return nLeft;
}

// Plays the first nMs of a block concealed as if its six frames were lost.
void CPlayout::PlayConcealed(int nMs, uint32_t nowMs)
{
    int16_t pcm[kBlockSamples] = {};
    if (m_act.conceal)
        m_act.conceal(pcm);
    Play(pcm, nMs * kSamplesPerMs, nowMs);
}

void CPlayout::Conceal(uint32_t nowMs)
{
    ++m_nLastSeq;
    ++m_count.concealed;
    ++m_nConcealRun;
    Log("CPlayout::Conceal: packet %u missing as the queue ran dry, concealed", m_nLastSeq);
    PlayConcealed(kBlockMs, nowMs);
}

// The sender's clock is slower than the device's: the device keeps running dry while the next
// packet is not yet late. One concealed block (taking no packet's place) builds the queue back.
void CPlayout::Fill(uint32_t nowMs)
{
    ++m_count.concealed;
    m_fillBudgetMs = 0;
    Log("CPlayout::Fill: the device ran dry waiting for packet %u, one concealed block added",
        m_nLastSeq + 1);
    PlayConcealed(kBlockMs, nowMs);
}

// The cushion fell short of what is kept (the sender's clock is slow, or the packets come later
// than they did): the device gets the start of a concealed block, as long as the shortfall, ahead
// of the next packet.
void CPlayout::Pad(uint32_t nowMs)
{
    const int nMs = std::min(m_padDueMs, kBlockMs);
    m_padDueMs = 0;
    ++m_count.padded;
    m_count.paddedMs += static_cast<uint32_t>(nMs);
    Log("CPlayout::Pad: %d ms of concealed audio ahead of packet %u", nMs, m_nLastSeq + 1);
    PlayConcealed(nMs, nowMs);
}

void CPlayout::GiveUpGap()
{
    const uint32_t nNext = m_nLastSeq + 1;
    m_count.skipped += m_nSeq[0] - nNext;
    Log("CPlayout::GiveUp: packets %u to %u missing, %d waiting, skipped", nNext, m_nSeq[0] - 1,
        m_nWaiting);
    m_nLastSeq = m_nSeq[0] - 1;
}

void CPlayout::Play(const int16_t* pPcm, int nSamples, uint32_t nowMs)
{
    const int nMs = nSamples / kSamplesPerMs;
    const bool bIdle = Queued() == 0 || Diff(m_playEndMs, nowMs) < 0;
    m_playEndMs = (bIdle ? nowMs : m_playEndMs) + static_cast<uint32_t>(nMs);
    m_handedMs[m_nextHanded] = nMs;
    m_nextHanded = (m_nextHanded + 1) % kHandedRing;
    EndDry(nowMs);
    if (m_act.play)
        m_act.play(pPcm, nSamples);
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
    Log("CPlayout::Dry: the device had nothing to play for %d ms", static_cast<int>(nDry));
    m_fillBudgetMs += nDry;
}

// A queue whose cushion stayed above what the jitter needs for a whole period gives up the
// excess: whole quiet blocks, and the rest cut out of the next quiet one. The cushion is taken as
// each packet arrives: what the device still has to play and what waits ready in the store; the
// least of a period is the latest packet's.
void CPlayout::WatchStanding(uint32_t nowMs)
{
    const int nCushionMs = RemainingMs(nowMs) + ReadyInStore() * kBlockMs;
    m_minCushionMs = std::min(m_minCushionMs, nCushionMs);
    ++m_cushions[std::min(nCushionMs / kCushionStepMs, kCushionSteps - 1)];
    if (Diff(nowMs, m_periodFromMs) < static_cast<int32_t>(kTrimPeriodMs))
        return;
    const int nKeepMs = KeepMs();
    const int nExcessMs = m_minCushionMs - nKeepMs;
    if (m_trimDueMs == 0 && nExcessMs >= kMinCutMs) {
        m_trimDueMs = nExcessMs;
        m_pick.Begin();
        Log("CPlayout::Trim: at least %d ms queued for %u ms (jitter %d ms, keeping %d ms), %d "
            "ms to trim",
            m_minCushionMs, kTrimPeriodMs, m_jitterMs, nKeepMs, nExcessMs);
    } else if (m_trimDueMs == 0 && -nExcessMs >= kMinCutMs && PeerSending(nowMs)) {
        m_padDueMs = -nExcessMs;
        Log("CPlayout::Pad: only %d ms queued at the least for %u ms (jitter %d ms, keeping %d "
            "ms), %d ms to add",
            m_minCushionMs, kTrimPeriodMs, m_jitterMs, nKeepMs, m_padDueMs);
    }
    m_periodFromMs = nowMs;
    m_minCushionMs = INT_MAX;
}

int CPlayout::DeviceSpreadMs() const
{
    if (m_nDoneOffs < kSettleCount)
        return kUnknownSpreadMs;
    return Percentile<kCompletionWindow>(m_doneOffMs, m_nDoneOffs, 90);
}

int CPlayout::KeepMs() const
{
    return std::max(
        {kMinCushionMs + DeviceSpreadMs(), m_jitterMs / 2, m_jitterMs - kStandingSlackMs});
}

int CPlayout::MedianCushionMs() const
{
    uint64_t nTotal = 0;
    for (uint32_t n : m_cushions)
        nTotal += n;
    uint64_t nBelow = 0;
    for (int i = 0; i < kCushionSteps; ++i) {
        nBelow += m_cushions[i];
        if (nTotal && nBelow * 2 >= nTotal)
            return i * kCushionStepMs;
    }
    return 0;
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

// The audio of the last nBlocks blocks handed to the device.
int CPlayout::HeldMs(int nBlocks) const
{
    int nMs = 0;
    for (int i = 1; i <= nBlocks; ++i)
        nMs += i <= kHandedRing ? m_handedMs[(m_nextHanded - i + kHandedRing) % kHandedRing]
                                : kBlockMs;
    return nMs;
}

int CPlayout::Depth() const
{
    return (HeldMs(Queued()) + ReadyInStore() * kBlockMs + kBlockMs / 2) / kBlockMs;
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
