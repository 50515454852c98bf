#include "voice/wavein.h"

#include <cstring>
#include <new>

#include "voice/loghook.h"
#include "voice/wavedev.h"

namespace {

const RelayMessages kRelay = {MM_WIM_OPEN,
                              MM_WIM_CLOSE,
                              MM_WIM_DATA,
                              "AudioInThreadProc start",
                              "MM_WIM_OPEN",
                              "MM_WIM_CLOSE",
                              "AudioInThreadProc exit"};

// While stopping: after this many steps without a returned block, the headers were queued but
// never recorded into, so the device is reset to give them back.
const int kResetAfterIdleSteps = 5;
// Waiting for reset headers to come back through the relay thread: 100 polls of 20 ms.
const int kReturnPolls = 100;
const DWORD kReturnPollMs = 20;

}  // namespace

MessageWindowClass CWaveIn::s_wndClass = {"ZEB Wavein Dummy Window", CWaveIn::WndProc, false};

CWaveIn::CWaveIn()
    : m_nChannels(1), m_nSamplesPerSec(8000), m_nBitsPerSample(16), m_hWaveIn(NULL), m_mmResult(0),
      m_dwThreadId(0), m_hThread(NULL), m_pHdr(NULL), m_bThreadRun(0), m_bDevOpen(0),
      m_bBufferAlloc(0), m_bRecording(0), m_hWnd(NULL), m_nQueued(0), m_bStopping(0)
{
}

int CWaveIn::OnWaveData(short* pData, int nLength)
{
    return 1;
}

CWaveIn::~CWaveIn()
{
    if (m_bRecording)
        CloseRecord();
    if (m_bThreadRun)
        StopThread();
    if (m_bBufferAlloc)
        FreeBuffer();
    if (m_bDevOpen)
        CloseDev();
    DestroyMessageWindow(&m_hWnd);
}

int CWaveIn::StartThread()
{
    if (m_bThreadRun) {
        VoiceLog("CWaveIn::StartThread: Wave in thread has run.");
        return 0;
    }
    if (!StartRelay(s_wndClass, this, AudioInThreadProc,
                    "CWaveIn::StartThread: Start wave in thread fail.", &m_hWnd, &m_hThread,
                    &m_dwThreadId))
        return 0;
    m_bThreadRun = 1;
    // A former stop (the undo of a failed start, say) set the stopping flag; a new run requeues
    // its blocks again.
    m_bStopping = 0;
    return 1;
}

unsigned __stdcall CWaveIn::AudioInThreadProc(void* pParam)
{
    CWaveIn* self = static_cast<CWaveIn*>(pParam);
    return RunRelayLoop(kRelay, &self->m_hWnd);
}

LRESULT CALLBACK CWaveIn::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWaveIn* self = static_cast<CWaveIn*>(MessageWindowObject(hWnd));
    if (uMsg == WM_WAVE_BLOCK && self)
        self->OnBlock(reinterpret_cast<HWAVEIN>(wParam), reinterpret_cast<WAVEHDR*>(lParam));
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

bool CWaveIn::OwnsHeader(const WAVEHDR* pHdr) const
{
    return m_pHdr && pHdr >= m_pHdr && pHdr < m_pHdr + kBufferCount;
}

// A header the device has finished with: pass a full block on, then give the header back
// unless the device is stopping. Headers of a former buffer set are ignored.
void CWaveIn::OnBlock(HWAVEIN hDevice, WAVEHDR* pHdr)
{
    if (!OwnsHeader(pHdr))
        return;
    --m_nQueued;
    waveInUnprepareHeader(hDevice, pHdr, sizeof(WAVEHDR));
    if (!m_bRecording || pHdr->dwBytesRecorded != static_cast<DWORD>(kBlockBytes))
        return;
    short block[512];
    static_assert(sizeof block == 1024, "a block fits the private copy");
    memcpy(block, pHdr->lpData, kBlockBytes);
    OnWaveData(block, kBlockBytes);
    // OnWaveData may have stopped the device or freed the buffers.
    if (!m_bStopping && m_hWaveIn && OwnsHeader(pHdr))
        Requeue(pHdr);
}

void CWaveIn::Requeue(WAVEHDR* pHdr)
{
    if (waveInPrepareHeader(m_hWaveIn, pHdr, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        return;
    ++m_nQueued;
    if (waveInAddBuffer(m_hWaveIn, pHdr, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        --m_nQueued;
        waveInUnprepareHeader(m_hWaveIn, pHdr, sizeof(WAVEHDR));
    }
}

int CWaveIn::OpenDev()
{
    if (m_bDevOpen) {
        VoiceLog("CWaveIn::OpenDev: Device has open");
        return 0;
    }
    WAVEFORMATEX fmt = PcmFormat(m_nChannels, m_nSamplesPerSec, m_nBitsPerSample);
    if (!OpenWaveMapper(waveInOpen, fmt, m_dwThreadId, &m_hWaveIn, &m_mmResult,
                        "CWaveIn::OpenDev: waveInOpen error step1",
                        "CWaveIn::OpenDev: waveInOpen error step2"))
        return 0;
    m_bDevOpen = 1;
    return 1;
}

int CWaveIn::PerPareBuffer()
{
    if (m_bBufferAlloc) {
        VoiceLog("CWaveIn::PerPareBuffer: Buffer has been alloc");
        return 0;
    }
    m_mmResult = waveInReset(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR) {
        VoiceLog("CWaveIn::PerPareBuffer: waveInReset error");
        return 0;
    }
    m_pHdr = new (std::nothrow) WAVEHDR[kBufferCount]();
    if (!m_pHdr) {
        VoiceLog("CWaveIn::PerPareBuffer: alloc memory error");
        return 0;
    }
    for (int i = 0; i < kBufferCount; ++i) {
        WAVEHDR& hdr = m_pHdr[i];
        ZeroMemory(&hdr, sizeof hdr);
        const char* pszFailure = NULL;
        hdr.lpData = new (std::nothrow) char[kBlockBytes];
        hdr.dwBufferLength = kBlockBytes;
        if (!hdr.lpData) {
            pszFailure = "CWaveIn::PerPareBuffer: alloc memory error";
        } else if ((m_mmResult = waveInPrepareHeader(m_hWaveIn, &hdr, sizeof hdr)) !=
                   MMSYSERR_NOERROR) {
            pszFailure = "CWaveIn::PerPareBuffer: waveInPrepareHeader error";
        } else if ((m_mmResult = waveInAddBuffer(m_hWaveIn, &hdr, sizeof hdr)) !=
                   MMSYSERR_NOERROR) {
            pszFailure = "CWaveIn::PerPareBuffer: waveInAddBuffer error";
            waveInUnprepareHeader(m_hWaveIn, &hdr, sizeof hdr);
        }
        if (pszFailure) {
            VoiceLog(pszFailure);
            delete[] hdr.lpData;
            hdr.lpData = NULL;
            // Take back the headers queued so far and release everything allocated here.
            if (ReturnQueuedHeaders())
                FreeHeaders();
            return 0;
        }
        ++m_nQueued;
    }
    m_bBufferAlloc = 1;
    return 1;
}

int CWaveIn::OpenRecord()
{
    if (m_bRecording) {
        VoiceLog("CWaveIn::OpenRecord: You may be has begun recored");
        return 0;
    }
    if (!m_hWaveIn) {
        VoiceLog("CWaveIn::CloseDev: Device hasn't opened");
        return 0;
    }
    m_mmResult = waveInStart(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR) {
        VoiceLog("CWaveIn::OpenRecord: waveInStart error");
        return 0;
    }
    m_bRecording = 1;
    return 1;
}

int CWaveIn::CloseRecord()
{
    if (!m_bRecording) {
        VoiceLog("CWaveIn::CloseRecord: You may be hasn't begun recored");
        return 0;
    }
    if (!m_hWaveIn) {
        VoiceLog("CWaveIn::CloseRecord: Device hasn't opened");
        return 0;
    }
    m_mmResult = waveInReset(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR) {
        VoiceLog("CWaveIn::CloseRecord: waveInReset error");
        return 0;
    }
    m_bRecording = 0;
    return 1;
}

int CWaveIn::CloseDev()
{
    if (!m_bDevOpen || !m_hWaveIn) {
        VoiceLog("CWaveIn::CloseDev: Device hasn't opened");
        return 0;
    }
    m_mmResult = waveInClose(m_hWaveIn);
    if (m_mmResult != MMSYSERR_NOERROR) {
        char text[256] = "";
        waveInGetErrorTextA(m_mmResult, text, sizeof text);
        VoiceLogFormat("CWaveIn::CloseDev: waveInClose error %s.\n", text);
    }
    m_hWaveIn = NULL;
    m_bDevOpen = 0;
    return m_mmResult == MMSYSERR_NOERROR ? 1 : 0;
}

int CWaveIn::StopThread()
{
    if (!m_bThreadRun) {
        VoiceLog("CWaveIn::StopThread: Wave in thread hasn't run");
        return 0;
    }
    m_bStopping = 1;
    if (!m_hWaveIn && m_hThread) {
        // No device, so no close notification will end the thread.
        PostQuitToRelay(m_hThread, m_dwThreadId, [this](BOOL bPosted, DWORD dwError) {
            VoiceLogFormat("CWaveIn::StopThread: 没有成功初始化声卡(%d 0x%x %lu %d 0x%x)",
                           m_nQueued, HandleBits(m_hWaveIn), m_dwThreadId, bPosted,
                           (unsigned)dwError);
        });
    }
    if (m_hThread) {
        EndRelay(
            &m_hThread, m_dwThreadId, [this](int idle) { return StopStep(idle); },
            "CWaveIn::StopThread: ok", "CWaveIn::StopThread: TerminateThread wave in thread");
    }
    DestroyMessageWindow(&m_hWnd);
    m_bThreadRun = 0;
    return 1;
}

// One timed-out step of the stop wait: dispatch the returned blocks; once none is queued close
// the device, whose close notification ends the thread. Returns true if a block was dispatched.
bool CWaveIn::StopStep(int nIdleSteps)
{
    bool bDispatched = DispatchPendingMessages(m_hWnd);
    if (m_hWaveIn && m_nQueued == 0) {
        // A failed close forgets the handle and sends no close notification: end the thread here.
        if (!CloseDev())
            PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
    } else if (m_hWaveIn && nIdleSteps == kResetAfterIdleSteps) {
        waveInReset(m_hWaveIn);
    }
    return bDispatched;
}

int CWaveIn::FreeBuffer()
{
    if (!m_bBufferAlloc) {
        VoiceLog("CWaveIn::FreeBuffer: Buffer hasn't been alloc.");
        return 0;
    }
    if (!m_pHdr) {
        VoiceLog("CWaveIn::FreeBuffer: m_pHdr is NULL");
        return 0;
    }
    // Headers still in the device (recording never started) must come back before their memory goes.
    if (!ReturnQueuedHeaders()) {
        VoiceLog("CWaveIn::FreeBuffer: buffers still queued");
        return 0;
    }
    FreeHeaders();
    m_bBufferAlloc = 0;
    return 1;
}

// Resets the device and dispatches the headers it gives back. True once none is queued.
bool CWaveIn::ReturnQueuedHeaders()
{
    if (m_nQueued == 0)
        return true;
    if (!m_hWaveIn || !m_hWnd)
        return false;
    waveInReset(m_hWaveIn);
    for (int polls = 0; m_nQueued > 0 && polls < kReturnPolls;) {
        if (DispatchOneMessage(m_hWnd)) {
            polls = 0;
        } else {
            WaitServingSent(NULL, kReturnPollMs);
            ++polls;
        }
    }
    return m_nQueued == 0;
}

void CWaveIn::FreeHeaders()
{
    if (!m_pHdr)
        return;
    for (int i = 0; i < kBufferCount; ++i)
        delete[] m_pHdr[i].lpData;
    delete[] m_pHdr;
    m_pHdr = NULL;
}

int CWaveIn::StartCapture()
{
    if (!StartThread())
        return 0;
    if (!OpenDev()) {
        StopThread();
        return 0;
    }
    if (!PerPareBuffer()) {
        CloseDev();
        StopThread();
        return 0;
    }
    if (!OpenRecord()) {
        FreeBuffer();
        CloseDev();
        StopThread();
        return 0;
    }
    return 1;
}

int CWaveIn::StopCapture()
{
    int bRecordClosed = CloseRecord();
    int bThreadStopped = StopThread();
    int bFreed = FreeBuffer();
    return bRecordClosed && bThreadStopped && bFreed;
}
