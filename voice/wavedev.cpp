#include "voice/wavedev.h"

#include <process.h>

#include "voice/loghook.h"

namespace {

const DWORD kStepMs = 100;
const int kQuitAfterIdleSteps = 20;  // 2 s without progress: the close notification is not coming
const int kMaxQuitPosts = 50;

}  // namespace

bool StartRelay(MessageWindowClass& wndClass, void* pObject, unsigned(__stdcall* pfnProc)(void*),
                const char* pszThreadFailure, HWND* phWnd, HANDLE* phThread, DWORD* pdwThreadId)
{
    *phWnd = CreateMessageWindow(wndClass, pObject);
    if (!*phWnd) {
        UnregisterMessageWindowClass(wndClass);
        return false;
    }
    unsigned id = 0;
    uintptr_t h = _beginthreadex(NULL, 0, pfnProc, pObject, 0, &id);
    if (!h) {
        VoiceLog(pszThreadFailure);
        DestroyMessageWindow(phWnd);
        return false;
    }
    *phThread = reinterpret_cast<HANDLE>(h);
    *pdwThreadId = id;
    return true;
}

unsigned RunRelayLoop(const RelayMessages& msgs, HWND const volatile* phTarget)
{
    VoiceLog(msgs.pszStart);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == msgs.uOpen) {
            VoiceLog(msgs.pszOpen);
        } else if (msg.message == msgs.uClose) {
            VoiceLog(msgs.pszClose);
            PostQuitMessage(0);
        } else if (msg.message == msgs.uData) {
            PostMessageA(*phTarget, WM_WAVE_BLOCK, msg.wParam, msg.lParam);
        }
    }
    VoiceLog(msgs.pszExit);
    return static_cast<unsigned>(msg.wParam);
}

void WaitForRelayQueue(DWORD dwThreadId)
{
    // A thread message is accepted only once the thread has a queue; the relay ignores WM_NULL.
    for (int i = 0; dwThreadId && i < 200; ++i) {
        if (PostThreadMessageA(dwThreadId, WM_NULL, 0, 0) ||
            GetLastError() != ERROR_INVALID_THREAD_ID)
            return;
        WaitServingSent(NULL, 5);
    }
}

void PostQuitToRelay(HANDLE hThread, DWORD dwThreadId,
                     const std::function<void(BOOL, DWORD)>& report)
{
    for (int i = 0; i < kMaxQuitPosts; ++i) {
        BOOL bPosted = PostThreadMessageA(dwThreadId, WM_QUIT, 0, 0);
        DWORD dwError = bPosted ? 0 : GetLastError();
        report(bPosted, dwError);
        if (bPosted || dwError != ERROR_INVALID_THREAD_ID)
            return;
        if (WaitServingSent(hThread, kStepMs) != WAIT_TIMEOUT)
            return;
        WaitServingSent(NULL, kStepMs);
    }
}

bool WaitRelayThread(HANDLE hThread, DWORD dwThreadId, const std::function<bool(int)>& onTimeout)
{
    int idle = 0;
    for (;;) {
        DWORD r = WaitServingSent(hThread, kStepMs);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_TIMEOUT)
            return false;
        idle = onTimeout(idle) ? 0 : idle + 1;
        if (idle >= kQuitAfterIdleSteps)
            PostThreadMessageA(dwThreadId, WM_QUIT, 0, 0);
        if (idle >= kGiveUpAfterIdleSteps)
            return false;
    }
}

void EndRelay(HANDLE* phThread, DWORD dwThreadId, const std::function<bool(int)>& onTimeout,
              const char* pszEnded, const char* pszTerminated)
{
    if (WaitRelayThread(*phThread, dwThreadId, onTimeout)) {
        VoiceLog(pszEnded);
    } else {
        TerminateThread(*phThread, 0);
        VoiceLog(pszTerminated);
    }
    CloseHandle(*phThread);
    *phThread = NULL;
}

uint32_t PlayoutClockMs()
{
    static const LONGLONG llFrequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 0;
    }();
    LARGE_INTEGER now;
    if (!llFrequency || !QueryPerformanceCounter(&now))
        return GetTickCount();
    // Whole seconds and the rest apart, so that the product cannot overflow.
    const LONGLONG llSec = now.QuadPart / llFrequency, llRest = now.QuadPart % llFrequency;
    return static_cast<uint32_t>(llSec * 1000 + llRest * 1000 / llFrequency);
}

DWORD WaitServingSent(HANDLE hObject, DWORD dwMs)
{
    const DWORD nObjects = hObject ? 1 : 0;
    const ULONGLONG ullEnd = GetTickCount64() + dwMs;
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent ones
        ULONGLONG ullNow = GetTickCount64();
        DWORD dwLeft = ullNow >= ullEnd ? 0 : static_cast<DWORD>(ullEnd - ullNow);
        DWORD r = MsgWaitForMultipleObjectsEx(nObjects, &hObject, dwLeft, QS_SENDMESSAGE, 0);
        if (r != WAIT_OBJECT_0 + nObjects)
            return r;
    }
}

bool DispatchOneMessage(HWND hWnd)
{
    MSG msg;
    if (!hWnd || !PeekMessageA(&msg, hWnd, 0, 0, PM_REMOVE))
        return false;
    DispatchMessageA(&msg);
    return true;
}

bool DispatchPendingMessages(HWND hWnd)
{
    bool bAny = false;
    while (DispatchOneMessage(hWnd))
        bAny = true;
    return bAny;
}

WAVEFORMATEX PcmFormat(int nChannels, int nSamplesPerSec, int nBitsPerSample)
{
    WAVEFORMATEX fmt = {};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = static_cast<WORD>(nChannels);
    fmt.nSamplesPerSec = static_cast<DWORD>(nSamplesPerSec);
    fmt.wBitsPerSample = static_cast<WORD>(nBitsPerSample);
    fmt.nBlockAlign = static_cast<WORD>(nChannels * nBitsPerSample / 8);
    fmt.nAvgBytesPerSec = static_cast<DWORD>(nChannels * nBitsPerSample * nSamplesPerSec / 8);
    fmt.cbSize = 0;
    return fmt;
}
