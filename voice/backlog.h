// CBacklogTrim: keeps a standing backlog out of the playback queue. A queue that fills up at the
// start of a call (the sound server slow to take the device while packets arrive) or slowly
// through a sender whose clock runs fast never drains by itself, and every queued block is 60 ms
// of delay. When the queue has held more than kStandingAbove blocks for kStandingMs on end, the
// incoming blocks are trimmed, one at a time and the quietest available, until it holds kTrimTo.
// Portable: it sees only the queue depth, the time and each block's energy.
#pragma once

#include <cstdint>

// Chooses which blocks a trim leaves out: a block is dropped when it is quieter than each of the
// kWindow - 1 blocks kept before it; the kWindow-th block after a drop goes whatever its energy,
// so that a trim always moves on.
class CQuietPick {
public:
    static constexpr int kWindow = 4;

    // Starts a trim: the next drop may come at once.
    void Begin() { m_nKeptSinceDrop = 0; }
    // True when the block is to be dropped; a kept block is remembered.
    bool Drop(uint64_t energy);
    // Remembers a block kept while not trimming.
    void Keep(uint64_t energy);

private:
    bool QuieterThanRecent(uint64_t energy) const;

    uint64_t m_recent[kWindow - 1] = {};  // energies of the last blocks kept (a ring)
    int m_nRecent = 0;
    int m_nextRecent = 0;
    int m_nKeptSinceDrop = 0;
};

class CBacklogTrim {
public:
    static constexpr int kStandingAbove = 3;
    static constexpr uint32_t kStandingMs = 5000;
    static constexpr int kTrimTo = 2;
    static constexpr int kWindow = CQuietPick::kWindow;

    // For each block about to be queued: the number already queued, a millisecond clock and the
    // block's energy. True when the block is to be dropped instead.
    bool Drop(int nQueued, uint32_t nowMs, uint64_t energy);
    bool Trimming() const { return m_bTrimming; }

private:
    bool StandingBacklog(int nQueued, uint32_t nowMs);

    bool m_bHigh = false;        // the queue is above kStandingAbove
    uint32_t m_highSinceMs = 0;  // since when
    bool m_bTrimming = false;
    CQuietPick m_pick;
};

// Cuts nCut samples out of a block where it is quietest, the two sides blended over a few
// samples so that no step is heard; returns the samples left (nSamples when the cut would not fit).
int CutQuietest(int16_t* pSamples, int nSamples, int nCut);

// Sum of squares of 16-bit samples.
uint64_t BlockEnergy(const int16_t* pSamples, int nSamples);
