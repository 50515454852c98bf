// Repeated start-stop cycles of capture and playback leave no thread, window, handle or
// buffer behind.
#include <gtest/gtest.h>

#include "alloc_probe.h"
#include "audio_support.h"
#include "voice/wavein.h"
#include "voice/waveout.h"

namespace {

void CaptureCycle()
{
    CWaveIn w;
    ASSERT_EQ(w.StartCapture(), 1);
    ASSERT_EQ(w.CloseRecord(), 1);
    // Dispatch the returned buffers the way the owner's message loop would before the stop.
    ASSERT_TRUE(PumpUntil([&] { return w.m_nQueued == 0; }, 10000));
    ASSERT_EQ(w.StopThread(), 1);
    ASSERT_EQ(w.FreeBuffer(), 1);
}

void PlaybackCycle()
{
    CWaveOut w;
    ASSERT_EQ(w.StartThread(), 1);
    ASSERT_EQ(w.OpenDev(), 1);
    std::vector<short> block = Sine(440, 4000, 480);
    ASSERT_EQ(w.Play(block.data(), 960), 1);
    ASSERT_EQ(w.CloseDev(), 1);
    ASSERT_EQ(w.StopThread(), 1);
}

TEST(WaveDeviceCycles, TwentyStartStopCyclesLeaveNothingBehind)
{
    if (NoDeviceRun())
        GTEST_SKIP() << "needs a sound device";
    // The first cycle brings up the sound driver's own threads and handles, which stay.
    CaptureCycle();
    PlaybackCycle();
    PumpFor(200);
    ProcessCounts before = CountProcessObjects();

    for (int i = 0; i < 20; ++i) {
        CaptureCycle();
        PlaybackCycle();
        if (HasFatalFailure())
            return;
    }
    PumpFor(200);
    ProcessCounts after = CountProcessObjects();
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.windows, before.windows);
    for (const allocprobe::Block& b : allocprobe::Live())
        ADD_FAILURE() << "left allocated: " << b.size << " bytes";
}

TEST(WaveDeviceCycles, DestroyingRunningDevicesReleasesEverything)
{
    if (NoDeviceRun())
        GTEST_SKIP() << "needs a sound device";
    DWORD inRelay, outRelay;
    HWND inWnd, outWnd;
    {
        CWaveIn in;
        ASSERT_EQ(in.StartCapture(), 1);
        CWaveOut out;
        ASSERT_EQ(out.StartThread(), 1);
        ASSERT_EQ(out.OpenDev(), 1);
        std::vector<short> block = Sine(440, 4000, 480);
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(out.Play(block.data(), 960), 1);
        inRelay = in.m_dwThreadId;
        outRelay = out.m_dwThreadId;
        inWnd = in.m_hWnd;
        outWnd = out.m_hWnd;
    }
    EXPECT_TRUE(ThreadGone(inRelay));
    EXPECT_TRUE(ThreadGone(outRelay));
    EXPECT_FALSE(IsWindow(inWnd));
    EXPECT_FALSE(IsWindow(outWnd));
    EXPECT_TRUE(allocprobe::Live().empty());
    PumpFor(100);  // late messages find no object
}

}  // namespace
