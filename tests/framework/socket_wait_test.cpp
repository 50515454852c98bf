// Blocking sockets: waits take only socket notices and paint messages off the queue, keep
// other sockets' notices for afterwards, and can be bounded.
#include "tests/framework/socket_fixture.h"

#include <thread>

namespace {

// A visible window of the test thread that counts the posted WM_USER messages and paints it
// gets, and signals its first paint. A message another thread sends to it returns only once the
// test thread takes messages, that is, once it is inside a blocking call's wait.
struct CountingWindow {
    static int s_nUser;
    static int s_nPaint;
    static HANDLE s_hPainted;
    HWND hWnd;

    CountingWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SocketTestCounter";
        RegisterClassA(&wc);
        hWnd = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20,
                               nullptr, nullptr, wc.hInstance, nullptr);
        UpdateWindow(hWnd);
        s_nUser = s_nPaint = 0;
        s_hPainted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~CountingWindow()
    {
        DestroyWindow(hWnd);
        CloseHandle(s_hPainted);
        s_hPainted = nullptr;
    }

    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == WM_USER)
            ++s_nUser;
        if (uMsg == WM_PAINT && ++s_nPaint && s_hPainted)
            SetEvent(s_hPainted);
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
};
int CountingWindow::s_nUser = 0;
int CountingWindow::s_nPaint = 0;
HANDLE CountingWindow::s_hPainted = nullptr;

// A blocking socket connected to a plain peer socket.
struct ConnectedPair {
    RawListener listener;
    RecordingBlocking sock;
    SOCKET hPeer = INVALID_SOCKET;

    ConnectedPair()
    {
        EXPECT_TRUE(sock.Create());
        EXPECT_TRUE(sock.Connect("127.0.0.1", listener.Port()));
        hPeer = listener.Accept();
    }
    ~ConnectedPair() { closesocket(hPeer); }
    void PeerSend(const std::string& data) { send(hPeer, data.data(), int(data.size()), 0); }
};

// Runs f on another thread once the test thread is inside its wait (see CountingWindow).
std::thread OnceWaiting(const CountingWindow& window, std::function<void()> f)
{
    HWND hWnd = window.hWnd;
    return std::thread([hWnd, f] {
        SendMessageA(hWnd, WM_NULL, 0, 0);
        f();
    });
}

TEST_F(SocketTest, BlockingReceiveLeavesOtherMessagesQueued)
{
    ConnectedPair pair;
    CountingWindow window;
    PostMessageA(window.hWnd, WM_USER, 0, 0);
    InvalidateRect(window.hWnd, nullptr, FALSE);
    std::thread peer([&] {
        WaitForSingleObject(CountingWindow::s_hPainted, 10000);  // the wait served the paint
        pair.PeerSend("abcd");
    });

    char buf[16];
    int n = pair.sock.Receive(buf, sizeof buf);
    peer.join();
    ASSERT_EQ(4, n);
    EXPECT_EQ("abcd", std::string(buf, n));
    EXPECT_EQ(0, CountingWindow::s_nUser);   // still queued
    EXPECT_GE(CountingWindow::s_nPaint, 1);  // paints were served during the wait
    EXPECT_TRUE(PumpUntil([] { return CountingWindow::s_nUser == 1; }));
}

TEST_F(SocketTest, OtherSocketsNoticesAreDeliveredAfterTheWait)
{
    ConnectedPair pair;
    CountingWindow window;
    RecordingAsync other;
    ASSERT_TRUE(other.Create(0, SOCK_DGRAM));
    std::string strAddr;
    UINT nOtherPort = 0;
    other.GetSockName(strAddr, nOtherPort);
    RawUdp udpPeer;
    udpPeer.SendTo(nOtherPort, "datagram");
    ASSERT_TRUE(WaitForQueuedNotice(other.m_hSocket, FD_READ));
    other.events.clear();
    std::thread peer = OnceWaiting(window, [&] { pair.PeerSend("stream"); });

    char buf[16];
    int n = pair.sock.Receive(buf, sizeof buf);
    peer.join();
    ASSERT_EQ(6, n);
    EXPECT_EQ(0, other.Count('r'));
    EXPECT_TRUE(PumpUntil([&] { return other.data == "datagram"; }));
    EXPECT_EQ(1, other.Count('r'));
}

TEST_F(SocketTest, BoundedReceiveFailsInsteadOfHanging)
{
    ConnectedPair pair;
    pair.sock.SetTimeout(300);
    pair.PeerSend("partial");  // part of a message, then the peer stalls
    char buf[24];
    int n = pair.sock.Receive(buf, sizeof buf);
    EXPECT_EQ(7, n);
    EXPECT_EQ(SOCKET_ERROR, pair.sock.Receive(buf, sizeof buf));
    EXPECT_EQ(WSAETIMEDOUT, CAsyncSocket::GetLastError());

    // The connection itself is still usable.
    pair.PeerSend("rest");
    EXPECT_EQ(4, pair.sock.Receive(buf, sizeof buf));
}

TEST_F(SocketTest, BlockingReceiveSeesTheEndAndCloseIsStillNotified)
{
    ConnectedPair pair;
    CountingWindow window;
    std::thread peer = OnceWaiting(window, [&] {
        closesocket(pair.hPeer);
        pair.hPeer = INVALID_SOCKET;
    });
    char buf[8];
    EXPECT_EQ(0, pair.sock.Receive(buf, sizeof buf));
    peer.join();
    EXPECT_TRUE(PumpUntil([&] { return pair.sock.Count('x') == 1; }));
}

TEST_F(SocketTest, BlockingSendHandsOverEveryByte)
{
    ConnectedPair pair;
    std::string data(8 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + (i >> 12));
    std::string got;
    std::thread reader([&] {
        char buf[65536];
        int n;
        while (got.size() < data.size() && (n = recv(pair.hPeer, buf, sizeof buf, 0)) > 0)
            got.append(buf, n);
    });
    EXPECT_EQ(int(data.size()), pair.sock.Send(data.data(), int(data.size())));
    reader.join();
    EXPECT_TRUE(got == data);
}

TEST_F(SocketTest, BoundedSendFailsWhenThePeerStopsReading)
{
    ConnectedPair pair;
    pair.sock.SetTimeout(300);
    std::string data(64 << 20, 'x');
    EXPECT_EQ(SOCKET_ERROR, pair.sock.Send(data.data(), int(data.size())));
    EXPECT_EQ(WSAETIMEDOUT, CAsyncSocket::GetLastError());
}

TEST_F(SocketTest, BlockingReceiveFromWaitsForADatagram)
{
    RecordingBlocking sock;
    ASSERT_TRUE(sock.Create(0, SOCK_DGRAM));
    std::string strAddr;
    UINT nPort = 0;
    sock.GetSockName(strAddr, nPort);
    RawUdp udpPeer;
    CountingWindow window;
    std::thread peer = OnceWaiting(window, [&] { udpPeer.SendTo(nPort, "voice"); });
    char buf[16];
    UINT nFrom = 0;
    int n = sock.ReceiveFrom(buf, sizeof buf, strAddr, nFrom);
    peer.join();
    ASSERT_EQ(5, n);
    EXPECT_EQ("127.0.0.1", strAddr);
    EXPECT_EQ(udpPeer.Port(), nFrom);
}

}  // namespace
