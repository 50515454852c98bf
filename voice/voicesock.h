// The voice session's five sockets. Two carry speech over UDP: CUdpSocket sends the numbered
// voice packets, CRecSocket receives them into the receive path (playout or ordering store). Three carry the talk
// handshake over TCP: CClientSocket is the control socket that answers the peer's talk
// request, CListenSocket owns it, and CSendClient plays the requesting side.
// All of them run their handlers on the thread that opened them (the client's thread).
#pragma once

#include "framework/socket.h"
#include "voice/receiver.h"
#include "voice/wire.h"

#include <functional>

#include <string>

class CInterface;
class CMyWaveIn;

// Size of every socket buffer of the engine: a datagram, a control message and its reply.
const int kVoiceBufferSize = 1024;
// How long the control socket waits for its reply to go out before it gives up on it: a peer
// that stalls must not hold the thread for ever. (Received messages are never waited for; one
// not whole within ControlStream::kMessageTimeMs is dropped.)
const DWORD kControlWaitMs = 3000;
// How long Start waits for the control connection: a host that drops connection attempts would
// otherwise hold the client's thread until the system gives up (minutes).
const DWORD kConnectWaitMs = 10000;

class CUdpSocket : public CAsyncSocket {
public:
    CUdpSocket();
    ~CUdpSocket() override;

    // Numbers the next packet, puts nBufLen payload bytes (at most 1008) behind the 16-byte
    // header and sends it to (m_strHost, m_nPort). The counter advances even when sending fails.
    int Send(const void* lpBuf, int nBufLen, int nFlags = 0) override;
    void SetHost(const std::string& host) { m_strHost = host; }

    BOOL m_bCreated;
    std::string m_strHost;
    unsigned char m_packet[kVoiceBufferSize];
    UINT m_nPort;

private:
    // The destination's address, resolved once per change of (m_strHost, m_nPort): a host name
    // is not looked up again for every 60 ms packet. A name that did not resolve fails every
    // send, with the lookup's error, until the destination changes.
    bool Destination();

    bool m_bDestKnown;
    std::string m_strDestHost;
    UINT m_nDestPort;
    sockaddr_in m_destAddr;
    int m_nDestError;  // 0 when m_destAddr holds the destination
};

class CRecSocket : public CSocket {
public:
    CRecSocket(CSortData::PlayAction classicPlay, CPlayout::Actions playout);
    ~CRecSocket() override;

    // Sends the 4-byte hello datagram to (host, port) so the peer learns where speech goes.
    void SendHello(const std::string& host, UINT port);

    CVoiceReceiver m_recv;
    // The call's peer address (dotted), empty when no call runs: only its datagrams are taken.
    std::function<std::string()> m_callPeer;
    BOOL m_bCreated;
    unsigned char m_recvBuf[kVoiceBufferSize];

protected:
    void OnReceive(int nErrorCode) override;
};

class CClientSocket : public CSocket {
public:
    CClientSocket(CInterface* pInterface, CMyWaveIn* pWaveIn, CUdpSocket* pUdp);
    ~CClientSocket() override;

    // Also forgets the connection's partial message and whether its talk has begun.
    void Close() override;

    unsigned char* m_pBuf;
    CInterface* m_pInterface;
    CMyWaveIn* m_pWaveIn;
    CUdpSocket* m_pUdp;

protected:
    void OnReceive(int nErrorCode) override;
    void OnClose(int nErrorCode) override;

private:
    // Answers a talk request: accept (and start the session) or refuse (and hang up).
    void AnswerRequest();

    ControlStream m_stream;  // the connection's control messages as they arrive
    BOOL m_bTalkBegun;       // WM_TALK_BEGIN was sent for this connection
};

class CListenSocket : public CSocket {
public:
    CListenSocket(CInterface* pInterface, CMyWaveIn* pWaveIn, CUdpSocket* pUdp);
    ~CListenSocket() override;

    CClientSocket* m_pClient;
    CInterface* m_pInterface;
    CMyWaveIn* m_pWaveIn;
    CUdpSocket* m_pUdp;
};

class CSendClient : public CAsyncSocket {
public:
    CSendClient(CMyWaveIn* pWaveIn, CInterface* pInterface);
    ~CSendClient() override;

    // Sends TALK_REQUEST over this socket once it is connected.
    BOOL SendRequest();

    unsigned char* m_pBuf;
    CMyWaveIn* m_pWaveIn;
    CInterface* m_pInterface;

protected:
    void OnReceive(int nErrorCode) override;
    void OnConnect(int nErrorCode) override;
    void OnClose(int nErrorCode) override;

private:
    ControlStream m_stream;
};
