// Wave capture on the real default wave-in device (PulseAudio's "mic" monitor under Wine):
// blocks, stop sequence, log lines, misuse of every guarded step, and failure paths.
#include "voice/wavein.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "alloc_probe.h"
#include "audio_support.h"
#include "voice/wavedev.h"

namespace {

const std::string kRelayStart = "AudioInThreadProc start";
const std::string kRelayExit = "AudioInThreadProc exit";
const std::string kStopOk = "CWaveIn::StopThread: ok";

// Records what each OnWaveData call received.
class RecordingWaveIn : public CWaveIn {
public:
    struct Call {
        DWORD dwThreadId;
        const short* pData;
        int nLength;
    };
    std::vector<Call> calls;

    int OnWaveData(short* pData, int nLength) override
    {
        calls.push_back({GetCurrentThreadId(), pData, nLength});
        return 1;
    }
};

auto State(const CWaveIn& w)
{
    return std::make_tuple(w.m_hWaveIn, w.m_dwThreadId, w.m_hThread, w.m_pHdr, w.m_bThreadRun,
                           w.m_bDevOpen, w.m_bBufferAlloc, w.m_bRecording, w.m_hWnd, w.m_nQueued,
                           static_cast<int>(w.m_bStopping));
}

std::string ChineseStopLine(const CWaveIn& w, int posted, unsigned error)
{
    char line[200];
    snprintf(line, sizeof line, "CWaveIn::StopThread: 没有成功初始化声卡(%d 0x0 %lu %d 0x%x)",
             w.m_nQueued, w.m_dwThreadId, posted, error);
    return line;
}

// A guarded step called when its precondition does not hold, with the one line it must log.
struct RefusedStep {
    int (CWaveIn::*step)();
    const char* text;
};

// Each step fails, logs exactly its text and leaves the device's state as it was.
void ExpectStepsRefused(CWaveIn& w, LogRecorder& log, const std::vector<RefusedStep>& steps)
{
    for (const RefusedStep& r : steps) {
        log.Clear();
        auto before = State(w);
        EXPECT_EQ((w.*r.step)(), 0) << r.text;
        EXPECT_EQ(State(w), before) << r.text;
        EXPECT_EQ(log.All(), std::vector<std::string>{r.text});
    }
}

// Starts the relay thread and waits until it has its message queue.
void StartRelay(CWaveIn& w)
{
    ASSERT_EQ(w.StartThread(), 1);
    WaitForRelayQueue(w.m_dwThreadId);
}

// The start sequence, waiting until the relay thread has reported the open notification.
void StartRecording(CWaveIn& w, const LogRecorder& log)
{
    StartRelay(w);
    ASSERT_EQ(w.OpenDev(), 1);
    ASSERT_TRUE(log.WaitFor("MM_WIM_OPEN", 10000));
    ASSERT_EQ(w.PerPareBuffer(), 1);
    ASSERT_EQ(w.OpenRecord(), 1);
}

class WaveIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (NoDeviceRun())
            GTEST_SKIP() << "needs a sound device";
    }
    void TearDown() override { allocprobe::Disarm(); }
    LogRecorder log;
};

TEST_F(WaveIn, DeliversPrivateCopiesOfFullBlocksOnTheStartingThreadAndStopsClean)
{
    RecordingWaveIn w;
    StartRecording(w, log);
    EXPECT_EQ(w.m_nQueued, CWaveIn::kBufferCount);
    ASSERT_TRUE(PumpUntil([&] { return w.calls.size() >= 4; }, 10000));

    for (const auto& c : w.calls) {
        EXPECT_EQ(c.dwThreadId, GetCurrentThreadId());
        EXPECT_EQ(c.nLength, CWaveIn::kBlockBytes);
        for (int i = 0; i < CWaveIn::kBufferCount; ++i)
            EXPECT_NE(reinterpret_cast<const char*>(c.pData), w.m_pHdr[i].lpData);
    }
    DWORD relay = w.m_dwThreadId;
    HWND hWnd = w.m_hWnd;
    ASSERT_EQ(w.StopCapture(), 1);

    EXPECT_EQ(w.m_nQueued, 0);
    EXPECT_EQ(w.m_pHdr, nullptr);
    EXPECT_EQ(w.m_hThread, nullptr);
    EXPECT_EQ(w.m_hWaveIn, nullptr);
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_TRUE(ThreadGone(relay));
    EXPECT_TRUE(allocprobe::Live().empty());
    EXPECT_EQ(log.From(relay),
              (std::vector<std::string>{kRelayStart, "MM_WIM_OPEN", "MM_WIM_CLOSE", kRelayExit}));
    EXPECT_EQ(log.From(GetCurrentThreadId()), std::vector<std::string>{kStopOk});
}

TEST_F(WaveIn, RepeatedStepsOfARunningDeviceFailWithTheirTextAndChangeNothing)
{
    RecordingWaveIn w;
    StartRecording(w, log);
    ExpectStepsRefused(
        w, log,
        {
            {&CWaveIn::StartThread, "CWaveIn::StartThread: Wave in thread has run."},
            {&CWaveIn::OpenDev, "CWaveIn::OpenDev: Device has open"},
            {&CWaveIn::PerPareBuffer, "CWaveIn::PerPareBuffer: Buffer has been alloc"},
            {&CWaveIn::OpenRecord, "CWaveIn::OpenRecord: You may be has begun recored"},
        });
    // Recording goes on.
    size_t seen = w.calls.size();
    EXPECT_TRUE(PumpUntil([&] { return w.calls.size() >= seen + 2; }, 10000));
    EXPECT_EQ(w.StopCapture(), 1);
}

TEST_F(WaveIn, StepsOutOfOrderFailWithTheirTextAndChangeNothing)
{
    RecordingWaveIn w;
    ExpectStepsRefused(
        w, log,
        {
            {&CWaveIn::FreeBuffer, "CWaveIn::FreeBuffer: Buffer hasn't been alloc."},
            {&CWaveIn::OpenRecord, "CWaveIn::CloseDev: Device hasn't opened"},
            {&CWaveIn::CloseRecord, "CWaveIn::CloseRecord: You may be hasn't begun recored"},
            {&CWaveIn::CloseDev, "CWaveIn::CloseDev: Device hasn't opened"},
            {&CWaveIn::StopThread, "CWaveIn::StopThread: Wave in thread hasn't run"},
            {&CWaveIn::PerPareBuffer, "CWaveIn::PerPareBuffer: waveInReset error"},
        });
    EXPECT_NE(w.m_mmResult, 0u);  // the failed reset of the missing device
    EXPECT_TRUE(allocprobe::Live().empty());
}

TEST_F(WaveIn, StopThreadWithoutADevicePostsQuitAndEndsTheThread)
{
    RecordingWaveIn w;
    StartRelay(w);
    DWORD relay = w.m_dwThreadId;
    ASSERT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));
    EXPECT_EQ(w.m_bThreadRun, 0);
    EXPECT_EQ(log.From(GetCurrentThreadId()),
              (std::vector<std::string>{ChineseStopLine(w, 1, 0), kStopOk}));
    EXPECT_EQ(log.From(relay), (std::vector<std::string>{kRelayStart, kRelayExit}));
}

TEST_F(WaveIn, StopThreadBeforeTheRelayHasAQueueRepostsTheQuit)
{
    RecordingWaveIn w;
    log.StallOn(kRelayStart, 350);  // holds the relay thread before its message loop
    ASSERT_EQ(w.StartThread(), 1);
    DWORD relay = w.m_dwThreadId;
    ASSERT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));

    std::vector<std::string> main = log.From(GetCurrentThreadId());
    ASSERT_GE(main.size(), 3u);
    for (size_t i = 0; i + 2 < main.size(); ++i)
        EXPECT_EQ(main[i], ChineseStopLine(w, 0, ERROR_INVALID_THREAD_ID)) << i;
    EXPECT_EQ(main[main.size() - 2], ChineseStopLine(w, 1, 0));
    EXPECT_EQ(main.back(), kStopOk);
}

TEST_F(WaveIn, StopWhileRecordingPassesFullBlocksOnButNeverRequeues)
{
    RecordingWaveIn w;
    StartRecording(w, log);
    ASSERT_TRUE(PumpUntil([&] { return !w.calls.empty(); }, 10000));
    size_t before = w.calls.size();
    ASSERT_EQ(w.StopThread(), 1);  // no CloseRecord first
    EXPECT_EQ(w.m_nQueued, 0);
    EXPECT_LE(w.calls.size() - before, static_cast<size_t>(CWaveIn::kBufferCount));
    EXPECT_EQ(w.CloseRecord(), 0);  // the device is gone
    EXPECT_EQ(w.FreeBuffer(), 1);
    EXPECT_TRUE(allocprobe::Live().empty());
}

TEST_F(WaveIn, PartWayBufferFailureReleasesWhatWasQueuedAndAllocated)
{
    RecordingWaveIn w;
    StartRelay(w);
    ASSERT_EQ(w.OpenDev(), 1);
    allocprobe::FailNext(CWaveIn::kBlockBytes, 4);  // the fifth block buffer
    EXPECT_EQ(w.PerPareBuffer(), 0);
    EXPECT_EQ(log.From(GetCurrentThreadId()),
              std::vector<std::string>{"CWaveIn::PerPareBuffer: alloc memory error"});
    EXPECT_EQ(w.m_nQueued, 0);
    EXPECT_EQ(w.m_pHdr, nullptr);
    EXPECT_EQ(w.m_bBufferAlloc, 0);
    EXPECT_TRUE(allocprobe::Live().empty());

    // The device holds nothing of the failed attempt: a new one works and the stop is clean.
    ASSERT_EQ(w.PerPareBuffer(), 1);
    ASSERT_EQ(w.OpenRecord(), 1);
    EXPECT_TRUE(PumpUntil([&] { return !w.calls.empty(); }, 10000));
    EXPECT_EQ(w.StopCapture(), 1);
    EXPECT_TRUE(allocprobe::Live().empty());
}

TEST_F(WaveIn, StartRetriedAfterAFailedStartKeepsRecording)
{
    // The engine's Init may be retried after the capture start failed; the undo of the failed
    // start stops the relay thread, and the retried start must still requeue every block.
    RecordingWaveIn w;
    allocprobe::FailNext(CWaveIn::kBlockBytes);
    ASSERT_EQ(w.StartCapture(), 0);
    ASSERT_EQ(w.StartCapture(), 1);
    // Ten buffers: more blocks than twice that means used buffers went back to the device.
    EXPECT_TRUE(PumpUntil([&] { return w.calls.size() > 2 * CWaveIn::kBufferCount; }, 20000))
        << w.calls.size() << " blocks";
    EXPECT_EQ(w.StopCapture(), 1);
    EXPECT_TRUE(allocprobe::Live().empty());
}

TEST_F(WaveIn, UndoingAStartThatNeverRecordedTakesTheBuffersBackBeforeFreeing)
{
    // The undo after a failed OpenRecord: the buffers are still queued in the device.
    RecordingWaveIn w;
    StartRelay(w);
    ASSERT_EQ(w.OpenDev(), 1);
    ASSERT_EQ(w.PerPareBuffer(), 1);
    EXPECT_EQ(w.FreeBuffer(), 1);
    EXPECT_EQ(w.m_nQueued, 0);
    EXPECT_TRUE(allocprobe::Live().empty());
    EXPECT_EQ(w.CloseDev(), 1);
    EXPECT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(w.calls.empty());
}

TEST_F(WaveIn, FailedCloseInsideStopStillEndsTheThread)
{
    RecordingWaveIn w;
    StartRecording(w, log);
    ASSERT_EQ(w.CloseRecord(), 1);
    ASSERT_TRUE(PumpUntil([&] { return w.m_nQueued == 0; }, 10000));
    HWAVEIN real = w.m_hWaveIn;
    w.m_hWaveIn = reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(0x7ff1));  // close will fail
    DWORD relay = w.m_dwThreadId;
    log.Clear();

    ASSERT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));
    char err[256] = "";
    waveInGetErrorTextA(MMSYSERR_INVALHANDLE, err, sizeof err);
    EXPECT_EQ(log.From(GetCurrentThreadId()),
              (std::vector<std::string>{
                  std::string("CWaveIn::CloseDev: waveInClose error ") + err + ".\n", kStopOk}));
    EXPECT_EQ(log.From(relay), std::vector<std::string>{kRelayExit});
    EXPECT_EQ(w.m_hWaveIn, nullptr);
    EXPECT_EQ(w.m_bDevOpen, 0);

    EXPECT_EQ(waveInClose(real), MMSYSERR_NOERROR);
    EXPECT_EQ(w.FreeBuffer(), 1);
}

TEST(WaveInNoDevice, OpenFailsAndTheThreadStillStopsCleanly)
{
    if (!NoDeviceRun())
        GTEST_SKIP() << "runs without a sound device only";
    LogRecorder log;
    RecordingWaveIn w;
    StartRelay(w);
    DWORD relay = w.m_dwThreadId;
    EXPECT_EQ(w.OpenDev(), 0);
    EXPECT_EQ(w.m_mmResult, static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(w.m_hWaveIn, nullptr);
    EXPECT_EQ(w.StopThread(), 1);
    EXPECT_TRUE(ThreadGone(relay));
    EXPECT_EQ(log.From(GetCurrentThreadId()),
              (std::vector<std::string>{"CWaveIn::OpenDev: waveInOpen error step1",
                                        ChineseStopLine(w, 1, 0), kStopOk}));

    // The whole start sequence undoes itself the same way.
    RecordingWaveIn again;
    EXPECT_EQ(again.StartCapture(), 0);
    EXPECT_EQ(again.m_bThreadRun, 0);
    EXPECT_EQ(again.m_hWnd, nullptr);
    EXPECT_TRUE(allocprobe::Live().empty());
}

}  // namespace
