// Wave playback on the real default wave-out device (PulseAudio's "speaker" sink under Wine):
// the queue cap, the trim of a standing backlog, copies of exactly the caller's bytes, closing
// with blocks outstanding, log lines, misuse of every guarded step, allocation failures and a
// failed close.
#include "voice/waveout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "alloc_probe.h"
#include "audio_support.h"

namespace {

const std::string kRelayStart = "AudioOutThreadProc start.";
const std::string kRelayExit = "AudioOutThreadProc exit";
const std::string kStopOk = "CWaveOut::StopThread ok";
const int kBlock = 960;

auto State(CWaveOut& w)
{
    return std::make_tuple(w.m_hWaveOut, w.m_hThread, w.m_dwThreadId, w.QueuedCount(),
                           w.m_bThreadRun, w.m_bDevOpen, w.m_hWnd);
}

std::string ChineseStopLine(const CWaveOut& w, int posted, unsigned error)
{
    char line[200];
    snprintf(line, sizeof line, "CWaveOut::StopThread: 没有成功初始化声卡(0x0 %lu %d 0x%x)",
             w.m_dwThreadId, posted, error);
    return line;
}

// Opens playback and waits until the relay thread has reported the open notification.
void OpenPlayback(CWaveOut& w, const LogRecorder& log)
{
    ASSERT_EQ(w.StartThread(), 1);
    ASSERT_EQ(w.OpenDev(), 1);
    ASSERT_TRUE(log.WaitFor("MM_WOM_OPEN", 10000));
}

class WaveOut : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (NoDeviceRun())
            GTEST_SKIP() << "needs a sound device";
        block = Sine(440, 8000, kBlock / 2);
    }
    void TearDown() override { allocprobe::Disarm(); }
    LogRecorder log;
    std::vector<short> block;
};

TEST_F(WaveOut, ClosingWithBlocksOutstandingReturnsThemAllAndLogsTheSequence)
{
    CWaveOut w;
    OpenPlayback(w, log);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(w.Play(block.data(), kBlock), 1);
    EXPECT_EQ(w.QueuedCount(), 5);
    EXPECT_EQ(allocprobe::Live().size(), 10u);  // a header and a buffer per block

    DWORD relay = w.m_dwThreadId;
    HWND hWnd = w.m_hWnd;
    ASSERT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.QueuedCount(), 0);
    EXPECT_TRUE(allocprobe::Live().empty());
    EXPECT_EQ(w.m_hWaveOut, nullptr);
    ASSERT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(w.m_hWnd, nullptr);

    EXPECT_EQ(log.From(relay),
              (std::vector<std::string>{kRelayStart, "MM_WOM_OPEN", "MM_WOM_CLOSE", kRelayExit}));
    // The quit posted after a normal close finds the thread still ending or already gone.
    std::vector<std::string> main = log.From(GetCurrentThreadId());
    ASSERT_EQ(main.size(), 2u);
    EXPECT_TRUE(main[0] == ChineseStopLine(w, 1, 0) ||
                main[0] == ChineseStopLine(w, 0, ERROR_INVALID_THREAD_ID))
        << main[0];
    EXPECT_EQ(main[1], kStopOk);
}

TEST_F(WaveOut, TwelfthBlockWithElevenOutstandingIsDroppedSilently)
{
    CWaveOut w;
    OpenPlayback(w, log);
    log.Clear();
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(w.Play(block.data(), kBlock), 1);
    ASSERT_EQ(w.QueuedCount(), 11);
    auto live = allocprobe::Live().size();

    EXPECT_EQ(w.Play(block.data(), kBlock), 1);
    EXPECT_EQ(w.QueuedCount(), 11);
    EXPECT_EQ(allocprobe::Live().size(), live);
    EXPECT_TRUE(log.All().empty());

    // Once one block has come back, the next is accepted.
    ASSERT_TRUE(PumpUntil([&] { return w.QueuedCount() < 11; }, 10000));
    int queued = w.QueuedCount();
    EXPECT_EQ(w.Play(block.data(), kBlock), 1);
    EXPECT_EQ(w.QueuedCount(), queued + 1);
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.StopThread(), 1);
}

int CountDrops(const LogRecorder& log)
{
    const auto all = log.All();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [](const std::string& line) {
        return line.find("CWaveOut::Play: backlog of ") == 0 &&
               line.find("a quiet block dropped") != std::string::npos;
    }));
}

// Plays one block each time one comes back, so the queue keeps its depth unless Play drops.
void PlayOnReturn(CWaveOut& w, const std::vector<short>& block)
{
    const int queued = w.QueuedCount();
    ASSERT_TRUE(PumpUntil([&] { return w.QueuedCount() < queued; }, 10000));
    ASSERT_EQ(w.Play(block.data(), kBlock), 1);
}

TEST_F(WaveOut, AStandingBacklogIsTrimmedToTwoBlocksWithALogLinePerDrop)
{
    CWaveOut w;
    OpenPlayback(w, log);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(w.Play(block.data(), kBlock), 1);
    // Six blocks stay queued until the trim starts (after five seconds; 200 blocks are 12 s).
    for (int i = 0; i < 200 && CountDrops(log) == 0; ++i)
        PlayOnReturn(w, block);
    ASSERT_GT(CountDrops(log), 0);
    // While blocks keep coming at the rate they play, each drop leaves one less queued, down to
    // two before a new block (three with it); then nothing more is dropped.
    for (int i = 0; i < 40; ++i)
        PlayOnReturn(w, block);
    EXPECT_LE(w.QueuedCount(), 3);
    const int drops = CountDrops(log);
    EXPECT_GE(drops, 3);
    for (int i = 0; i < 20; ++i)
        PlayOnReturn(w, block);
    EXPECT_EQ(CountDrops(log), drops);
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.StopThread(), 1);
}

// With the clock hook set, every returned block and the tick reach it on this thread, and a
// standing backlog is left to it: Play trims nothing however long the queue stands.
TEST_F(WaveOut, ClockHookHearsEveryReturnedBlockAndTheTickAndPlayTrimsNothing)
{
    CWaveOut w;
    OpenPlayback(w, log);
    int nDone = 0, nTicks = 0;
    const DWORD thread = GetCurrentThreadId();
    w.SetClockHook([&](bool bDone) {
        EXPECT_EQ(thread, GetCurrentThreadId());
        ++(bDone ? nDone : nTicks);
    });
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(w.Play(block.data(), kBlock), 1);
    for (int i = 0; i < 100; ++i)  // six seconds with six blocks queued: past the trim's wait
        PlayOnReturn(w, block);
    EXPECT_EQ(0, CountDrops(log));
    ASSERT_TRUE(PumpUntil([&] { return nTicks > 0; }, 10000));
    EXPECT_GE(nDone, 100);  // each PlayOnReturn waited for at least one
    EXPECT_EQ(nDone + w.QueuedCount(), 106);
    w.SetClockHook(nullptr);
    const int nBeforeClose = nDone;
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(nBeforeClose, nDone) << "blocks returned by the close are not reported";
    EXPECT_EQ(w.StopThread(), 1);
}

TEST_F(WaveOut, BlockOfAnyLengthQueuesACopyOfExactlyThoseBytes)
{
    CWaveOut w;
    OpenPlayback(w, log);
    std::vector<short> source = Sine(300, 8000, 1000);
    for (int length : {1234, 2, 7}) {
        ASSERT_EQ(w.Play(source.data(), length), 1);
        auto live = allocprobe::Live();
        auto data = std::find_if(live.begin(), live.end(), [&](const allocprobe::Block& b) {
            return b.size == size_t(length);
        });
        auto hdr = std::find_if(live.begin(), live.end(), [](const allocprobe::Block& b) {
            return b.size == sizeof(WAVEHDR);
        });
        ASSERT_NE(data, live.end());
        ASSERT_NE(hdr, live.end());
        EXPECT_EQ(memcmp(data->p, source.data(), length), 0);
        const WAVEHDR* h = static_cast<const WAVEHDR*>(hdr->p);
        EXPECT_EQ(h->lpData, data->p);
        EXPECT_EQ(h->dwBufferLength, DWORD(length));
        ASSERT_TRUE(PumpUntil([&] { return w.QueuedCount() == 0; }, 10000));
        EXPECT_TRUE(allocprobe::Live().empty());
    }
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.StopThread(), 1);
}

TEST_F(WaveOut, UnusableBlocksAndFailedAllocationsQueueNothing)
{
    CWaveOut w;
    OpenPlayback(w, log);
    const struct {
        const void* data;
        int length;
        size_t failSize;
        const char* text;
    } cases[] = {
        {nullptr, kBlock, 0, "CWaveOut::Play: invalid block (960 bytes)"},
        {block.data(), 0, 0, "CWaveOut::Play: invalid block (0 bytes)"},
        {block.data(), -5, 0, "CWaveOut::Play: invalid block (-5 bytes)"},
        {block.data(), kBlock, sizeof(WAVEHDR), "CWaveOut::Play: alloc WAVEHDR memory error"},
        {block.data(), kBlock, kBlock, "CWaveOut::Play: alloc data memory error"},
    };
    for (const auto& c : cases) {
        log.Clear();
        if (c.failSize)
            allocprobe::FailNext(c.failSize);
        EXPECT_EQ(w.Play(c.data, c.length), 0) << c.text;
        EXPECT_EQ(log.All(), std::vector<std::string>{c.text});
        EXPECT_EQ(w.QueuedCount(), 0);
        EXPECT_TRUE(allocprobe::Live().empty()) << c.text;
    }
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.StopThread(), 1);
}

TEST_F(WaveOut, StepsOutOfOrderFailWithTheirTextAndChangeNothing)
{
    CWaveOut w;
    auto check = [&](const std::function<int()>& call, const char* text) {
        log.Clear();
        auto before = State(w);
        EXPECT_EQ(call(), 0) << text;
        EXPECT_EQ(State(w), before) << text;
        EXPECT_EQ(log.All(), std::vector<std::string>{text});
    };
    check([&] { return w.Play(block.data(), kBlock); }, "CWaveOut::Play: Device hasn't been open");
    check([&] { return w.CloseDev(); }, "CWaveOut::CloseDev: Device hasn't opened");
    check([&] { return w.StopThread(); }, "CWaveOut::StopThread: Wave out thread hasn't run");
    OpenPlayback(w, log);
    check([&] { return w.StartThread(); }, "CWaveOut::StartThread: Wave out thread has run");
    check([&] { return w.OpenDev(); }, "CWaveOut::OpenDev: Device has open");
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.StopThread(), 1);
}

TEST_F(WaveOut, StopThreadAfterAFailedCloseStillEndsTheThread)
{
    CWaveOut w;
    OpenPlayback(w, log);
    HWAVEOUT real = w.m_hWaveOut;
    w.m_hWaveOut = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(0x7ff1));
    DWORD relay = w.m_dwThreadId;
    log.Clear();
    EXPECT_EQ(w.CloseDev(), 0);
    EXPECT_EQ(w.m_bDevOpen, 1);  // a failed close keeps the device

    ASSERT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));
    EXPECT_EQ(log.From(GetCurrentThreadId()),
              (std::vector<std::string>{"CWaveOut::CloseDev: waveOutReset error", kStopOk}));
    EXPECT_EQ(log.From(relay), std::vector<std::string>{kRelayExit});

    w.m_hWaveOut = real;
    EXPECT_EQ(w.CloseDev(), 1);
}

TEST(WaveOutNoDevice, OpenFailsAndTheThreadStillStopsCleanly)
{
    if (!NoDeviceRun())
        GTEST_SKIP() << "runs without a sound device only";
    LogRecorder log;
    CWaveOut w;
    ASSERT_EQ(w.StartThread(), 1);
    DWORD relay = w.m_dwThreadId;
    EXPECT_EQ(w.OpenDev(), 0);
    EXPECT_EQ(w.m_mmResult, static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    short sample[2] = {};
    EXPECT_EQ(w.Play(sample, sizeof sample), 0);
    EXPECT_EQ(w.CloseDev(), 0);
    EXPECT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(
        log.From(GetCurrentThreadId()),
        (std::vector<std::string>{
            "CWaveOut::OpenDev: waveOutOpen error step1", "CWaveOut::Play: Device hasn't been open",
            "CWaveOut::CloseDev: Device hasn't opened", ChineseStopLine(w, 1, 0), kStopOk}));
    EXPECT_EQ(log.From(relay), (std::vector<std::string>{kRelayStart, kRelayExit}));
}

}  // namespace
