// Helpers for the socket tests: a message pump with a bound, plain blocking Winsock peers
// (loopback only) and a socket that records the notifications it gets.
#pragma once

#include "framework/socket.h"
#include "tests/framework/pump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SocketTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
};

// A plain blocking TCP listener on 127.0.0.1.
class RawListener {
public:
    RawListener();
    ~RawListener();
    UINT Port() const { return m_nPort; }
    SOCKET Accept();

private:
    SOCKET m_hSocket;
    UINT m_nPort;
};

// A plain blocking UDP socket on 127.0.0.1 (any port).
class RawUdp {
public:
    RawUdp();
    ~RawUdp();
    UINT Port() const { return m_nPort; }
    void SendTo(UINT nPort, const std::string& data);

private:
    SOCKET m_hSocket;
    UINT m_nPort;
};

// A port on 127.0.0.1 that nothing listens on.
UINT ClosedPort();

// Waits until a notice of lEvent for hSocket is queued for the calling thread, and leaves it
// queued; notices of other sockets queued in front of it are dispatched. False if none comes
// within ms.
bool WaitForQueuedNotice(SOCKET hSocket, long lEvent, DWORD ms = 5000);
// Dispatches the calling thread's messages until its queue is empty.
void PumpQueued();

struct SocketEvent {
    char kind;  // 'r' read, 'w' write, 'o' out-of-band, 'a' accept, 'c' connect, 'x' close
    int nError;
    DWORD dwThread;
};

// Records each notification; on read it also takes the data (datagram or stream bytes).
template <class Base>
class Recording : public Base {
public:
    std::vector<SocketEvent> events;
    std::string data;

    int Count(char kind) const
    {
        int n = 0;
        for (const SocketEvent& e : events)
            n += e.kind == kind;
        return n;
    }

protected:
    void OnReceive(int nErrorCode) override
    {
        Note('r', nErrorCode);
        char buf[2048];
        int n = CAsyncSocket::Receive(buf, sizeof buf);
        if (n > 0)
            data.append(buf, n);
    }
    void OnSend(int nErrorCode) override { Note('w', nErrorCode); }
    void OnOutOfBandData(int nErrorCode) override { Note('o', nErrorCode); }
    void OnAccept(int nErrorCode) override { Note('a', nErrorCode); }
    void OnConnect(int nErrorCode) override { Note('c', nErrorCode); }
    void OnClose(int nErrorCode) override { Note('x', nErrorCode); }

private:
    void Note(char kind, int nError) { events.push_back({kind, nError, GetCurrentThreadId()}); }
};

using RecordingAsync = Recording<CAsyncSocket>;
using RecordingBlocking = Recording<CSocket>;
