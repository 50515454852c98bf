// The two voice sockets: CUdpSocket numbers and sends coded blocks, CRecSocket hands every
// received voice packet of the call's peer to the receive path.
#include "voice/voicesock.h"

#include "voice/wavedev.h"
#include "voice/wire.h"

#include <cstring>
#include <utility>

CUdpSocket::CUdpSocket()
    : m_bCreated(FALSE), m_nPort(0), m_bDestKnown(false), m_nDestPort(0), m_destAddr(),
      m_nDestError(0)
{
    std::memset(m_packet, 0, sizeof(m_packet));
}

CUdpSocket::~CUdpSocket() = default;

int CUdpSocket::Send(const void* lpBuf, int nBufLen, int nFlags)
{
    if (nBufLen < 0 || nBufLen > kVoiceBufferSize - kVoiceHeaderSize)
        return SOCKET_ERROR;
    BuildVoicePacket(m_packet, ReadLe32(m_packet) + 1, lpBuf, nBufLen);
    if (!Destination())
        return SOCKET_ERROR;
    return SendTo(m_packet, nBufLen + kVoiceHeaderSize, m_destAddr, nFlags);
}

bool CUdpSocket::Destination()
{
    if (!m_bDestKnown || m_strDestHost != m_strHost || m_nDestPort != m_nPort) {
        m_bDestKnown = true;
        m_strDestHost = m_strHost;
        m_nDestPort = m_nPort;
        m_nDestError = ResolveAddress(m_strHost.c_str(), m_nPort, m_destAddr) ? 0 : GetLastError();
    }
    if (m_nDestError)
        WSASetLastError(m_nDestError);
    return m_nDestError == 0;
}

CRecSocket::CRecSocket(CSortData::PlayAction classicPlay, CPlayout::Actions playout)
    : m_recv(std::move(classicPlay), std::move(playout)), m_bCreated(FALSE)
{
    std::memset(m_recvBuf, 0, sizeof(m_recvBuf));
}

CRecSocket::~CRecSocket() = default;

void CRecSocket::SendHello(const std::string& host, UINT port)
{
    // Sent without waiting: its result is not used, and a datagram that would block is dropped.
    CAsyncSocket::SendTo(kHelloDatagram, kHelloSize, port, host.c_str());
}

void CRecSocket::OnReceive(int nErrorCode)
{
    std::string strFrom;
    UINT nFromPort = 0;
    // The datagram is there or not: a notice without one returns at once instead of holding the
    // client's thread until the next datagram comes.
    int n = CAsyncSocket::ReceiveFrom(m_recvBuf, sizeof(m_recvBuf), strFrom, nFromPort);
    // The store ignores a datagram too short to be a voice packet (a stray hello, say).
    if (n > 0)
        m_recv.Take(m_recvBuf, n, strFrom, m_callPeer ? m_callPeer() : std::string(),
                    PlayoutClockMs());
    CSocket::OnReceive(nErrorCode);
}
