// CAsyncSocket: a non-blocking socket notified through its thread's socket window.
#include "framework/socket.h"

#include "framework/sockcore.h"

#include <cstring>

namespace {

void FormatAddress(const sockaddr_in& sa, std::string& rAddress, UINT& rPort)
{
    rAddress = inet_ntoa(sa.sin_addr);
    rPort = ntohs(sa.sin_port);
}

// Either end's address of a socket (getpeername or getsockname) as dotted text and port.
BOOL QueryName(int(WSAAPI* pfnQuery)(SOCKET, sockaddr*, int*), SOCKET hSocket,
               std::string& rAddress, UINT& rPort)
{
    sockaddr_in sa = {};
    int nLen = sizeof sa;
    if (pfnQuery(hSocket, reinterpret_cast<sockaddr*>(&sa), &nLen) == SOCKET_ERROR)
        return FALSE;
    FormatAddress(sa, rAddress, rPort);
    return TRUE;
}

}  // namespace

CAsyncSocket::CAsyncSocket() : m_hSocket(INVALID_SOCKET), m_pThreadState(nullptr), m_lEvent(0) {}

CAsyncSocket::~CAsyncSocket()
{
    CAsyncSocket::Close();
}

BOOL CAsyncSocket::Fail(int nError)
{
    WSASetLastError(nError);
    return FALSE;
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent)
{
    Close();
    if (nSocketPort > 0xFFFF)
        return Fail(WSAEINVAL);
    SOCKET hSocket = socket(AF_INET, nSocketType, 0);
    if (hSocket == INVALID_SOCKET)
        return FALSE;
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    sa.sin_port = htons(static_cast<u_short>(nSocketPort));
    if (bind(hSocket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
        int nError = WSAGetLastError();
        closesocket(hSocket);
        return Fail(nError);
    }
    return Register(hSocket, lEvent);
}

BOOL CAsyncSocket::Register(SOCKET hSocket, long lEvent)
{
    SocketThreadState* pState = SocketThreadState::Current(true);
    if (!pState) {
        int nError = WSAGetLastError();
        closesocket(hSocket);
        return Fail(nError);
    }
    m_hSocket = hSocket;
    m_pThreadState = pState;
    m_lEvent = lEvent;
    pState->Add(hSocket, this);
    if (WSAAsyncSelect(hSocket, pState->Window(), WM_SOCKET_NOTIFY, lEvent) == SOCKET_ERROR) {
        int nError = WSAGetLastError();
        Close();
        return Fail(nError);
    }
    return TRUE;
}

void CAsyncSocket::Close()
{
    if (m_hSocket == INVALID_SOCKET)
        return;
    int nError = WSAGetLastError();  // closing never changes the caller's error
    SOCKET hSocket = m_hSocket;
    SocketThreadState* pState = m_pThreadState;
    m_hSocket = INVALID_SOCKET;
    m_pThreadState = nullptr;
    if (pState)
        WSAAsyncSelect(hSocket, pState->Window(), 0, 0);
    closesocket(hSocket);
    if (pState)
        pState->Remove(hSocket);
    WSASetLastError(nError);
}

BOOL CAsyncSocket::AsyncSelect(long lEvent)
{
    if (m_hSocket == INVALID_SOCKET || !m_pThreadState)
        return Fail(WSAENOTSOCK);
    if (WSAAsyncSelect(m_hSocket, m_pThreadState->Window(), WM_SOCKET_NOTIFY, lEvent) ==
        SOCKET_ERROR)
        return FALSE;
    m_lEvent = lEvent;
    return TRUE;
}

BOOL CAsyncSocket::ResolveAddress(LPCSTR lpszHostAddress, UINT nPort, sockaddr_in& sa)
{
    if (!lpszHostAddress || !*lpszHostAddress)
        return Fail(WSAEDESTADDRREQ);
    if (nPort > 0xFFFF)
        return Fail(WSAEINVAL);
    sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(nPort));
    unsigned long ulAddress = inet_addr(lpszHostAddress);
    if (ulAddress == INADDR_NONE && std::strcmp(lpszHostAddress, "255.255.255.255") != 0) {
        hostent* pHost = gethostbyname(lpszHostAddress);
        if (!pHost || pHost->h_addrtype != AF_INET || !pHost->h_addr_list[0]) {
            int nError = WSAGetLastError();
            return Fail(nError ? nError : WSAHOST_NOT_FOUND);
        }
        std::memcpy(&ulAddress, pHost->h_addr_list[0], sizeof ulAddress);
    }
    sa.sin_addr.s_addr = ulAddress;
    return TRUE;
}

BOOL CAsyncSocket::Connect(LPCSTR lpszHostAddress, UINT nHostPort)
{
    sockaddr_in sa;
    if (!ResolveAddress(lpszHostAddress, nHostPort, sa))
        return FALSE;
    return connect(m_hSocket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != SOCKET_ERROR;
}

BOOL CAsyncSocket::Listen(int nConnectionBacklog)
{
    return listen(m_hSocket, nConnectionBacklog) != SOCKET_ERROR;
}

BOOL CAsyncSocket::Accept(CAsyncSocket& rConnected)
{
    sockaddr_in sa;
    int nLen = sizeof sa;
    SOCKET hSocket = accept(m_hSocket, reinterpret_cast<sockaddr*>(&sa), &nLen);
    if (hSocket == INVALID_SOCKET)
        return FALSE;
    rConnected.Close();
    return rConnected.Register(hSocket, m_lEvent);
}

int CAsyncSocket::Send(const void* lpBuf, int nBufLen, int nFlags)
{
    return send(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::Receive(void* lpBuf, int nBufLen, int nFlags)
{
    return recv(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::SendTo(const void* lpBuf, int nBufLen, UINT nHostPort, LPCSTR lpszHostAddress,
                         int nFlags)
{
    sockaddr_in sa;
    if (!ResolveAddress(lpszHostAddress, nHostPort, sa))
        return SOCKET_ERROR;
    return sendto(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags,
                  reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

int CAsyncSocket::SendTo(const void* lpBuf, int nBufLen, const sockaddr_in& to, int nFlags)
{
    return sendto(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int CAsyncSocket::ReceiveFrom(void* lpBuf, int nBufLen, std::string& rSocketAddress,
                              UINT& rSocketPort, int nFlags)
{
    sockaddr_in sa = {};
    int nLen = sizeof sa;
    int nResult = recvfrom(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags,
                           reinterpret_cast<sockaddr*>(&sa), &nLen);
    if (nResult != SOCKET_ERROR)
        FormatAddress(sa, rSocketAddress, rSocketPort);
    return nResult;
}

BOOL CAsyncSocket::GetPeerName(std::string& rPeerAddress, UINT& rPeerPort) const
{
    return QueryName(getpeername, m_hSocket, rPeerAddress, rPeerPort);
}

BOOL CAsyncSocket::GetSockName(std::string& rSocketAddress, UINT& rSocketPort) const
{
    return QueryName(getsockname, m_hSocket, rSocketAddress, rSocketPort);
}

void CAsyncSocket::DispatchEvent(long lEvent, int nErrorCode)
{
    switch (lEvent) {
    case FD_READ:
        OnReceive(nErrorCode);
        break;
    case FD_WRITE:
        OnSend(nErrorCode);
        break;
    case FD_OOB:
        OnOutOfBandData(nErrorCode);
        break;
    case FD_ACCEPT:
        OnAccept(nErrorCode);
        break;
    case FD_CONNECT:
        OnConnect(nErrorCode);
        break;
    case FD_CLOSE:
        OnClose(nErrorCode);
        break;
    default:
        break;
    }
}
