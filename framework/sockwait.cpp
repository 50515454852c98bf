// CSocket: blocking operations built on the non-blocking socket. Each operation is tried; when
// it would block, the thread waits for the socket's notification while taking only socket
// notices (others' are kept for later) and paint messages off its queue, then tries again.
#include "framework/socket.h"

#include "framework/sockcore.h"

#include <algorithm>

namespace {

// A wait also tries the operation again at this interval, so a notice that never comes
// (or an event the socket was not registered for) cannot stall it.
const DWORD kPollInterval = 250;
// Paint messages dispatched per round, in case a window never validates itself.
const int kPaintPerRound = 16;

// Marks a blocking call on the thread: notices kept during it are delivered when the
// outermost one ends. Leaves the caller's last error as it found it.
class WaitScope {
public:
    explicit WaitScope(SocketThreadState* pState) : m_pState(pState)
    {
        if (m_pState)
            m_pState->EnterWait();
    }
    ~WaitScope()
    {
        int nError = WSAGetLastError();
        if (m_pState)
            m_pState->LeaveWait();
        WSASetLastError(nError);
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    SocketThreadState* m_pState;
};

void DispatchPaint()
{
    MSG msg;
    for (int i = 0;
         i < kPaintPerRound && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageA(&msg);
}

int FailCall(int nError)
{
    WSASetLastError(nError);
    return SOCKET_ERROR;
}

}  // namespace

CSocket::CSocket() : m_dwTimeout(0), m_dwConnectTimeout(0) {}

ULONGLONG CSocket::Deadline(DWORD dwTimeout)
{
    return dwTimeout ? GetTickCount64() + dwTimeout : 0;
}

long CSocket::TakeNotices(long lWanted, int& rnError)
{
    MSG msg;
    while (PeekMessageA(&msg, m_pThreadState->Window(), WM_SOCKET_NOTIFY, WM_SOCKET_NOTIFY,
                        PM_REMOVE)) {
        SOCKET hSocket = static_cast<SOCKET>(msg.wParam);
        long lEvent = WSAGETSELECTEVENT(msg.lParam);
        if (hSocket == m_hSocket && (lEvent & lWanted)) {
            if (lEvent == FD_CLOSE)
                m_pThreadState->Defer(hSocket, msg.lParam);  // OnClose still runs afterwards
            rnError = WSAGETSELECTERROR(msg.lParam);
            return lEvent;
        }
        m_pThreadState->Defer(hSocket, msg.lParam);
    }
    return 0;
}

long CSocket::WaitForEvent(long lWanted, ULONGLONG ullDeadline, int& rnError)
{
    for (;;) {
        // Mark what is queued now as seen, so the wait below wakes only for what comes next.
        GetQueueStatus(QS_ALLINPUT);
        if (m_pThreadState) {
            long lEvent = TakeNotices(lWanted, rnError);
            if (lEvent)
                return lEvent;
        }
        DispatchPaint();
        if (m_hSocket == INVALID_SOCKET)
            return 0;  // closed meanwhile: the next attempt reports it
        ULONGLONG ullNow = GetTickCount64();
        if (ullDeadline && ullNow >= ullDeadline)
            return -1;
        DWORD dwWait = kPollInterval;
        if (ullDeadline)
            dwWait = static_cast<DWORD>(std::min<ULONGLONG>(dwWait, ullDeadline - ullNow));
        if (MsgWaitForMultipleObjectsEx(0, nullptr, dwWait, QS_ALLINPUT, 0) == WAIT_TIMEOUT)
            return 0;
    }
}

template <class Attempt>
int CSocket::Blocking(long lEvent, ULONGLONG ullDeadline, Attempt attempt)
{
    WaitScope scope(m_pThreadState);
    bool bClosed = false;
    for (;;) {
        int nResult = attempt();
        if (nResult != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK)
            return nResult;
        if (bClosed)
            return FailCall(WSAECONNRESET);  // the connection ended, yet still nothing to do
        int nEventError = 0;
        long lGot = WaitForEvent(lEvent, ullDeadline, nEventError);
        if (lGot < 0)
            return FailCall(WSAETIMEDOUT);
        bClosed = lGot == FD_CLOSE;
    }
}

int CSocket::ConnectState() const
{
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(m_hSocket, &writable);
    FD_SET(m_hSocket, &failed);
    timeval now = {0, 0};
    if (select(0, nullptr, &writable, &failed, &now) == SOCKET_ERROR)
        return WSAGetLastError();
    if (FD_ISSET(m_hSocket, &failed)) {
        int nError = 0;
        int nLen = sizeof nError;
        getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nLen);
        return nError ? nError : WSAECONNREFUSED;
    }
    return FD_ISSET(m_hSocket, &writable) ? 0 : -1;
}

BOOL CSocket::Connect(LPCSTR lpszHostAddress, UINT nHostPort)
{
    if (CAsyncSocket::Connect(lpszHostAddress, nHostPort))
        return TRUE;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return FALSE;
    WaitScope scope(m_pThreadState);
    ULONGLONG ullDeadline = Deadline(m_dwConnectTimeout);
    for (;;) {
        int nEventError = 0;
        long lGot = WaitForEvent(FD_CONNECT, ullDeadline, nEventError);
        if (lGot == FD_CONNECT)
            return nEventError ? Fail(nEventError) : TRUE;
        int nState = ConnectState();
        if (nState >= 0)
            return nState ? Fail(nState) : TRUE;
        if (lGot < 0)
            return Fail(WSAETIMEDOUT);
    }
}

BOOL CSocket::Accept(CAsyncSocket& rConnected)
{
    return Blocking(FD_ACCEPT, Deadline(m_dwTimeout), [&] {
               return CAsyncSocket::Accept(rConnected) ? 0 : SOCKET_ERROR;
           }) != SOCKET_ERROR;
}

int CSocket::Send(const void* lpBuf, int nBufLen, int nFlags)
{
    WaitScope scope(m_pThreadState);  // one wait for all pieces: notices stay in order
    ULONGLONG ullDeadline = Deadline(m_dwTimeout);
    const char* pData = static_cast<const char*>(lpBuf);
    int nLeft = nBufLen;
    do {
        int nSent = Blocking(FD_WRITE | FD_CLOSE, ullDeadline,
                             [&] { return CAsyncSocket::Send(pData, nLeft, nFlags); });
        if (nSent == SOCKET_ERROR)
            return SOCKET_ERROR;
        pData += nSent;
        nLeft -= nSent;
    } while (nLeft > 0);
    return nBufLen;
}

int CSocket::Receive(void* lpBuf, int nBufLen, int nFlags)
{
    return Blocking(FD_READ | FD_CLOSE, Deadline(m_dwTimeout),
                    [&] { return CAsyncSocket::Receive(lpBuf, nBufLen, nFlags); });
}

int CSocket::SendTo(const void* lpBuf, int nBufLen, UINT nHostPort, LPCSTR lpszHostAddress,
                    int nFlags)
{
    return Blocking(FD_WRITE, Deadline(m_dwTimeout), [&] {
        return CAsyncSocket::SendTo(lpBuf, nBufLen, nHostPort, lpszHostAddress, nFlags);
    });
}

int CSocket::ReceiveFrom(void* lpBuf, int nBufLen, std::string& rSocketAddress, UINT& rSocketPort,
                         int nFlags)
{
    return Blocking(FD_READ, Deadline(m_dwTimeout), [&] {
        return CAsyncSocket::ReceiveFrom(lpBuf, nBufLen, rSocketAddress, rSocketPort, nFlags);
    });
}
