// What the capture and playback devices share: the message-only window that receives finished
// blocks on the thread that started the device, the relay thread that forwards the driver's
// notifications to that window, and bounded ways of ending the relay thread.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>

#include "framework/msgonlywnd.h"
#include "voice/loghook.h"

// Stop waits give up after this many 100 ms steps in which nothing came back.
const int kGiveUpAfterIdleSteps = 50;

// Posted to a device's hidden window for each buffer the driver has finished with;
// wParam is the device handle, lParam the wave header.
const UINT WM_WAVE_BLOCK = 0x8150;

// A device's start: creates its message-only window on the calling thread (when that fails,
// unregisters the class and silently returns false), then starts its relay thread through the C
// runtime. When the thread cannot be started, logs pszThreadFailure, destroys the window and
// returns false.
bool StartRelay(MessageWindowClass& wndClass, void* pObject, unsigned(__stdcall* pfnProc)(void*),
                const char* pszThreadFailure, HWND* phWnd, HANDLE* phThread, DWORD* pdwThreadId);

// The notifications a relay thread handles and the lines it logs.
struct RelayMessages {
    UINT uOpen, uClose, uData;
    const char* pszStart;
    const char* pszOpen;
    const char* pszClose;
    const char* pszExit;
};

// The relay thread's loop: logs the open and close notifications, quits on close and forwards
// each data notification to *phTarget. Returns the quit message's code.
unsigned RunRelayLoop(const RelayMessages& msgs, HWND const volatile* phTarget);

// Waits (at most a second) until the relay thread has its message queue, so that no driver
// notification posted to it is lost. Returns at once for thread id 0.
void WaitForRelayQueue(DWORD dwThreadId);

// Posts the quit message to a relay thread, calling report(posted, error) after each post. While
// the post fails because the thread has no message queue yet and the thread has not ended within
// 100 ms, sleeps 100 ms and posts again (a few seconds at most).
void PostQuitToRelay(HANDLE hThread, DWORD dwThreadId,
                     const std::function<void(BOOL bPosted, DWORD dwError)>& report);

// Waits for a relay thread in steps of 100 ms, calling onTimeout(idleSteps) after each step that
// times out; onTimeout returns true when it made progress (dispatched a block). Once 2 s pass
// without progress the quit message is posted as a last resort; after 5 s without progress the
// wait gives up. Returns true when the thread has ended, false when the wait failed or gave up.
bool WaitRelayThread(HANDLE hThread, DWORD dwThreadId, const std::function<bool(int)>& onTimeout);

// Waits for the relay thread as WaitRelayThread does and logs pszEnded when it has ended; when the
// wait fails or gives up, terminates the thread and logs pszTerminated. Closes and clears the handle.
void EndRelay(HANDLE* phThread, DWORD dwThreadId, const std::function<bool(int)>& onTimeout,
              const char* pszEnded, const char* pszTerminated);

// Waits up to dwMs for hObject (none: just waits), serving the messages other threads send to
// this thread's windows meanwhile, so that a thread which sends to the client's thread (a log
// callback writing into the client's window, say) is never held up by the wait. Returns
// WAIT_OBJECT_0 when hObject is signalled, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitServingSent(HANDLE hObject, DWORD dwMs);

// A millisecond clock fine enough to time the playout by: GetTickCount moves in steps of 10-16 ms
// on Windows, as large as the jitter the playout measures; the performance counter does not.
uint32_t PlayoutClockMs();

// Takes at most one pending message of hWnd off the queue and dispatches it. True if there was one.
bool DispatchOneMessage(HWND hWnd);
// Dispatches every message of hWnd waiting in the queue, so that a stop wait never sleeps while
// returned blocks wait for it. True if there was one.
bool DispatchPendingMessages(HWND hWnd);

// The devices' PCM format from their three format fields.
WAVEFORMATEX PcmFormat(int nChannels, int nSamplesPerSec, int nBitsPerSample);

// Opens the wave mapper for fmt with callbacks to the relay thread (after waiting for its
// queue, so that the open notification is not lost). Asks first whether the format can be
// handled, logging pszQueryFailed if not, then opens, logging pszOpenFailed on failure. The
// result of the last call goes to *pResult; the handle to *phDevice only on success.
template <class Handle>
bool OpenWaveMapper(MMRESULT(WINAPI* pfnOpen)(Handle*, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR,
                                              DWORD),
                    const WAVEFORMATEX& fmt, DWORD dwThreadId, Handle* phDevice, MMRESULT* pResult,
                    const char* pszQueryFailed, const char* pszOpenFailed)
{
    WaitForRelayQueue(dwThreadId);
    *pResult = pfnOpen(NULL, WAVE_MAPPER, &fmt, 0, 0, WAVE_FORMAT_QUERY);
    if (*pResult != MMSYSERR_NOERROR) {
        VoiceLog(pszQueryFailed);
        return false;
    }
    Handle hDevice = NULL;
    *pResult = pfnOpen(&hDevice, WAVE_MAPPER, &fmt, dwThreadId, 0, CALLBACK_THREAD);
    if (*pResult != MMSYSERR_NOERROR) {
        VoiceLog(pszOpenFailed);
        return false;
    }
    *phDevice = hDevice;
    return true;
}

// Formats a handle for the "0x%x" fields of the log lines.
inline unsigned HandleBits(const void* h)
{
    return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(h));
}
