// The talk handshake over TCP: the control socket answers the peer's talk request, the
// requester socket plays the asking side. Both read control messages the same way.
#include "voice/voicesock.h"

#include "voice/engine.h"
#include "voice/engineuse.h"
#include "voice/wire.h"

namespace {

// Takes the next control message off the socket without waiting: peeks at what has arrived,
// lets the stream take bytes up to the end of the first message they complete, and receives
// exactly those. Bytes behind that message stay queued, and the system notifies them again.
// True with the message's code when one was completed.
bool TakeMessage(CAsyncSocket& sock, ControlStream& stream, unsigned char* pBuf, uint32_t& nCode)
{
    int n = sock.CAsyncSocket::Receive(pBuf, kControlBufferSize, MSG_PEEK);
    if (n <= 0)
        return false;
    size_t nUsed = 0;
    bool bMessage = stream.Feed(pBuf, static_cast<size_t>(n), GetTickCount64(), nUsed, nCode);
    sock.CAsyncSocket::Receive(pBuf, static_cast<int>(nUsed));
    return bMessage;
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
      m_pUdp(pUdp), m_bTalkBegun(FALSE)
{
    SetTimeout(kControlWaitMs);
    SetConnectTimeout(kConnectWaitMs);
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
    CSocket::OnReceive(nErrorCode);
    uint32_t nCode = 0;
    if (!TakeMessage(*this, m_stream, m_pBuf, nCode) || nCode != TALK_REQUEST)
        return;
    // The reply's send waits, and a handler run meanwhile may end the talk: the engine (with this
    // socket) outlives the answer.
    CEngineUse use(m_pInterface);
    AnswerRequest();
}

void CClientSocket::Close()
{
    m_stream.Reset();
    m_bTalkBegun = FALSE;
    CSocket::Close();
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
    // A further request on the same connection is answered alike; its talk has begun already.
    if (m_bTalkBegun)
        return;
    m_bTalkBegun = TRUE;
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
    CAsyncSocket::OnReceive(nErrorCode);
    uint32_t nCode = 0;
    if (!TakeMessage(*this, m_stream, m_pBuf, nCode))
        return;
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
