#include "voice/waveout.h"

#include <cstring>
#include <new>
#include <utility>

#include "voice/loghook.h"
#include "voice/wavedev.h"

namespace {

const RelayMessages kRelay = {MM_WOM_OPEN,
                              MM_WOM_CLOSE,
                              MM_WOM_DONE,
                              "AudioOutThreadProc start.",
                              "MM_WOM_OPEN",
                              "MM_WOM_CLOSE",
                              "AudioOutThreadProc exit"};

// The tick of the clock hook, a timer of the hidden window.
const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 10;

}  // namespace

MessageWindowClass CWaveOut::s_wndClass = {"ZEB Waveout Dummy Window", CWaveOut::WndProc, false};

CWaveOut::CWaveOut()
    : m_nChannels(1), m_nSamplesPerSec(8000), m_nBitsPerSample(16), m_mmResult(0), m_hWaveOut(NULL),
      m_hThread(NULL), m_dwThreadId(0), m_nQueued(0), m_bThreadRun(0), m_bDevOpen(0), m_hWnd(NULL)
{
}

CWaveOut::~CWaveOut()
{
    if (m_bDevOpen)
        CloseDev();
    if (m_bThreadRun)
        StopThread();
    DestroyMessageWindow(&m_hWnd);
}

int CWaveOut::QueuedCount()
{
    CScopedLock lock(m_csQueue);
    return m_nQueued;
}

int CWaveOut::StartThread()
{
    if (m_bThreadRun) {
        VoiceLog("CWaveOut::StartThread: Wave out thread has run");
        return 0;
    }
    if (!StartRelay(s_wndClass, this, AudioOutThreadProc,
                    "CWaveOut::StartThread: Strat wave out thread fail", &m_hWnd, &m_hThread,
                    &m_dwThreadId))
        return 0;
    m_bThreadRun = 1;
    return 1;
}

unsigned __stdcall CWaveOut::AudioOutThreadProc(void* pParam)
{
    CWaveOut* self = static_cast<CWaveOut*>(pParam);
    return RunRelayLoop(kRelay, &self->m_hWnd);
}

LRESULT CALLBACK CWaveOut::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CWaveOut* self = static_cast<CWaveOut*>(MessageWindowObject(hWnd));
    if (uMsg == WM_WAVE_BLOCK && self && lParam)
        self->OnBlock(reinterpret_cast<HWAVEOUT>(wParam), reinterpret_cast<WAVEHDR*>(lParam));
    if (uMsg == WM_TIMER && wParam == kTickTimer && self && self->m_clockHook)
        self->OnTick();
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void CWaveOut::OnBlock(HWAVEOUT hDevice, WAVEHDR* pHdr)
{
    waveOutUnprepareHeader(hDevice, pHdr, sizeof(WAVEHDR));
    {
        CScopedLock lock(m_csQueue);
        --m_nQueued;
    }
    FreeBlock(pHdr);
    if (m_clockHook)
        m_clockHook(true);
}

// Only Wine's wave-out is known to keep part of what it is given while starting out of sight; on
// Windows the reset would drop a block or two for nothing, so it is never made there.
bool CWaveOut::StartupHidesAudio()
{
    static const bool bWine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return bWine;
}

// The blocks a reset gives back come as completions, so the hook hears of them as of any other.
void CWaveOut::OnTick()
{
    if (m_bDevOpen && StartupHidesAudio() && m_startup.ResetDue(GetTickCount())) {
        const int nQueued = QueuedCount();
        m_mmResult = waveOutReset(m_hWaveOut);
        VoiceLogFormat(
            "CWaveOut::OnTick: written while starting, reset once (%d blocks queued, "
            "result %u)",
            nQueued, static_cast<unsigned>(m_mmResult));
    }
    m_clockHook(false);
}

void CWaveOut::SetClockHook(ClockHook hook)
{
    m_clockHook = std::move(hook);
    if (!m_hWnd)
        return;
    if (m_clockHook)
        SetTimer(m_hWnd, kTickTimer, kTickMs, NULL);
    else
        KillTimer(m_hWnd, kTickTimer);
}

void CWaveOut::FreeBlock(WAVEHDR* pHdr)
{
    delete[] pHdr->lpData;
    delete pHdr;
}

int CWaveOut::OpenDev()
{
    if (m_bDevOpen) {
        VoiceLog("CWaveOut::OpenDev: Device has open");
        return 0;
    }
    WAVEFORMATEX fmt = PcmFormat(m_nChannels, m_nSamplesPerSec, m_nBitsPerSample);
    if (!OpenWaveMapper(waveOutOpen, fmt, m_dwThreadId, &m_hWaveOut, &m_mmResult,
                        "CWaveOut::OpenDev: waveOutOpen error step1",
                        "CWaveOut::OpenDev: waveOutOpen error step2"))
        return 0;
    m_bDevOpen = 1;
    m_trim = CBacklogTrim();
    m_startup.Opened(GetTickCount());
    CScopedLock lock(m_csQueue);
    m_nQueued = 0;
    return 1;
}

int CWaveOut::Play(const void* pData, int nLength)
{
    if (!m_bDevOpen) {
        VoiceLog("CWaveOut::Play: Device hasn't been open");
        return 0;
    }
    if (!pData || nLength <= 0) {
        VoiceLogFormat("CWaveOut::Play: invalid block (%d bytes)", nLength);
        return 0;
    }
    const int nQueued = QueuedCount();
    if (!m_clockHook && TrimBacklog(nQueued, pData, nLength))
        return 1;
    if (nQueued > kMaxQueuedBeforeDrop)
        return 1;
    WAVEHDR* pHdr = new (std::nothrow) WAVEHDR;
    if (!pHdr) {
        VoiceLog("CWaveOut::Play: alloc WAVEHDR memory error");
        return 0;
    }
    char* pBuffer = new (std::nothrow) char[nLength];
    if (!pBuffer) {
        delete pHdr;
        VoiceLog("CWaveOut::Play: alloc data memory error");
        return 0;
    }
    memcpy(pBuffer, pData, nLength);
    ZeroMemory(pHdr, sizeof(WAVEHDR));
    pHdr->lpData = pBuffer;
    pHdr->dwBufferLength = static_cast<DWORD>(nLength);
    m_mmResult = waveOutPrepareHeader(m_hWaveOut, pHdr, sizeof(WAVEHDR));
    if (m_mmResult != MMSYSERR_NOERROR) {
        FreeBlock(pHdr);
        VoiceLog("CWaveOut::CloseDev: waveOutPrepareHeader error");
        return 0;
    }
    m_mmResult = waveOutWrite(m_hWaveOut, pHdr, sizeof(WAVEHDR));
    if (m_mmResult != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(m_hWaveOut, pHdr, sizeof(WAVEHDR));
        FreeBlock(pHdr);
        VoiceLog("CWaveOut::CloseDev: waveOutWrite error");
        return 0;
    }
    m_startup.Written(GetTickCount());
    CScopedLock lock(m_csQueue);
    ++m_nQueued;
    return 1;
}

// A standing backlog is trimmed by leaving out quiet blocks (see CBacklogTrim); each one left out
// is logged.
bool CWaveOut::TrimBacklog(int nQueued, const void* pData, int nLength)
{
    const int nSamples = nLength / static_cast<int>(sizeof(int16_t));
    const uint64_t energy = BlockEnergy(static_cast<const int16_t*>(pData), nSamples);
    if (!m_trim.Drop(nQueued, GetTickCount(), energy))
        return false;
    VoiceLogFormat("CWaveOut::Play: backlog of %d blocks, a quiet block dropped (mean square %llu)",
                   nQueued, static_cast<unsigned long long>(nSamples ? energy / nSamples : 0));
    return true;
}

int CWaveOut::CloseDev()
{
    if (!m_bDevOpen || !m_hWaveOut) {
        VoiceLog("CWaveOut::CloseDev: Device hasn't opened");
        return 0;
    }
    m_mmResult = waveOutReset(m_hWaveOut);
    if (m_mmResult != MMSYSERR_NOERROR) {
        VoiceLog("CWaveOut::CloseDev: waveOutReset error");
        return 0;
    }
    DrainReturnedBlocks();
    m_mmResult = waveOutClose(m_hWaveOut);
    if (m_mmResult != MMSYSERR_NOERROR) {
        VoiceLog("CWaveOut::CloseDev: waveOutClose error");
        return 0;
    }
    m_hWaveOut = NULL;
    m_bDevOpen = 0;
    return 1;
}

// Dispatches the returned blocks after each 100 ms wait until none is queued. Stops early when
// the relay thread has ended (nothing more can come back) or nothing has come back for a few
// seconds.
void CWaveOut::DrainReturnedBlocks()
{
    int idle = 0;
    int nQueued;
    do {
        if (WaitServingSent(m_hThread, 100) != WAIT_TIMEOUT)
            break;
        idle = DispatchPendingMessages(m_hWnd) ? 0 : idle + 1;
        nQueued = QueuedCount();
    } while (nQueued != 0 && idle < kGiveUpAfterIdleSteps);
}

int CWaveOut::StopThread()
{
    if (!m_bThreadRun) {
        VoiceLog("CWaveOut::StopThread: Wave out thread hasn't run");
        return 0;
    }
    if (!m_hWaveOut && m_hThread) {
        PostQuitToRelay(m_hThread, m_dwThreadId, [this](BOOL bPosted, DWORD dwError) {
            VoiceLogFormat("CWaveOut::StopThread: 没有成功初始化声卡(0x%x %lu %d 0x%x)",
                           HandleBits(m_hWaveOut), m_dwThreadId, bPosted, (unsigned)dwError);
        });
    }
    if (m_hThread) {
        EndRelay(
            &m_hThread, m_dwThreadId,
            [this](int) {
                SendMessageA(m_hWnd, WM_NULL, 0, 0);
                return false;
            },
            "CWaveOut::StopThread ok", "CWaveOut::StopThread: TerminateThread wave in thread");
    }
    DestroyMessageWindow(&m_hWnd);
    m_bThreadRun = 0;
    return 1;
}
