// Per-thread socket bookkeeping behind CAsyncSocket and CSocket: the thread's hidden
// "CSocketWnd" window that receives WSAAsyncSelect notifications, the map from socket handles
// to their objects, and the notifications that a blocking wait set aside for later.
#pragma once

#include "framework/socket.h"

#include <deque>
#include <map>

struct MessageWindowClass;

// Notification message of the socket window: wParam the socket, lParam WSAMAKESELECTREPLY.
const UINT WM_SOCKET_NOTIFY = WM_USER + 0x100;
// Posted to the socket window to deliver the notifications kept during a blocking wait.
const UINT WM_SOCKET_DEFERRED = WM_USER + 0x101;

class SocketThreadState {
public:
    // The calling thread's state; created on first use when bCreate is set. Null when
    // SocketInit has not run or the window cannot be made (the last error then says why).
    static SocketThreadState* Current(bool bCreate);
    // Removes the calling thread's state, whatever is still registered.
    static void DestroyCurrent();

    HWND Window() const { return m_hWnd; }
    void Add(SOCKET hSocket, CAsyncSocket* pSocket);
    // Forgets the socket and every notification of it not yet delivered; frees the state
    // when it was the thread's last socket.
    void Remove(SOCKET hSocket);

    // Blocking waits nest; notifications set aside are posted for delivery when the
    // outermost wait ends.
    void EnterWait() { ++m_nWaitDepth; }
    void LeaveWait();
    void Defer(SOCKET hSocket, LPARAM lParam) { m_deferred.push_back({hSocket, lParam}); }

private:
    struct Notice {
        SOCKET hSocket;
        LPARAM lParam;
    };

    SocketThreadState() = default;
    ~SocketThreadState();
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void Deliver(SOCKET hSocket, LPARAM lParam);
    void DeliverDeferred();
    // Moves the notifications still in the thread's queue behind those kept, to keep order.
    void SweepQueue();
    // Posts one WM_SOCKET_DEFERRED when notifications are kept and none is on its way.
    void PostDeferred();
    void ReleaseIfIdle();

    HWND m_hWnd = nullptr;
    std::map<SOCKET, CAsyncSocket*> m_sockets;
    std::deque<Notice> m_deferred;
    int m_nWaitDepth = 0;
    int m_nDispatching = 0;  // handler calls in progress: the state must outlive them
    bool m_bDeferredPosted = false;

    static MessageWindowClass s_wndClass;  // the "CSocketWnd" class of every thread's window
    friend void SocketTerm();
};
