// Wave capture: records the default wave-in device as 8 kHz 16-bit mono PCM and hands it to
// OnWaveData 960 bytes (60 ms) at a time, on the thread that started capture, through a hidden
// window. A relay thread of the class's own receives the driver's notifications.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct MessageWindowClass;

class CWaveIn {
public:
    static constexpr int kBufferCount = 10;
    static constexpr int kBlockBytes = 960;

    CWaveIn();
    // Called with a private copy of each captured block (kBlockBytes bytes). The result is unused.
    virtual int OnWaveData(short* pData, int nLength);
    // Releases what a start left behind if the object is destroyed without a stop.
    virtual ~CWaveIn();

    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // The individual steps; each returns 1 on success, 0 on failure (logged).
    int StartThread();
    int OpenDev();
    int PerPareBuffer();
    int OpenRecord();
    int CloseRecord();
    int StopThread();
    int CloseDev();
    int FreeBuffer();

    // The start sequence: all four steps, or none of them (the completed ones are undone).
    int StartCapture();
    // The stop sequence: CloseRecord, StopThread, FreeBuffer. Returns 1 if every step succeeded.
    int StopCapture();

    int m_nChannels;
    int m_nSamplesPerSec;
    int m_nBitsPerSample;
    HWAVEIN m_hWaveIn;
    MMRESULT m_mmResult;
    DWORD m_dwThreadId;
    HANDLE m_hThread;
    WAVEHDR* m_pHdr;
    int m_bThreadRun;
    int m_bDevOpen;
    int m_bBufferAlloc;
    int m_bRecording;
    HWND m_hWnd;
    int m_nQueued;
    unsigned char m_bStopping : 1;

private:
    static MessageWindowClass s_wndClass;  // the hidden windows' class, shared by all objects
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static unsigned __stdcall AudioInThreadProc(void* pParam);
    void OnBlock(HWAVEIN hDevice, WAVEHDR* pHdr);
    bool OwnsHeader(const WAVEHDR* pHdr) const;
    void Requeue(WAVEHDR* pHdr);
    bool StopStep(int nIdleSteps);
    bool ReturnQueuedHeaders();
    void FreeHeaders();
};
