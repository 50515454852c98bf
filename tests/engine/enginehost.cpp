#include "tests/engine/enginehost.h"

#include "framework/socket.h"
#include "voice/appstate.h"
#include "voice/codec/audiocode.h"
#include "voice/vocalis.h"
#include "voice/voicesock.h"
#include "voice/wire.h"

#include <gtest/gtest.h>

// In the DLL these come from its load code; here the test program is the module.
CAudioCode& TheAudioCode()
{
    static CAudioCode s_codec;
    return s_codec;
}

HWND AppThreadMainWnd()
{
    return GetActiveWindow();
}

namespace {

struct EngineEnvironment : ::testing::Environment {
    void SetUp() override
    {
        SocketInit();
        g_dwTls = TlsAlloc();
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

bool Readable(SOCKET s, DWORD ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &tv) == 1;
}

}  // namespace

SOCKET BoundSocket(int type, UINT& port)
{
    SOCKET s = socket(AF_INET, type, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    int len = sizeof(sa);
    getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    return s;
}

bool AimAtPeer(CUdpSocket& udp, const LoopbackPeer& peer)
{
    if (!udp.Create(0, SOCK_DGRAM))
        return false;
    udp.SetHost("127.0.0.1");
    udp.m_nPort = peer.UdpPort();
    return true;
}

LoopbackPeer::LoopbackPeer() : m_conn(INVALID_SOCKET)
{
    m_listen = BoundSocket(SOCK_STREAM, m_tcpPort);
    listen(m_listen, 2);
    m_udp = BoundSocket(SOCK_DGRAM, m_udpPort);
}

LoopbackPeer::~LoopbackPeer()
{
    for (SOCKET s : {m_listen, m_conn, m_udp})
        if (s != INVALID_SOCKET)
            closesocket(s);
}

bool LoopbackPeer::Accept()
{
    if (!Readable(m_listen, 5000))
        return false;
    m_conn = accept(m_listen, nullptr, nullptr);
    return m_conn != INVALID_SOCKET;
}

bool LoopbackPeer::SendBytes(const std::vector<unsigned char>& bytes)
{
    return send(m_conn, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                0) == static_cast<int>(bytes.size());
}

std::vector<unsigned char> LoopbackPeer::ReceiveBytes(int n, DWORD ms)
{
    std::vector<unsigned char> out(n);
    for (int got = 0; got < n;) {
        if (!Readable(m_conn, ms))
            return {};
        int r = recv(m_conn, reinterpret_cast<char*>(out.data()) + got, n - got, 0);
        if (r <= 0)
            return {};
        got += r;
    }
    return out;
}

std::vector<unsigned char> LoopbackPeer::ReceiveDatagram(DWORD ms)
{
    if (!Readable(m_udp, ms))
        return {};
    std::vector<unsigned char> out(2048);
    int r = recv(m_udp, reinterpret_cast<char*>(out.data()), static_cast<int>(out.size()), 0);
    out.resize(r > 0 ? r : 0);
    return out;
}

std::vector<unsigned char> ControlBytes(unsigned code, int bodyLength)
{
    std::vector<unsigned char> msg(kControlHeaderSize);
    BuildControlHeader(msg.data(), code, bodyLength);
    msg.resize(msg.size() + (bodyLength > 0 ? bodyLength : 0), 0x5A);
    return msg;
}
