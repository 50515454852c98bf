// Wave playback: plays 8 kHz 16-bit mono PCM blocks on the default wave-out device. Play copies
// each block into a fresh buffer and queues it at once (only a cap on the number of queued
// blocks, and a trim of quiet blocks while a backlog stands). Finished buffers come back through
// a relay thread of the class's own to a hidden window on the starting thread, which frees them.
// A clock hook, when set, hears of every block given back and of a 10 ms tick, so that a playout
// can feed the device on its own clock; it then keeps the backlog itself and Play trims nothing.
// With the hook set, on Wine, a device written while still starting is reset once as its start-up
// time ends (see CDeviceStartup), so that a call begun just after opening keeps no hidden delay.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct MessageWindowClass;

#include "framework/critsec.h"
#include "voice/backlog.h"
#include "voice/devicestart.h"

#include <functional>

class CWaveOut {
public:
    // Play drops a block while more than this many are queued: at most 11 are outstanding.
    static constexpr int kMaxQueuedBeforeDrop = 10;

    CWaveOut();
    // Releases what a start left behind if the object is destroyed without a stop.
    virtual ~CWaveOut();

    CWaveOut(const CWaveOut&) = delete;
    CWaveOut& operator=(const CWaveOut&) = delete;

    // Each returns 1 on success, 0 on failure (logged).
    int StartThread();
    int OpenDev();
    // Queues a copy of nLength bytes; 1 also when the block was dropped because the queue is full.
    int Play(const void* pData, int nLength);
    // Stops playback, waits until every queued block has come back, closes the device.
    int CloseDev();
    int StopThread();

    // m_nQueued, read under m_csQueue.
    int QueuedCount();

    // bBlockDone: true for a block given back, false for the tick. Called on the thread that
    // started playback; set after StartThread, cleared (nullptr) before CloseDev.
    using ClockHook = std::function<void(bool bBlockDone)>;
    void SetClockHook(ClockHook hook);

    int m_nChannels;
    int m_nSamplesPerSec;
    int m_nBitsPerSample;
    MMRESULT m_mmResult;
    HWAVEOUT m_hWaveOut;
    HANDLE m_hThread;
    DWORD m_dwThreadId;
    int m_nQueued;
    CCriticalSection m_csQueue;
    int m_bThreadRun;
    int m_bDevOpen;
    HWND m_hWnd;

private:
    static MessageWindowClass s_wndClass;  // the hidden windows' class, shared by all objects
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static unsigned __stdcall AudioOutThreadProc(void* pParam);
    void OnBlock(HWAVEOUT hDevice, WAVEHDR* pHdr);
    void OnTick();
    static bool StartupHidesAudio();
    bool TrimBacklog(int nQueued, const void* pData, int nLength);
    void DrainReturnedBlocks();
    static void FreeBlock(WAVEHDR* pHdr);

    CBacklogTrim m_trim;       // used by Play only, so on the playing thread
    CDeviceStartup m_startup;  // on the playing thread too: Play and the tick
    ClockHook m_clockHook;
};
