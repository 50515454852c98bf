// CPlayout: plays received voice packets on the playback device's clock.
//
// Packets wait in a store of eight slots, sorted by number, and are handed to the device one at
// a time as its queue needs them. The device's completions (and a short tick between them) drive
// the decisions:
// - when the device is about to run dry and the next packet in sequence is missing, one
//   concealed block plays in its place (given up when a later packet already waits, or when it is
//   later than the measured jitter allows); the packet, should it come after all, is dropped;
// - a packet at or below the last one played or concealed (late or repeated) is dropped;
// - eight packets waiting behind a gap give it up, as before;
// - the target depth follows the packets' measured lateness (its 95th percentile over the last
//   three seconds), 1 to 4 blocks; a queue whose cushion (at each arrival) stood above what is
//   kept for a second is brought down by that much: whole quiet blocks left out one at a time,
//   and what is left under a block cut out of the next quiet one; one that fell below it gets
//   the start of a concealed block ahead of the next packet.
// Each decision is logged in one line; the counters are logged when a call ends.
// Portable: decoding, concealing, playing and the device's queue come in as actions.
#pragma once

#include "voice/backlog.h"
#include "voice/wire.h"

#include <cstdint>
#include <functional>

class CPlayout {
public:
    static constexpr int kSlots = 8;
    static constexpr int kBlockSamples = 480;
    static constexpr int kBlockMs = 60;
    static constexpr int kSamplesPerMs = kBlockSamples / kBlockMs;
    static constexpr int kMaxTarget = 4;
    // The device counts as about to run dry with this little audio left (the tick comes every
    // 10 ms and a hand-off must land before the last block ends).
    static constexpr int kGuardMs = 25;
    // Lateness beyond the measured jitter that gives a missing packet up.
    static constexpr int kMarginMs = 10;
    static constexpr int kJitterWindow = 50;  // packets, three seconds
    // Until this many packets have been measured the jitter is taken as at least kInitialJitterMs,
    // so that the first late packets of a call wait instead of being given up.
    static constexpr int kSettleCount = 10;
    static constexpr int kInitialJitterMs = 60;
    static constexpr uint32_t kTrimPeriodMs = 1000;
    // The cushion kept above the latest packet of the last period (KeepMs): the jitter less this
    // slack (the latest packet of a period is already about as late as the jitter), at least
    // half the jitter, and at least kMinCushionMs above the spread of the device's completions
    // (their 90th percentile off the time its blocks' lengths predict, over the last
    // kCompletionWindow completions; kUnknownSpreadMs until kSettleCount are measured): a device
    // that hands blocks back in 10 ms periods needs that much more.
    static constexpr int kStandingSlackMs = 20;
    static constexpr int kMinCushionMs = 3;
    static constexpr int kCompletionWindow = 50;
    static constexpr int kUnknownSpreadMs = 10;
    // A standing cushion this much above what is kept is cut, and a cushion that fell this much
    // below it (a sender whose clock is slow) is padded; less is left alone.
    static constexpr int kMinCutMs = 5;
    static constexpr int kMinLeftMs = 5;
    // The peer counts as silent (nothing concealed, dry time not counted) after this long
    // without a packet; concealed blocks in a row stop at kMaxConcealRun.
    static constexpr uint32_t kPeerSilentMs = 300;
    static constexpr int kMaxConcealRun = 4;
    // A packet numbered further ahead than this (30 s) is not of this stream: it is dropped, or
    // one stray datagram would make the store give up everything before it.
    static constexpr uint32_t kMaxAhead = 500;
    // Dry time (the peer sending, the next packet not yet late) after which a slow sender gets a
    // concealed block added instead of more silence; the jitter more, since a queue that builds
    // its cushion against the jitter runs dry about that long.
    static constexpr int kDryBudgetMs = 30;

    struct Actions {
        std::function<void(const unsigned char* pCoded, int16_t* pPcm)> decode;
        std::function<void(int16_t* pPcm)> conceal;  // one block as if six frames were lost
        std::function<void(const int16_t* pPcm, int nSamples)> play;
        std::function<int()> queued;  // blocks the device holds, the playing one included
        std::function<void(const char* pLine)> log;
    };

    struct Counters {
        uint32_t played = 0;
        uint32_t concealed = 0;
        uint32_t lateDropped = 0;  // late or repeated packets, and numbers far out of the stream
        uint32_t trimmed = 0;
        uint32_t shortened = 0;  // blocks played with part of them cut out
        uint32_t cutMs = 0;      // audio those left out
        uint32_t padded = 0;     // pieces of concealed audio added ahead of a packet
        uint32_t paddedMs = 0;
        uint32_t skipped = 0;  // missing packets given up by the eight-packet bound
        uint32_t underruns = 0;
        uint32_t dryMs = 0;  // time the device had nothing to play while the peer was sending
    };

    explicit CPlayout(Actions actions);
    CPlayout(const CPlayout&) = delete;
    CPlayout& operator=(const CPlayout&) = delete;

    // One received datagram; false (and nothing changed) when it is not a voice packet.
    bool Insert(const unsigned char* pDatagram, int nLen, uint32_t nowMs);
    // The device has given back a played block.
    void OnBlockDone(uint32_t nowMs);
    // The tick between completions.
    void OnTick(uint32_t nowMs);
    // Ends the call: logs the counters (when it had any packet) and forgets every packet, the
    // sequence and the jitter, so the next call starts afresh. The device's queue is its own.
    void Reset();

    int Target() const { return m_nTarget; }
    int KeepMs() const;
    int DeviceSpreadMs() const;
    // Blocks' worth of audio at the device plus packets ready in sequence in the store.
    int Depth() const;
    int Waiting() const { return m_nWaiting; }
    const Counters& Count() const { return m_count; }
    // The median of the cushion at each arrival this call (ms, in steps of kCushionStepMs): what
    // the playout adds to the delay.
    int MedianCushionMs() const;

private:
    bool Holds(uint32_t nSeq) const;
    void Store(uint32_t nSeq, const unsigned char* pSpeech);
    void TakeFirst();
    void MeasureArrival(uint32_t nSeq, uint32_t nowMs);
    void UpdateTarget();
    void Pump(uint32_t nowMs);
    bool NextReady() const;
    // The next packet is later than the measured jitter allows.
    bool Overdue(uint32_t nowMs) const;
    void HandNext(uint32_t nowMs);
    // Samples of the block to play once the trim has taken its share; 0: leave it out.
    int TrimThis(int16_t* pPcm, uint32_t nSeq);
    void PlayConcealed(int nMs, uint32_t nowMs);
    void Conceal(uint32_t nowMs);
    void Fill(uint32_t nowMs);
    void Pad(uint32_t nowMs);
    void GiveUpGap();
    void Play(const int16_t* pPcm, int nSamples, uint32_t nowMs);
    void EndDry(uint32_t untilMs);
    void WatchStanding(uint32_t nowMs);
    int Queued() const;
    int RemainingMs(uint32_t nowMs) const;
    int HeldMs(int nBlocks) const;
    int ReadyInStore() const;
    bool PeerSending(uint32_t nowMs) const;
    void Log(const char* pFormat, ...);

    Actions m_act;
    unsigned char m_block[kSlots][kSpeechBytes];
    uint32_t m_nSeq[kSlots];
    int m_nWaiting;
    bool m_bStarted;      // a packet of this call has come
    uint32_t m_nLastSeq;  // number of the packet played or concealed last
    uint32_t m_firstSeq;
    uint32_t m_firstMs;
    uint32_t m_lastArrivalMs;
    int32_t m_offset[kJitterWindow];  // arrival minus the sending clock, per packet (a ring)
    int m_nOffsets;
    int m_nextOffset;
    int m_jitterMs;
    int32_t m_baseOffset;  // the least offset in the window: the fastest packet
    int m_nTarget;
    int m_nConcealRun;
    // The device: when the blocks it holds will have played (from its last completion on), and
    // the lengths of the blocks handed to it last (a ring), the ones it holds among them.
    uint32_t m_playEndMs;
    static constexpr int kHandedRing = 16;
    int m_handedMs[kHandedRing];
    int m_nextHanded;
    bool m_bDry;
    uint32_t m_dryFromMs;
    int m_fillBudgetMs;
    // Standing queue: the least cushion seen since the period began.
    uint32_t m_periodFromMs;
    int m_minCushionMs;
    int32_t m_doneOffMs[kCompletionWindow];  // each completion off its predicted time (a ring)
    int m_nDoneOffs;
    int m_nextDoneOff;
    bool m_bBusy;     // the device had blocks queued at its last completion
    int m_trimDueMs;  // audio still to leave out of quiet blocks
    int m_padDueMs;   // concealed audio to add ahead of the next packet
    CQuietPick m_pick;
    Counters m_count;
    static constexpr int kCushionStepMs = 2;
    static constexpr int kCushionSteps = 150;  // the last one holds everything above
    uint32_t m_cushions[kCushionSteps];
};
