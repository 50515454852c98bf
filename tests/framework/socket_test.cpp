// Non-blocking sockets: notifications reach the object that opened the socket, on its thread.
#include "tests/framework/socket_fixture.h"

#include <atomic>
#include <thread>

namespace {

UINT LocalPort(const CAsyncSocket& sock)
{
    std::string strAddr;
    UINT nPort = 0;
    sock.GetSockName(strAddr, nPort);
    return nPort;
}

TEST_F(SocketTest, NotificationsReachTheirObjectOnTheOpeningThread)
{
    std::atomic<int> nWorkerPort{-1};
    DWORD dwWorker = 0;
    std::string workerData;
    std::vector<SocketEvent> workerEvents;
    std::thread worker([&] {
        SocketInit();
        dwWorker = GetCurrentThreadId();
        RecordingAsync sock;
        nWorkerPort = sock.Create(0, SOCK_DGRAM) ? int(LocalPort(sock)) : 0;
        PumpUntil([&] { return !sock.data.empty(); });
        workerData = sock.data;
        workerEvents = sock.events;
    });
    RecordingAsync mine;
    ASSERT_TRUE(mine.Create(0, SOCK_DGRAM)) << CAsyncSocket::GetLastError();
    while (nWorkerPort < 0)
        Sleep(1);
    if (nWorkerPort == 0) {
        worker.join();
        FAIL() << "the worker could not open its socket";
    }

    RawUdp peer;
    peer.SendTo(nWorkerPort, "to the worker");
    peer.SendTo(LocalPort(mine), "to the main thread");
    EXPECT_TRUE(PumpUntil([&] { return !mine.data.empty(); }));
    worker.join();

    EXPECT_EQ("to the main thread", mine.data);
    EXPECT_EQ("to the worker", workerData);
    for (const SocketEvent& e : mine.events)
        EXPECT_EQ(GetCurrentThreadId(), e.dwThread);
    ASSERT_FALSE(workerEvents.empty());
    for (const SocketEvent& e : workerEvents)
        EXPECT_EQ(dwWorker, e.dwThread);
}

TEST_F(SocketTest, StreamConnectionReportsAcceptConnectReadAndClose)
{
    RecordingAsync listener;
    ASSERT_TRUE(listener.Create(0, SOCK_STREAM));
    ASSERT_TRUE(listener.Listen());
    RecordingAsync client;
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.Connect("127.0.0.1", LocalPort(listener)));
    EXPECT_EQ(WSAEWOULDBLOCK, CAsyncSocket::GetLastError());
    ASSERT_TRUE(PumpUntil([&] { return listener.Count('a') && client.Count('c'); }));
    EXPECT_EQ(0, client.events.front().nError);

    RecordingAsync server;
    ASSERT_TRUE(listener.Accept(server));
    std::string strPeer;
    UINT nPeerPort = 0;
    ASSERT_TRUE(client.GetPeerName(strPeer, nPeerPort));
    EXPECT_EQ("127.0.0.1", strPeer);
    EXPECT_EQ(LocalPort(listener), nPeerPort);
    ASSERT_TRUE(server.GetPeerName(strPeer, nPeerPort));
    EXPECT_EQ(LocalPort(client), nPeerPort);

    // The accepted socket is notified like any other.
    ASSERT_EQ(4, client.Send("ping", 4));
    EXPECT_TRUE(PumpUntil([&] { return server.data == "ping"; }));
    ASSERT_EQ(5, server.Send("hello", 5));
    EXPECT_TRUE(PumpUntil([&] { return client.data == "hello"; }));

    server.Close();
    EXPECT_TRUE(PumpUntil([&] { return client.Count('x') == 1; }));
}

TEST_F(SocketTest, CloseIsIdempotentAndDropsUndeliveredNotifications)
{
    CAsyncSocket never;
    never.Close();
    EXPECT_EQ(INVALID_SOCKET, never.m_hSocket);

    RecordingAsync closed;
    ASSERT_TRUE(closed.Create(0, SOCK_DGRAM, FD_READ));
    RawUdp peer;
    peer.SendTo(LocalPort(closed), "late");
    // The read notice is in the queue, undelivered, when the socket goes.
    ASSERT_TRUE(WaitForQueuedNotice(closed.m_hSocket, FD_READ));
    closed.Close();
    closed.Close();
    EXPECT_EQ(INVALID_SOCKET, closed.m_hSocket);

    // A socket opened now may get the same handle value; the old notice must not reach it.
    RecordingAsync fresh;
    ASSERT_TRUE(fresh.Create(0, SOCK_DGRAM, FD_READ));
    PumpQueued();
    EXPECT_EQ(0, closed.Count('r'));
    EXPECT_EQ(0, fresh.Count('r'));
}

TEST_F(SocketTest, ConnectToAClosedPortFails)
{
    UINT nPort = ClosedPort();
    RecordingAsync async;
    ASSERT_TRUE(async.Create());
    EXPECT_FALSE(async.Connect("127.0.0.1", nPort));
    ASSERT_TRUE(PumpUntil([&] { return async.Count('c') == 1; }));
    EXPECT_EQ(WSAECONNREFUSED, async.events.back().nError);

    CSocket blocking;
    ASSERT_TRUE(blocking.Create());
    EXPECT_FALSE(blocking.Connect("127.0.0.1", nPort));
    EXPECT_EQ(WSAECONNREFUSED, CAsyncSocket::GetLastError());
}

TEST_F(SocketTest, SendToResolvesDottedAddressesAndNames)
{
    RecordingAsync receiver;
    ASSERT_TRUE(receiver.Create(0, SOCK_DGRAM));
    CAsyncSocket sender;
    ASSERT_TRUE(sender.Create(0, SOCK_DGRAM));
    EXPECT_EQ(3, sender.SendTo("one", 3, LocalPort(receiver), "127.0.0.1"));
    EXPECT_TRUE(PumpUntil([&] { return receiver.data == "one"; }));
    EXPECT_EQ(3, sender.SendTo("two", 3, LocalPort(receiver), "localhost"));
    EXPECT_TRUE(PumpUntil([&] { return receiver.data == "onetwo"; }));

    EXPECT_EQ(SOCKET_ERROR, sender.SendTo("x", 1, LocalPort(receiver), "no-such-host.invalid"));
    EXPECT_NE(0, CAsyncSocket::GetLastError());
    EXPECT_EQ(SOCKET_ERROR, sender.SendTo("x", 1, LocalPort(receiver), ""));
    EXPECT_EQ(WSAEDESTADDRREQ, CAsyncSocket::GetLastError());
    EXPECT_EQ(SOCKET_ERROR, sender.SendTo("x", 1, 70000, "127.0.0.1"));
    EXPECT_EQ(WSAEINVAL, CAsyncSocket::GetLastError());
}

TEST_F(SocketTest, ReceiveFromNamesTheSender)
{
    CAsyncSocket receiver;
    ASSERT_TRUE(receiver.Create(0, SOCK_DGRAM, 0));
    RawUdp peer;
    peer.SendTo(LocalPort(receiver), "hi");
    char buf[8];
    std::string strFrom;
    UINT nFrom = 0;
    int n = SOCKET_ERROR;
    for (int i = 0; i < 500 && n == SOCKET_ERROR; ++i, Sleep(2))
        n = receiver.ReceiveFrom(buf, sizeof buf, strFrom, nFrom);
    EXPECT_EQ(2, n);
    EXPECT_EQ("127.0.0.1", strFrom);
    EXPECT_EQ(peer.Port(), nFrom);
}

TEST_F(SocketTest, OperationsOnAClosedSocketFailCleanly)
{
    CSocket sock;
    char buf[4];
    EXPECT_EQ(SOCKET_ERROR, sock.Send("x", 1));
    EXPECT_EQ(WSAENOTSOCK, CAsyncSocket::GetLastError());
    EXPECT_EQ(SOCKET_ERROR, sock.Receive(buf, sizeof buf));
    EXPECT_EQ(WSAENOTSOCK, CAsyncSocket::GetLastError());
    EXPECT_FALSE(sock.Connect("127.0.0.1", 9));
    EXPECT_FALSE(sock.AsyncSelect());

    // Opening an open object again replaces its socket, which then works.
    ASSERT_TRUE(sock.Create(0, SOCK_DGRAM));
    ASSERT_TRUE(sock.Create(0, SOCK_DGRAM));
    EXPECT_EQ(1, sock.SendTo("x", 1, LocalPort(sock), "127.0.0.1"));
    EXPECT_EQ(1, sock.Receive(buf, sizeof buf));
}

}  // namespace
