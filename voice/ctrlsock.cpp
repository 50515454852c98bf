// The talk handshake over TCP: the control socket answers the peer's talk request, the
// requester socket plays the asking side. Both read control messages the same way.
#include "voice/voicesock.h"

#include "voice/engine.h"
#include "voice/wire.h"

#include <cstring>

namespace {

// Reads one control message from a socket. On a blocking socket the whole message must arrive
// within kControlWaitMs; on a non-blocking one a would-block ends it. A failed receive, the
// connection's end and an expired wait all stop the message.
class ControlReader {
public:
    ControlReader(CAsyncSocket& sock, CSocket* pBlocking)
        : m_sock(sock), m_pBlocking(pBlocking), m_ullDeadline(GetTickCount64() + kControlWaitMs)
    {
    }
    ~ControlReader()
    {
        if (m_pBlocking)
            m_pBlocking->SetTimeout(kControlWaitMs);
    }

    // Reads the message into pBuf (1024 bytes). FALSE when handling stops: a read failed or the
    // magic did not match (then the body is left unread).
    BOOL Read(unsigned char* pBuf, uint32_t& nCode)
    {
        if (!ReceiveAll(pBuf, kControlHeaderSize))
            return FALSE;
        ControlHeader header;
        if (!ParseControlHeader(pBuf, header))
            return FALSE;
        if (header.bodyLength > 0 && !ReceiveBody(pBuf + kControlHeaderSize, header.bodyLength))
            return FALSE;
        nCode = header.code;
        return TRUE;
    }

private:
    BOOL ReceiveAll(unsigned char* pBuf, int nLen)
    {
        for (int nGot = 0; nGot < nLen;) {
            if (m_pBlocking) {
                ULONGLONG ullNow = GetTickCount64();
                if (ullNow >= m_ullDeadline)
                    return FALSE;
                m_pBlocking->SetTimeout(static_cast<DWORD>(m_ullDeadline - ullNow));
            }
            int n = m_sock.Receive(pBuf + nGot, nLen - nGot);
            if (n == SOCKET_ERROR || n == 0)
                return FALSE;
            nGot += n;
        }
        return TRUE;
    }

    // What fits behind the header stays in pBuf; the rest is read and dropped, so the stream
    // stays in step with the peer's messages.
    BOOL ReceiveBody(unsigned char* pBuf, long nLen)
    {
        const long nRoom = kVoiceBufferSize - kControlHeaderSize;
        int nKept = static_cast<int>(nLen < nRoom ? nLen : nRoom);
        if (!ReceiveAll(pBuf, nKept))
            return FALSE;
        unsigned char scratch[256];
        for (long nLeft = nLen - nKept; nLeft > 0;) {
            int nChunk = static_cast<int>(nLeft < 256 ? nLeft : 256);
            if (!ReceiveAll(scratch, nChunk))
                return FALSE;
            nLeft -= nChunk;
        }
        return TRUE;
    }

    CAsyncSocket& m_sock;
    CSocket* m_pBlocking;
    ULONGLONG m_ullDeadline;
};

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
    : m_pBuf(new unsigned char[kVoiceBufferSize]()), m_pInterface(pInterface),
      m_pWaveIn(pWaveIn), m_pUdp(pUdp)
{
    SetTimeout(kControlWaitMs);
}

CClientSocket::~CClientSocket() { delete[] m_pBuf; }

void CClientSocket::OnReceive(int nErrorCode)
{
    uint32_t nCode = 0;
    if (!ControlReader(*this, this).Read(m_pBuf, nCode))
        return;
    if (nCode == TALK_REQUEST)
        AnswerRequest();
    CSocket::OnReceive(nErrorCode);
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
    m_pInterface->OnTalkBegin(strPeer);
    m_pUdp->SetHost(strPeer);
    m_pWaveIn->SetSend(TRUE);
    m_pInterface->m_bTalking = TRUE;
}

void CClientSocket::OnClose(int nErrorCode)
{
    m_pInterface->OnPeerClosed();
    CSocket::OnClose(nErrorCode);
}

CListenSocket::CListenSocket(CInterface* pInterface, CMyWaveIn* pWaveIn, CUdpSocket* pUdp)
    : m_pClient(new CClientSocket(pInterface, pWaveIn, pUdp)), m_pInterface(pInterface),
      m_pWaveIn(pWaveIn), m_pUdp(pUdp)
{
}

CListenSocket::~CListenSocket() { delete m_pClient; }

CSendClient::CSendClient(CMyWaveIn* pWaveIn, CInterface* pInterface)
    : m_pBuf(new unsigned char[kVoiceBufferSize]()), m_pWaveIn(pWaveIn), m_pInterface(pInterface)
{
}

CSendClient::~CSendClient() { delete[] m_pBuf; }

BOOL CSendClient::SendRequest()
{
    BuildControlHeader(m_pBuf, TALK_REQUEST);
    return Send(m_pBuf, kControlHeaderSize) == kControlHeaderSize;
}

void CSendClient::OnReceive(int nErrorCode)
{
    uint32_t nCode = 0;
    if (!ControlReader(*this, nullptr).Read(m_pBuf, nCode))
        return;
    if (nCode == TALK_ACCEPT) {
        m_pInterface->OnTalkBegin(PeerAddress(*this));
        m_pWaveIn->SetSend(TRUE);
        m_pInterface->m_bTalking = TRUE;
    }
    CAsyncSocket::OnReceive(nErrorCode);
}

void CSendClient::OnConnect(int nErrorCode)
{
    m_pInterface->OnConnected(nErrorCode);
    CAsyncSocket::OnConnect(nErrorCode);
}

void CSendClient::OnClose(int nErrorCode)
{
    m_pInterface->OnPeerClosed();
    CAsyncSocket::OnClose(nErrorCode);
}
