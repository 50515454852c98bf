// Windows Sockets start-up and the per-thread socket window.
#include "framework/sockcore.h"

#include <algorithm>

#include "framework/msgonlywnd.h"

// Registered by the first thread that uses sockets; unregistered by SocketTerm.
MessageWindowClass SocketThreadState::s_wndClass = {"CSocketWnd", &SocketThreadState::WndProc,
                                                    false};

namespace {

SRWLOCK g_startLock = SRWLOCK_INIT;
bool g_bStarted = false;
WSADATA g_wsaData;
DWORD g_dwStateTls = TLS_OUT_OF_INDEXES;

// Starts Windows Sockets 1.1 and the thread-state slot; returns 0 or the error.
int StartProcessSockets()
{
    WSADATA data;
    int nError = WSAStartup(MAKEWORD(1, 1), &data);
    if (nError != 0)
        return nError;
    if (data.wVersion != MAKEWORD(1, 1)) {
        WSACleanup();
        return WSAVERNOTSUPPORTED;
    }
    if (g_dwStateTls == TLS_OUT_OF_INDEXES)
        g_dwStateTls = TlsAlloc();
    if (g_dwStateTls == TLS_OUT_OF_INDEXES) {
        WSACleanup();
        return WSAENOBUFS;
    }
    g_wsaData = data;
    g_bStarted = true;
    return 0;
}

}  // namespace

BOOL SocketInit(WSADATA* lpwsaData)
{
    AcquireSRWLockExclusive(&g_startLock);
    int nError = g_bStarted ? 0 : StartProcessSockets();
    if (nError == 0 && lpwsaData)
        *lpwsaData = g_wsaData;
    ReleaseSRWLockExclusive(&g_startLock);
    if (nError != 0)
        WSASetLastError(nError);
    return nError == 0;
}

void SocketTerm()
{
    SocketThreadState::DestroyCurrent();
    AcquireSRWLockExclusive(&g_startLock);
    if (g_bStarted) {
        WSACleanup();
        g_bStarted = false;
    }
    if (g_dwStateTls != TLS_OUT_OF_INDEXES) {
        TlsFree(g_dwStateTls);
        g_dwStateTls = TLS_OUT_OF_INDEXES;
    }
    UnregisterMessageWindowClass(SocketThreadState::s_wndClass);
    ReleaseSRWLockExclusive(&g_startLock);
}

SocketThreadState* SocketThreadState::Current(bool bCreate)
{
    if (g_dwStateTls == TLS_OUT_OF_INDEXES) {
        WSASetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    auto* pState = static_cast<SocketThreadState*>(TlsGetValue(g_dwStateTls));
    if (pState || !bCreate)
        return pState;

    pState = new SocketThreadState;
    pState->m_hWnd = CreateMessageWindow(s_wndClass, pState);
    if (!pState->m_hWnd) {
        delete pState;
        WSASetLastError(WSAENOBUFS);
        return nullptr;
    }
    TlsSetValue(g_dwStateTls, pState);
    return pState;
}

void SocketThreadState::DestroyCurrent()
{
    if (g_dwStateTls != TLS_OUT_OF_INDEXES)
        delete static_cast<SocketThreadState*>(TlsGetValue(g_dwStateTls));
}

SocketThreadState::~SocketThreadState()
{
    for (auto& entry : m_sockets)
        entry.second->m_pThreadState = nullptr;  // still open, but no longer notified
    DestroyMessageWindow(&m_hWnd);
    TlsSetValue(g_dwStateTls, nullptr);
}

void SocketThreadState::Add(SOCKET hSocket, CAsyncSocket* pSocket)
{
    m_sockets[hSocket] = pSocket;
}

void SocketThreadState::Remove(SOCKET hSocket)
{
    m_sockets.erase(hSocket);
    // Notifications of the closed socket must not reach a new socket that gets the same
    // handle value, so take them out of the queue too.
    SweepQueue();
    m_deferred.erase(std::remove_if(m_deferred.begin(), m_deferred.end(),
                                    [hSocket](const Notice& n) { return n.hSocket == hSocket; }),
                     m_deferred.end());
    if (m_nWaitDepth == 0)
        PostDeferred();
    ReleaseIfIdle();
}

void SocketThreadState::LeaveWait()
{
    if (--m_nWaitDepth > 0)
        return;
    if (!m_deferred.empty()) {
        SweepQueue();
        PostDeferred();
    }
    ReleaseIfIdle();
}

void SocketThreadState::SweepQueue()
{
    MSG msg;
    while (PeekMessageA(&msg, m_hWnd, WM_SOCKET_NOTIFY, WM_SOCKET_NOTIFY, PM_REMOVE))
        Defer(static_cast<SOCKET>(msg.wParam), msg.lParam);
}

void SocketThreadState::PostDeferred()
{
    if (!m_deferred.empty() && !m_bDeferredPosted)
        m_bDeferredPosted = PostMessageA(m_hWnd, WM_SOCKET_DEFERRED, 0, 0) != FALSE;
}

void SocketThreadState::Deliver(SOCKET hSocket, LPARAM lParam)
{
    auto it = m_sockets.find(hSocket);
    if (it != m_sockets.end())
        it->second->DispatchEvent(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
}

void SocketThreadState::DeliverDeferred()
{
    m_bDeferredPosted = false;
    while (!m_deferred.empty()) {
        Notice notice = m_deferred.front();
        m_deferred.pop_front();
        Deliver(notice.hSocket, notice.lParam);
    }
}

void SocketThreadState::ReleaseIfIdle()
{
    if (m_sockets.empty() && m_nDispatching == 0 && m_nWaitDepth == 0)
        delete this;
}

LRESULT CALLBACK SocketThreadState::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pState = static_cast<SocketThreadState*>(MessageWindowObject(hWnd));
    if (!pState || (uMsg != WM_SOCKET_NOTIFY && uMsg != WM_SOCKET_DEFERRED))
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    // A handler may close sockets, even the thread's last one: the state stays until it returns.
    ++pState->m_nDispatching;
    if (uMsg == WM_SOCKET_NOTIFY)
        pState->Deliver(static_cast<SOCKET>(wParam), lParam);
    else
        pState->DeliverDeferred();
    --pState->m_nDispatching;
    pState->ReleaseIfIdle();
    return 0;
}
