// Test support for the engine tests: the shared message pump the engine needs, and a loopback
// peer made of plain blocking Winsock calls, which runs on a thread of its own.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "tests/framework/pump.h"

#include <vector>

// A TCP listener and a UDP socket on 127.0.0.1 with free ports.
class LoopbackPeer {
public:
    LoopbackPeer();
    ~LoopbackPeer();
    UINT TcpPort() const { return m_tcpPort; }
    UINT UdpPort() const { return m_udpPort; }
    // Accepts one connection (blocking; call from the peer thread).
    bool Accept();
    bool SendBytes(const std::vector<unsigned char>& bytes);
    // Reads exactly n bytes from the connection within ms; empty on failure.
    std::vector<unsigned char> ReceiveBytes(int n, DWORD ms);
    // One datagram within ms; empty on time-out.
    std::vector<unsigned char> ReceiveDatagram(DWORD ms);

private:
    SOCKET m_listen, m_conn, m_udp;
    UINT m_tcpPort, m_udpPort;
};

// A socket of the given type bound to a free port of 127.0.0.1 (the port goes into port).
SOCKET BoundSocket(int type, UINT& port);

// Opens a voice send socket aimed at the peer's voice port.
class CUdpSocket;
bool AimAtPeer(CUdpSocket& udp, const LoopbackPeer& peer);

// A control message: 24-byte header with code and body length, then body bytes.
std::vector<unsigned char> ControlBytes(unsigned code, int bodyLength = 0);
