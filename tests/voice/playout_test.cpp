// The playout on a simulated device clock: a device that plays 60 ms blocks back to back, a
// sender with seeded loss, jitter, repeats and clock skew, a tick every 10 ms.
#include "voice/receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <random>
#include <vector>

namespace {

const int kConcealed = -1;
const int kPadded = -2;  // a piece of a concealed block

// A datagram whose speech names its number (bytes 0-3) and its loudness (byte 4).
std::vector<unsigned char> Packet(uint32_t nSeq, unsigned char loud = 100)
{
    std::vector<unsigned char> d(kVoicePacketSize, 0);
    WriteLe32(d.data(), nSeq);
    WriteLe32(d.data() + kVoiceHeaderSize, nSeq);
    d[kVoiceHeaderSize + 4] = loud;
    return d;
}

struct Send {
    uint32_t atMs;
    uint32_t seq;
};

class Sim {
public:
    Sim()
        : receiver([this](const unsigned char* pSpeech) { classic.push_back(ReadLe32(pSpeech)); },
                   CPlayout::Actions{
                       [](const unsigned char* pCoded, int16_t* pPcm) {
                           pPcm[0] = static_cast<int16_t>(ReadLe32(pCoded));
                           std::fill(pPcm + 1, pPcm + 480, pCoded[4]);
                       },
                       [](int16_t* pPcm) { pPcm[0] = kConcealed; },
                       [this](const int16_t* pPcm, int nSamples) { Hand(pPcm[0], nSamples); },
                       [this] { return static_cast<int>(device.size()) + nUntold; },
                       [this](const char* pLine) {
                           if (getenv("PLAYOUT_TEST_LOG"))
                               printf("%u %s\n", now, pLine);
                       }})
    {
    }

    // Runs the clock to untilMs, delivering sends (sorted by time) as their time comes.
    void Run(const std::vector<Send>& sends, uint32_t untilMs)
    {
        size_t next = 0;
        for (; now <= untilMs; ++now) {
            for (; next < sends.size() && sends[next].atMs <= now; ++next) {
                std::vector<unsigned char> d = Packet(sends[next].seq, Loudness(sends[next].seq));
                cushions.push_back(HeldMs());
                receiver.Take(d.data(), int(d.size()), "peer", "peer", now);
            }
            if (!device.empty() && now >= endMs && now >= startMs)
                Done();
            while (nUntold > 0 && now % periodMs == 0) {
                --nUntold;
                receiver.OnBlockDone(now);
            }
            if (now % 10 == 0)
                receiver.OnTick(now);
            if (device.empty() && now >= countDryFromMs)
                ++dryMs;
        }
    }
    CPlayout& Playout() { return receiver.Playout(); }
    // Concealed blocks up to the last real one (after the stream ends a few more play on).
    int Concealed() const
    {
        auto end = std::find_if(heard.rbegin(), heard.rend(), [](int s) { return s > 0; });
        return int(std::count(heard.begin(), end.base(), kConcealed));
    }
    std::vector<int> Real() const
    {
        std::vector<int> v;
        std::copy_if(heard.begin(), heard.end(), std::back_inserter(v),
                     [](int s) { return s > 0; });
        return v;
    }
    static unsigned char Loudness(uint32_t nSeq)
    {
        return static_cast<unsigned char>(50 + nSeq % 7);
    }

    CVoiceReceiver receiver;
    std::deque<std::pair<int, int>> device;   // (block, ms); front: playing
    int handedMs = 0;                         // audio handed to the device
    std::vector<int> classic;                 // blocks the ordering store played
    std::vector<int> heard;                   // every block in playing order
    std::vector<std::pair<int, int>> depths;  // (depth, target) at each hand-off
    std::vector<int> cushions;                // ms the device still had to play at each arrival
    uint32_t now = 0;
    uint32_t endMs = 0;
    uint32_t startMs = 0;  // the device plays nothing before
    int dryMs = 0;
    uint32_t countDryFromMs = 0;
    // The device tells of a finished block only at the end of its period (1: at once).
    uint32_t periodMs = 1;

private:
    uint32_t nPadded = 0;
    int nUntold = 0;  // blocks the device has finished without telling yet
    int HeldMs() const
    {
        if (device.empty())
            return 0;
        int nMs = int(std::max(endMs, now) - now);
        for (size_t i = 1; i < device.size(); ++i)
            nMs += device[i].second;
        return nMs;
    }
    void Hand(int nSeq, int nSamples)
    {
        // Concealed audio added ahead of a packet (not in a missing packet's place).
        if (Playout().Count().padded != nPadded) {
            nPadded = Playout().Count().padded;
            nSeq = kPadded;
        }
        const int nMs = nSamples / 8;
        handedMs += nMs;
        if (device.empty())
            endMs = std::max(now, startMs) + nMs;
        device.emplace_back(nSeq, nMs);
        depths.emplace_back(Playout().Depth(), Playout().Target());
    }
    void Done()
    {
        heard.push_back(device.front().first);
        device.pop_front();
        if (!device.empty())
            endMs = now + device.front().second;
        ++nUntold;
    }
};

// Packets 1..n, one per intervalUs microseconds, each delayed by 0..jitterMs (seeded), some lost.
std::vector<Send> Stream(uint32_t n, uint32_t intervalUs = 60000, int jitterMs = 0,
                         std::vector<uint32_t> lost = {}, unsigned seed = 7)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> jitter(0, jitterMs);
    std::vector<Send> out;
    for (uint32_t s = 1; s <= n; ++s) {
        uint32_t at = 1000 + static_cast<uint32_t>(uint64_t(s) * intervalUs / 1000) + jitter(rng);
        if (std::find(lost.begin(), lost.end(), s) == lost.end())
            out.push_back({at, s});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Send& a, const Send& b) { return a.atMs < b.atMs; });
    return out;
}

std::vector<int> Seqs(int from, int to, std::vector<int> without = {})
{
    std::vector<int> v;
    for (int s = from; s <= to; ++s)
        if (std::find(without.begin(), without.end(), s) == without.end())
            v.push_back(s);
    return v;
}

TEST(PlayoutTest, LostPacketConcealedOnceAndItsLateArrivalDropped)
{
    Sim sim;
    std::vector<Send> sends = Stream(40, 60000, 0, {12});
    sends.push_back({1000 + 20 * 60, 12});  // comes long after its place has played
    std::stable_sort(sends.begin(), sends.end(),
                     [](const Send& a, const Send& b) { return a.atMs < b.atMs; });
    sim.Run(sends, 5000);
    EXPECT_EQ(Seqs(1, 40, {12}), sim.Real());
    EXPECT_EQ(1, sim.Concealed());
    EXPECT_EQ(kConcealed, sim.heard[11]);
    EXPECT_EQ(1u, sim.Playout().Count().lateDropped);
}

TEST(PlayoutTest, LossInBurstsIsConcealedBlockByBlock)
{
    Sim sim;
    sim.Run(Stream(60, 60000, 40, {20, 21, 22, 40, 41}), 6000);
    EXPECT_EQ(Seqs(1, 60, {20, 21, 22, 40, 41}), sim.Real());
    EXPECT_EQ(5, sim.Concealed());
    EXPECT_EQ(0u, sim.Playout().Count().lateDropped);
}

TEST(PlayoutTest, ReorderingWithinTheJitterPlaysInOrderWithNothingConcealed)
{
    Sim sim;
    std::vector<Send> sends = Stream(500, 60000, 100, {}, 3);
    int nOvertaken = 0;
    for (size_t i = 1; i < sends.size(); ++i)
        nOvertaken += sends[i].seq < sends[i - 1].seq;
    ASSERT_GT(nOvertaken, 20);
    sim.Run(sends, 33000);
    EXPECT_EQ(Seqs(1, 500), sim.Real());
    EXPECT_EQ(0, sim.Concealed());
}

// Numbers far ahead of the stream (a stray or hostile datagram) neither play nor make the store
// give up the stream; a burst of loss in the middle is concealed as usual.
TEST(PlayoutTest, NumbersFarOutOfTheStreamAreDropped)
{
    Sim sim;
    std::vector<Send> sends = Stream(60, 60000, 0, {30, 31, 32, 33, 34, 35});
    for (uint32_t far : {600u, 0x80000000u, 0xFFFFFFFFu})
        sends.push_back({1000 + 20 * 60 + 5, far});
    std::stable_sort(sends.begin(), sends.end(),
                     [](const Send& a, const Send& b) { return a.atMs < b.atMs; });
    sim.Run(sends, 6000);
    EXPECT_EQ(Seqs(1, 60, {30, 31, 32, 33, 34, 35}), sim.Real());
    EXPECT_EQ(3u, sim.Playout().Count().lateDropped);
}

TEST(PlayoutTest, RepeatNeverPlaysTwice)
{
    Sim sim;
    std::vector<Send> sends = Stream(50);
    for (uint32_t s = 1; s <= 50; s += 3)
        sends.push_back({1000 + s * 60 + (s % 2 ? 5 : 400), s});  // soon after, and long after
    std::stable_sort(sends.begin(), sends.end(),
                     [](const Send& a, const Send& b) { return a.atMs < b.atMs; });
    sim.Run(sends, 5000);
    EXPECT_EQ(Seqs(1, 50), sim.Real());
    EXPECT_EQ(0, sim.Concealed());
    EXPECT_EQ(17u, sim.Playout().Count().lateDropped);
}

TEST(PlayoutTest, SkewOverTenMinutesKeepsDepthWithinTargetByOne)
{
    struct Case {
        uint32_t intervalUs;  // the sender's 60 ms on the device's clock
        bool bSlow;           // slow: concealed audio makes up; fast: quiet audio is left out
    };
    for (Case c : {Case{60600, true}, Case{59400, false}}) {
        SCOPED_TRACE(c.intervalUs);
        Sim sim;
        const uint32_t n = 10000;
        sim.Run(Stream(n, c.intervalUs, 5), 1000 + n * c.intervalUs / 1000 + 500);
        for (size_t i = 100; i < sim.depths.size(); ++i)
            ASSERT_LE(std::abs(sim.depths[i].first - sim.depths[i].second), 1) << "block " << i;
        const CPlayout::Counters& count = sim.Playout().Count();
        EXPECT_EQ(n, count.played + count.trimmed + count.lateDropped);
        // Time is kept: what the device played and the time it ran dry add up to what was sent.
        const int nSentMs = int(uint64_t(n) * c.intervalUs / 1000);
        const int nHandedMs =
            int(count.played + count.concealed) * 60 - int(count.cutMs) + int(count.paddedMs);
        EXPECT_EQ(sim.handedMs, nHandedMs);
        const int nDeviceMs = nHandedMs + int(count.dryMs);
        EXPECT_NEAR(nSentMs, nDeviceMs, 400);  // the lead-in and the blocks concealed at the end
        // The device hardly ever runs dry: the slow sender's cushion is padded before it is gone.
        EXPECT_LT(count.dryMs, uint32_t(nSentMs / 1000));
        // The sender's 6 s of drift are made up with concealed audio or left out of quiet audio.
        EXPECT_EQ(c.bSlow, count.concealed * 60 + count.paddedMs > 5000);
        EXPECT_EQ(!c.bSlow, count.trimmed * 60 + count.cutMs > 5000);
    }
}

// A lossless call on the device's own clock keeps the queue at the playing block: nothing
// concealed, added or left out. A device that starts two seconds late has its backlog trimmed.
TEST(PlayoutTest, LosslessCallStaysShallowAndALateDeviceIsCaughtUp)
{
    for (uint32_t startMs : {0u, 3000u}) {
        SCOPED_TRACE(startMs);
        Sim sim;
        sim.startMs = startMs;
        sim.Run(Stream(1000, 60000, 3), 62000);
        const CPlayout::Counters& count = sim.Playout().Count();
        EXPECT_EQ(0, sim.Concealed());
        EXPECT_EQ(Seqs(1, 1000).size(), sim.Real().size() + count.trimmed);
        EXPECT_EQ(startMs ? 30u : 0u, std::min(30u, count.trimmed));
        for (size_t i = sim.depths.size() - 500; i < sim.depths.size(); ++i)
            ASSERT_LE(sim.depths[i].first, 2) << "block " << i;
    }
}

// Whatever the phase between the packets and the device's blocks, a lossless call settles with
// the packets arriving a few ms before the device needs them: the excess is cut in milliseconds
// out of quiet blocks, not left standing below a whole block.
TEST(PlayoutTest, LosslessCallSettlesAFewMillisecondsAhead)
{
    for (uint32_t phaseMs : {13u, 29u, 41u, 59u}) {
        SCOPED_TRACE(phaseMs);
        Sim sim;
        sim.startMs = 1060 + phaseMs;
        sim.Run(Stream(500, 60000, 2), 31000);
        const CPlayout::Counters& count = sim.Playout().Count();
        EXPECT_EQ(0, sim.Concealed());
        EXPECT_EQ(0u, count.trimmed);
        EXPECT_GT(count.shortened, 0u);
        EXPECT_EQ(0u, count.underruns);
        // The simulated device hands blocks back on time: only the floor is kept.
        EXPECT_EQ(0, sim.Playout().DeviceSpreadMs());
        const int nKeepMs = sim.Playout().KeepMs();
        EXPECT_EQ(CPlayout::kMinCushionMs, nKeepMs);
        const std::vector<int> late(sim.cushions.end() - 200, sim.cushions.end());
        EXPECT_LE(*std::max_element(late.begin(), late.end()), nKeepMs + CPlayout::kMinCutMs + 2);
        EXPECT_GE(*std::min_element(late.begin(), late.end()), nKeepMs - CPlayout::kMinCutMs - 2);
    }
}

// A device that tells of finished blocks only at the end of its periods: the playout measures
// that spread and keeps that much more, so the device itself never runs dry. The period is 11 ms
// so that block ends fall at every point of it, as they do on a sound card whose clock is not the
// system's (a lag that never varies cannot be measured).
TEST(PlayoutTest, ADeviceWithCoarseCompletionsGetsALargerCushion)
{
    Sim sim;
    sim.periodMs = 11;
    sim.countDryFromMs = 5000;  // once the spread is measured
    sim.Run(Stream(500, 60000, 2), 30000);
    const int nSpreadMs = sim.Playout().DeviceSpreadMs();
    EXPECT_GE(nSpreadMs, 5);
    EXPECT_LE(nSpreadMs, 11);
    EXPECT_EQ(CPlayout::kMinCushionMs + nSpreadMs, sim.Playout().KeepMs());
    EXPECT_EQ(0, sim.Concealed());
    const std::vector<int> real = sim.Real();
    EXPECT_GT(real.size(), 470u);
    EXPECT_EQ(Seqs(1, int(real.size())), real);
    EXPECT_EQ(0, sim.dryMs);
}

TEST(PlayoutTest, SecondCallPlaysNothingOfTheFirst)
{
    Sim sim;
    sim.Run({{1000, 1}, {1060, 2}, {1120, 4}, {1130, 5}}, 1125);
    sim.receiver.Reset();
    sim.Run({{2000, 1}, {2060, 2}, {2120, 3}}, 3000);
    EXPECT_EQ((std::vector<int>{1, 2, 1, 2, 3}), sim.Real());
}

// With the switch set, the ordering store's described sequences still hold: played on arrival,
// held behind a gap, flushed at the eighth waiting packet.
TEST(PlayoutTest, ClassicSwitchKeepsTheOrderingStore)
{
    struct Case {
        std::vector<uint32_t> in;
        std::vector<int> played;
    };
    const Case cases[] = {
        {{1, 2, 4, 3, 5}, {1, 2, 3, 4, 5}},
        {{1, 2, 4, 6, 7, 3}, {1, 2, 3, 4}},
        {{1, 2, 4, 6, 7, 3, 5}, {1, 2, 3, 4, 5, 6, 7}},
        {{1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {{500, 501, 502, 503, 504, 505, 506, 507, 508}, Seqs(500, 508)},
        {{1, 2, 3, 2, 5, 4}, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Sim sim;
        sim.receiver.SetClassic(true);
        std::vector<Send> sends;
        for (uint32_t s : c.in)
            sends.push_back({0, s});
        sim.Run(sends, 0);
        EXPECT_EQ(c.played, sim.classic);
        EXPECT_TRUE(sim.heard.empty() && sim.device.empty());
    }
    for (auto [pValue, bClassic] : {std::pair<const char*, bool>{"classic", true},
                                    {"Classic", true},
                                    {"", false},
                                    {nullptr, false},
                                    {"classical", false}})
        EXPECT_EQ(bClassic, ClassicPlayoutSelected(pValue)) << (pValue ? pValue : "null");
}

}  // namespace
