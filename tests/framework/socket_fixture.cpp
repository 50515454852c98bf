#include "tests/framework/socket_fixture.h"

#include "framework/sockcore.h"

namespace {

// Ends the process's use of sockets after the last test.
class SocketEnvironment : public ::testing::Environment {
public:
    void TearDown() override { SocketTerm(); }
};
const auto* const g_pEnvironment = ::testing::AddGlobalTestEnvironment(new SocketEnvironment);

sockaddr_in Loopback(UINT nPort)
{
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<u_short>(nPort));
    return sa;
}

// Binds a plain socket to 127.0.0.1 on any port and returns that port.
UINT BindLoopback(SOCKET hSocket)
{
    sockaddr_in sa = Loopback(0);
    bind(hSocket, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    int nLen = sizeof sa;
    getsockname(hSocket, reinterpret_cast<sockaddr*>(&sa), &nLen);
    return ntohs(sa.sin_port);
}

}  // namespace

void SocketTest::SetUpTestSuite()
{
    ASSERT_TRUE(SocketInit());
}

RawListener::RawListener() : m_hSocket(socket(AF_INET, SOCK_STREAM, 0))
{
    m_nPort = BindLoopback(m_hSocket);
    listen(m_hSocket, 5);
}

RawListener::~RawListener()
{
    closesocket(m_hSocket);
}

SOCKET RawListener::Accept()
{
    return accept(m_hSocket, nullptr, nullptr);
}

RawUdp::RawUdp() : m_hSocket(socket(AF_INET, SOCK_DGRAM, 0))
{
    m_nPort = BindLoopback(m_hSocket);
}

RawUdp::~RawUdp()
{
    closesocket(m_hSocket);
}

void RawUdp::SendTo(UINT nPort, const std::string& data)
{
    sockaddr_in sa = Loopback(nPort);
    sendto(m_hSocket, data.data(), static_cast<int>(data.size()), 0,
           reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

UINT ClosedPort()
{
    SOCKET hSocket = socket(AF_INET, SOCK_STREAM, 0);
    UINT nPort = BindLoopback(hSocket);
    closesocket(hSocket);
    return nPort;
}

bool WaitForQueuedNotice(SOCKET hSocket, long lEvent, DWORD ms)
{
    ULONGLONG ullEnd = GetTickCount64() + ms;
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, WM_SOCKET_NOTIFY, WM_SOCKET_NOTIFY, PM_NOREMOVE)) {
            if (static_cast<SOCKET>(msg.wParam) == hSocket &&
                WSAGETSELECTEVENT(msg.lParam) == lEvent)
                return true;
            PeekMessageA(&msg, nullptr, WM_SOCKET_NOTIFY, WM_SOCKET_NOTIFY, PM_REMOVE);
            DispatchMessageA(&msg);
            continue;
        }
        if (GetTickCount64() >= ullEnd)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    }
}

void PumpQueued()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
