// The talk handshake over TCP: the control socket answers the peer's talk request, the
// requester socket plays the asking side. Both read control messages the same way.
#include "voice/voicesock.h"

#include "voice/engine.h"
#include "voice/wire.h"


namespace {

// Feeds a socket to the control message reader. On a blocking socket the whole message must
// arrive within kControlWaitMs, so a peer that sends part of a message and stalls holds the
// thread only that long; on a non-blocking one a would-block ends the message.
class SocketSource : public ControlSource {
public:
    SocketSource(CAsyncSocket& sock, CSocket* pBlocking)
        : m_sock(sock), m_pBlocking(pBlocking), m_ullDeadline(GetTickCount64() + kControlWaitMs)
    {
    }
    ~SocketSource()
    {
        if (m_pBlocking)
            m_pBlocking->SetTimeout(kControlWaitMs);
    }
    SocketSource(const SocketSource&) = delete;
    SocketSource& operator=(const SocketSource&) = delete;

    int Receive(unsigned char* pBuf, int nLen) override
    {
        if (m_pBlocking) {
            ULONGLONG ullNow = GetTickCount64();
            if (ullNow >= m_ullDeadline)
                return -1;
            m_pBlocking->SetTimeout(static_cast<DWORD>(m_ullDeadline - ullNow));
        }
        int n = m_sock.Receive(pBuf, nLen);
        return n == SOCKET_ERROR ? -1 : n;
    }

private:
    CAsyncSocket& m_sock;
    CSocket* m_pBlocking;
    ULONGLONG m_ullDeadline;
};

// Whether the stream has a byte to read now (or has ended), asked without waiting. Windows
// Sockets posts a read notice again after a receive that leaves bytes behind, so once a message
// read in several receives is done, one notice may come with nothing behind it.
bool BytesWaiting(CAsyncSocket& sock)
{
    unsigned char byte = 0;
    return sock.CAsyncSocket::Receive(&byte, 1, MSG_PEEK) > 0;
}

// Reads one control message into pBuf; false when handling stops (no bytes waiting, a failed or
// cut-off read, or a header without the magic, whose body is then left unread).
bool ReadMessage(CAsyncSocket& sock, CSocket* pBlocking, unsigned char* pBuf, uint32_t& nCode)
{
    // Only a notice with bytes behind it starts a read: a wait for a header that is not coming
    // would hold the client's thread, and with it the voice uplink, for the whole bound.
    if (!BytesWaiting(sock))
        return false;
    SocketSource source(sock, pBlocking);
    ControlHeader header;
    if (ReadControlMessage(source, pBuf, header) != ControlRead::Message)
        return false;
    nCode = header.code;
    return true;
}

std::string PeerAddress(const CAsyncSocket& sock)
{
    std::string strAddr;
    UINT nPort = 0;
    if (!sock.GetPeerName(strAddr, nPort))
        strAddr.clear();
    return strAddr;
}

}  // namespace

CClientSocket::CClientSocket(CInterface* pInterface, CMyWaveIn* pWaveIn, CUdpSocket* pUdp)
    : m_pBuf(new unsigned char[kControlBufferSize]()), m_pInterface(pInterface), m_pWaveIn(pWaveIn),
      m_pUdp(pUdp)
{
    SetTimeout(kControlWaitMs);
}

CClientSocket::~CClientSocket()
{
    delete[] m_pBuf;
}

// The client's handler of a talk notification may end the call or delete its interface, and
// with it the engine and this socket. So each handler below calls the base's handler first,
// changes every state before it notifies, and makes the notification the last thing it does.

void CClientSocket::OnReceive(int nErrorCode)
{
    uint32_t nCode = 0;
    if (!ReadMessage(*this, this, m_pBuf, nCode))
        return;
    CSocket::OnReceive(nErrorCode);
    if (nCode == TALK_REQUEST)
        AnswerRequest();
}

void CClientSocket::AnswerRequest()
{
    std::string strPeer = PeerAddress(*this);
    BOOL bAccept = m_pInterface->OnTalkRequest(strPeer);
    BuildControlHeader(m_pBuf, bAccept ? TALK_ACCEPT : TALK_REFUSE);
    int nSent = Send(m_pBuf, kControlHeaderSize);
    if (!bAccept) {
        Close();
        return;
    }
    if (nSent != kControlHeaderSize)
        return;
    m_pUdp->SetHost(strPeer);
    m_pWaveIn->SetSend(TRUE);
    m_pInterface->m_bTalking = TRUE;
    m_pInterface->OnTalkBegin(strPeer);
}

void CClientSocket::OnClose(int nErrorCode)
{
    CSocket::OnClose(nErrorCode);
    m_pInterface->OnPeerClosed();
}

CListenSocket::CListenSocket(CInterface* pInterface, CMyWaveIn* pWaveIn, CUdpSocket* pUdp)
    : m_pClient(new CClientSocket(pInterface, pWaveIn, pUdp)), m_pInterface(pInterface),
      m_pWaveIn(pWaveIn), m_pUdp(pUdp)
{
}

CListenSocket::~CListenSocket()
{
    delete m_pClient;
}

CSendClient::CSendClient(CMyWaveIn* pWaveIn, CInterface* pInterface)
    : m_pBuf(new unsigned char[kControlBufferSize]()), m_pWaveIn(pWaveIn), m_pInterface(pInterface)
{
}

CSendClient::~CSendClient()
{
    delete[] m_pBuf;
}

BOOL CSendClient::SendRequest()
{
    BuildControlHeader(m_pBuf, TALK_REQUEST);
    return Send(m_pBuf, kControlHeaderSize) == kControlHeaderSize;
}

void CSendClient::OnReceive(int nErrorCode)
{
    uint32_t nCode = 0;
    if (!ReadMessage(*this, nullptr, m_pBuf, nCode))
        return;
    CAsyncSocket::OnReceive(nErrorCode);
    if (nCode == TALK_ACCEPT) {
        m_pWaveIn->SetSend(TRUE);
        m_pInterface->m_bTalking = TRUE;
        m_pInterface->OnTalkBegin(PeerAddress(*this));
    }
}

void CSendClient::OnConnect(int nErrorCode)
{
    CAsyncSocket::OnConnect(nErrorCode);
    m_pInterface->OnConnected(nErrorCode);
}

void CSendClient::OnClose(int nErrorCode)
{
    CAsyncSocket::OnClose(nErrorCode);
    m_pInterface->OnPeerClosed();
}
