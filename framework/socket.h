// Socket classes of the framework layer.
//
// CAsyncSocket: a non-blocking socket whose network events arrive as virtual handler calls
// (OnReceive, OnSend, OnOutOfBandData, OnAccept, OnConnect, OnClose), always on the thread
// that opened it. The events travel through WSAAsyncSelect to a hidden window of class
// "CSocketWnd" that each thread using sockets owns, so that thread must run a message loop.
//
// CSocket: the blocking variant. Connect, Send, Receive (and the datagram and accept forms)
// wait for completion; while waiting, the thread takes only socket notifications and paint
// messages off its queue. Notifications for other sockets are kept and delivered after the
// wait; every other message stays queued until the thread's own loop gets to it.
//
// Call SocketInit once per thread before opening sockets (the first call also starts Windows
// Sockets 1.1 for the process) and SocketTerm when the process is done with sockets.
// Every operation that fails returns FALSE or SOCKET_ERROR; GetLastError() then gives the
// Windows Sockets error code. A socket is used and closed on the thread that opened it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

class SocketThreadState;

// Starts Windows Sockets 1.1 (once per process; fails unless version 1.1 is granted) and
// prepares the calling thread's socket bookkeeping. Safe to call again on any thread.
BOOL SocketInit(WSADATA* lpwsaData = nullptr);
// Ends the process's use of Windows Sockets and removes the calling thread's socket window.
// Sockets still open on other threads must have been closed before.
void SocketTerm();

// Every event a socket can report; the voice engine always asks for all of them.
const long kAllSocketEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

class CAsyncSocket {
public:
    CAsyncSocket();
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // Opens a socket of the given type (SOCK_STREAM or SOCK_DGRAM), binds it to nSocketPort on
    // any local address (0 = any port) and registers lEvent for notifications on this thread.
    // An object that is already open is closed first.
    BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM,
                long lEvent = kAllSocketEvents);
    // Closes the socket and stops its notifications, including any not yet delivered.
    // Does nothing when the socket is not open.
    virtual void Close();
    // Changes the set of events that are notified.
    BOOL AsyncSelect(long lEvent = kAllSocketEvents);

    // Host: a dotted IPv4 address or a name (its first address). A null or empty host fails
    // with WSAEDESTADDRREQ.
    virtual BOOL Connect(LPCSTR lpszHostAddress, UINT nHostPort);
    BOOL Listen(int nConnectionBacklog = 5);
    // Accepts a pending connection into rConnected (closed first if open), which is then
    // registered for the same events as this socket, on this thread.
    virtual BOOL Accept(CAsyncSocket& rConnected);

    virtual int Send(const void* lpBuf, int nBufLen, int nFlags = 0);
    virtual int Receive(void* lpBuf, int nBufLen, int nFlags = 0);
    // One datagram to (host, port); the host is resolved on every call.
    virtual int SendTo(const void* lpBuf, int nBufLen, UINT nHostPort, LPCSTR lpszHostAddress,
                       int nFlags = 0);
    // One datagram to an address already resolved.
    int SendTo(const void* lpBuf, int nBufLen, const sockaddr_in& to, int nFlags = 0);
    virtual int ReceiveFrom(void* lpBuf, int nBufLen, std::string& rSocketAddress,
                            UINT& rSocketPort, int nFlags = 0);

    BOOL GetPeerName(std::string& rPeerAddress, UINT& rPeerPort) const;
    BOOL GetSockName(std::string& rSocketAddress, UINT& rSocketPort) const;

    static int GetLastError() { return WSAGetLastError(); }

    SOCKET m_hSocket;

protected:
    virtual void OnReceive(int nErrorCode) {}
    virtual void OnSend(int nErrorCode) {}
    virtual void OnOutOfBandData(int nErrorCode) {}
    virtual void OnAccept(int nErrorCode) {}
    virtual void OnConnect(int nErrorCode) {}
    virtual void OnClose(int nErrorCode) {}

    // Resolves a dotted address or host name into sa; on failure sets the error and returns FALSE.
    static BOOL ResolveAddress(LPCSTR lpszHostAddress, UINT nPort, sockaddr_in& sa);
    // Fails the current call with nError: sets it as the last error, returns FALSE.
    static BOOL Fail(int nError);

    SocketThreadState* m_pThreadState;  // bookkeeping of the thread that opened the socket
    long m_lEvent;                      // events registered for notification

private:
    friend class SocketThreadState;
    BOOL Register(SOCKET hSocket, long lEvent);
    // Calls the handler that belongs to one network event.
    void DispatchEvent(long lEvent, int nErrorCode);
};

class CSocket : public CAsyncSocket {
public:
    CSocket();

    // Bounds the waits of Send, Receive, SendTo, ReceiveFrom and Accept: after dwMilliseconds
    // without completion the call fails with WSAETIMEDOUT. 0 (the default) waits without limit.
    void SetTimeout(DWORD dwMilliseconds) { m_dwTimeout = dwMilliseconds; }
    DWORD GetTimeout() const { return m_dwTimeout; }
    // Bounds the wait of Connect: after dwMilliseconds without an outcome the call fails with
    // WSAETIMEDOUT. 0 (the default) waits for the system's own outcome.
    void SetConnectTimeout(DWORD dwMilliseconds) { m_dwConnectTimeout = dwMilliseconds; }

    BOOL Connect(LPCSTR lpszHostAddress, UINT nHostPort) override;
    BOOL Accept(CAsyncSocket& rConnected) override;
    // Waits until every byte has been handed to the network; returns nBufLen or SOCKET_ERROR.
    int Send(const void* lpBuf, int nBufLen, int nFlags = 0) override;
    // Waits until data is there; returns the byte count, 0 at the connection's end, or
    // SOCKET_ERROR.
    int Receive(void* lpBuf, int nBufLen, int nFlags = 0) override;
    int SendTo(const void* lpBuf, int nBufLen, UINT nHostPort, LPCSTR lpszHostAddress,
               int nFlags = 0) override;
    int ReceiveFrom(void* lpBuf, int nBufLen, std::string& rSocketAddress, UINT& rSocketPort,
                    int nFlags = 0) override;

private:
    // Waits until a notification in lWanted arrives for this socket (returns that event and
    // its error code in rnError), a polling interval passes (returns 0: try again) or the
    // deadline passes (returns -1). Takes socket notices and paint messages off the queue only.
    long WaitForEvent(long lWanted, ULONGLONG ullDeadline, int& rnError);
    // Takes this thread's socket notices off the queue until one in lWanted for this socket;
    // the others are kept for delivery after the wait.
    long TakeNotices(long lWanted, int& rnError);
    // Whether a pending connect has finished: 0 connected, an error code, or -1 still pending.
    int ConnectState() const;
    // 0 for no time-out, else the tick count at which a call that starts now gives up.
    static ULONGLONG Deadline(DWORD dwTimeout);
    // Repeats one non-blocking attempt, waiting for lEvent whenever it would block.
    template <class Attempt>
    int Blocking(long lEvent, ULONGLONG ullDeadline, Attempt attempt);

    DWORD m_dwTimeout;
    DWORD m_dwConnectTimeout;
};
