// The voice engine behind a CTalkInterface: it owns the capture device, the five sockets and
// wires capture -> codec -> network and network -> ordering store -> codec -> playback.
// Everything runs on the client's thread, driven by its message loop.
#pragma once

#include "framework/critsec.h"
#include "voice/voicesock.h"
#include "voice/wavein.h"

#include <windows.h>

#include <string>

class CWaveOut;

// The capture device of the engine: every captured block is coded and sent while m_bSend is on.
class CMyWaveIn : public CWaveIn {
public:
    explicit CMyWaveIn(CUdpSocket* pUdp);
    ~CMyWaveIn() override;

    int OnWaveData(short* pData, int nBytes) override;
    void SetSend(BOOL bSend);

    CUdpSocket* m_pUdp;
    BOOL m_bSend;
    CCriticalSection m_csSend;
    unsigned char m_encBuf[kVoiceBufferSize];
};

class CInterface {
public:
    explicit CInterface(HWND hNotifyWnd);

    // Notification hooks, in this slot order. OnTalkBegin and OnTalkEnd run the client's
    // handler, which may destroy this engine: every caller makes them its last step.
    virtual void OnTalkEnd();
    virtual void OnTalkBegin(std::string strPeer);
    virtual BOOL OnTalkRequest(std::string strPeer);
    virtual void OnConnectResult(int nResult);
    virtual ~CInterface();

    CInterface(const CInterface&) = delete;
    CInterface& operator=(const CInterface&) = delete;

    int Init();
    int Start(const std::string& host, int tcpPort, int udpPort);
    int Stop();
    void OnPeerClosed();
    void OnConnected(int nErrorCode);

    BOOL m_bInit;
    BOOL m_bTalking;
    CMyWaveIn* m_pWaveIn;
    CListenSocket* m_pListen;
    CSendClient* m_pSendClient;
    CUdpSocket* m_pUdp;
    CRecSocket* m_pRec;
    HWND m_hNotifyWnd;
    // Kept by CEngineUse: the calls running inside this engine, and whether it was ended (it is
    // deleted once none runs).
    int m_nUses = 0;
    BOOL m_bEnded = FALSE;

private:
    // Where WM_TALK_BEGIN and WM_TALK_END go: the thread's main window (its active window on
    // the thread that loaded the library); when the thread has no active window, m_hNotifyWnd
    // if it belongs to this thread.
    HWND TalkNotifyWindow() const;
    // Steps 2 to 5 of hanging up: sending off, both TCP sockets closed, no session; the receive
    // path is emptied.
    void HangUp();
    BOOL OpenVoiceSockets();
    void CloseVoiceSockets();
    // Starts the thread's playback device and the capture device; undoes what it did on failure.
    BOOL StartDevices(CWaveOut* pOut);
    // Chooses the receive path's store and, for the playout, hooks it to the device's clock.
    void StartPlayout(CWaveOut* pOut);
    // The control connection's remote address during a call; empty otherwise.
    std::string CallPeer() const;
};

// The thread's playback device, kept in the client's TLS slot g_dwTls (null when none).
CWaveOut* ThreadWaveOut();
// Decodes one 60-byte coded block under the library lock and plays it on the thread's device.
void PlayCodedBlock(const unsigned char* pCoded);
