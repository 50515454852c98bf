// CInterface: construction, Init, Start, Stop, the peer's close, and destruction in the orders
// the engine's members need; CMyWaveIn: the send path of every captured block.
#include "voice/engine.h"

#include "voice/appstate.h"
#include "voice/codec/audiocode.h"
#include "voice/liblock.h"
#include "voice/loghook.h"
#include "voice/vocalis.h"
#include "voice/wavedev.h"
#include "voice/waveout.h"
#include "voice/wire.h"

CMyWaveIn::CMyWaveIn(CUdpSocket* pUdp) : m_pUdp(pUdp), m_bSend(FALSE), m_encBuf()
{
    m_nChannels = 1;
    m_nSamplesPerSec = 8000;
    m_nBitsPerSample = 16;
}

CMyWaveIn::~CMyWaveIn() = default;

int CMyWaveIn::OnWaveData(short* pData, int nBytes)
{
    m_csSend.Lock();
    if (m_bSend) {
        int nCoded = 0;
        LibraryLock().Lock();
        int bCoded = TheAudioCode().Encode(pData, nBytes, m_encBuf, &nCoded);
        LibraryLock().Unlock();
        // A block the codec refuses (not 960 bytes) produces nothing, so nothing is sent.
        if (bCoded)
            m_pUdp->Send(m_encBuf, nCoded);
    }
    m_csSend.Unlock();
    return CWaveIn::OnWaveData(pData, nBytes);
}

void CMyWaveIn::SetSend(BOOL bSend)
{
    m_csSend.Lock();
    m_bSend = bSend;
    m_csSend.Unlock();
}

CWaveOut* ThreadWaveOut()
{
    return static_cast<CWaveOut*>(TlsGetValue(g_dwTls));
}

void PlayCodedBlock(const unsigned char* pCoded)
{
    short pcm[kVoiceBufferSize / 2];  // the device copies the block, so the stack will do
    int nBytes = 0;
    LibraryLock().Lock();
    TheAudioCode().Decode(pCoded, pcm, &nBytes);
    LibraryLock().Unlock();
    if (CWaveOut* pOut = ThreadWaveOut())
        pOut->Play(pcm, nBytes);
}

// The playout's hold on the codec and the thread's playback device.
CPlayout::Actions DevicePlayout()
{
    CPlayout::Actions actions;
    actions.decode = [](const unsigned char* pCoded, int16_t* pPcm) {
        CScopedLock lock(LibraryLock());
        TheAudioCode().Decode(pCoded, pPcm, nullptr);
    };
    actions.conceal = [](int16_t* pPcm) {
        CScopedLock lock(LibraryLock());
        TheAudioCode().Conceal(pPcm, nullptr);
    };
    actions.play = [](const int16_t* pPcm, int nSamples) {
        if (CWaveOut* pOut = ThreadWaveOut())
            pOut->Play(pPcm, nSamples * static_cast<int>(sizeof(int16_t)));
    };
    actions.queued = [] {
        CWaveOut* pOut = ThreadWaveOut();
        return pOut ? pOut->QueuedCount() : 0;
    };
    actions.log = VoiceLog;
    return actions;
}

CInterface::CInterface(HWND hNotifyWnd)
    : m_bInit(FALSE), m_bTalking(FALSE), m_pWaveIn(nullptr), m_pListen(nullptr),
      m_pSendClient(nullptr), m_pUdp(nullptr), m_pRec(nullptr), m_hNotifyWnd(hNotifyWnd)
{
    m_pUdp = new CUdpSocket();
    m_pRec = new CRecSocket(PlayCodedBlock, DevicePlayout());
    m_pRec->m_callPeer = [this] { return CallPeer(); };
    if (!ThreadWaveOut())
        TlsSetValue(g_dwTls, new CWaveOut());
    m_pWaveIn = new CMyWaveIn(m_pUdp);
    m_pListen = new CListenSocket(this, m_pWaveIn, m_pUdp);
    m_pSendClient = new CSendClient(m_pWaveIn, this);
}

HWND CInterface::TalkNotifyWindow() const
{
    // A client in the background (minimised, or in the tray) has no active window; it still
    // hears of its talks at the window it gave the interface, when that window is this
    // thread's (a window of another thread would make the send wait for that thread).
    HWND hWnd = AppThreadMainWnd();
    if (hWnd || GetActiveWindow() || !m_hNotifyWnd)
        return hWnd;
    return GetWindowThreadProcessId(m_hNotifyWnd, nullptr) == GetCurrentThreadId() ? m_hNotifyWnd
                                                                                   : nullptr;
}

void CInterface::OnTalkEnd()
{
    if (HWND hWnd = TalkNotifyWindow())
        SendMessageA(hWnd, WM_TALK_END, 0, 0);
}

void CInterface::OnTalkBegin(std::string strPeer)
{
    if (HWND hWnd = TalkNotifyWindow())
        SendMessageA(hWnd, WM_TALK_BEGIN, 0, 0);
}

BOOL CInterface::OnTalkRequest(std::string strPeer)
{
    return TRUE;
}

void CInterface::OnConnectResult(int nResult)
{
    if (m_hNotifyWnd)
        PostMessageA(m_hNotifyWnd, WM_TALK_CONNECT, static_cast<WPARAM>(nResult), 0);
}

CInterface::~CInterface()
{
    if (CWaveOut* pOut = ThreadWaveOut())
        pOut->SetClockHook(nullptr);  // nothing more is fed to the device from this engine
    if (m_bTalking)
        Stop();
    m_pWaveIn->StopCapture();
    CloseVoiceSockets();
    if (CWaveOut* pOut = ThreadWaveOut()) {
        TlsSetValue(g_dwTls, nullptr);
        pOut->CloseDev();
        pOut->StopThread();
        delete pOut;
    }
    delete m_pSendClient;
    delete m_pListen;
    delete m_pWaveIn;
    delete m_pUdp;
    delete m_pRec;
}

BOOL CInterface::OpenVoiceSockets()
{
    m_pRec->m_bCreated = m_pRec->Create(0, SOCK_DGRAM, kAllSocketEvents);
    if (!m_pRec->m_bCreated)
        return FALSE;
    m_pUdp->m_bCreated = m_pUdp->Create(0, SOCK_DGRAM, kAllSocketEvents);
    if (!m_pUdp->m_bCreated) {
        m_pRec->Close();
        m_pRec->m_bCreated = FALSE;
        return FALSE;
    }
    return TRUE;
}

void CInterface::CloseVoiceSockets()
{
    if (m_pUdp->m_bCreated) {
        m_pUdp->Close();
        m_pUdp->m_bCreated = FALSE;
    }
    if (m_pRec->m_bCreated) {
        m_pRec->Close();
        m_pRec->m_bCreated = FALSE;
    }
}

BOOL CInterface::StartDevices(CWaveOut* pOut)
{
    if (!pOut || !pOut->StartThread())
        return FALSE;
    if (!pOut->OpenDev()) {
        pOut->StopThread();
        return FALSE;
    }
    if (m_pWaveIn->StartCapture())
        return TRUE;
    pOut->CloseDev();
    pOut->StopThread();
    return FALSE;
}

int CInterface::Init()
{
    if (m_bInit)
        return 1;
    if (!OpenVoiceSockets())
        return 0;
    if (!StartDevices(ThreadWaveOut())) {
        CloseVoiceSockets();
        return 0;
    }
    StartPlayout(ThreadWaveOut());
    m_bInit = TRUE;
    return 1;
}

// The switch is read once here: the ordering store that plays on arrival, or the playout that
// the device's completions drive.
void CInterface::StartPlayout(CWaveOut* pOut)
{
    char szValue[16] = {};
    DWORD n = GetEnvironmentVariableA(kPlayoutSwitch, szValue, sizeof(szValue));
    const bool bClassic = n > 0 && n < sizeof(szValue) && ClassicPlayoutSelected(szValue);
    m_pRec->m_recv.SetClassic(bClassic);
    VoiceLogFormat("CInterface::Init: %s playout", bClassic ? "classic" : "device-clock");
    if (bClassic)
        return;
    CRecSocket* pRec = m_pRec;
    pOut->SetClockHook([pRec](bool bBlockDone) {
        if (bBlockDone)
            pRec->m_recv.OnBlockDone(PlayoutClockMs());
        else
            pRec->m_recv.OnTick(PlayoutClockMs());
    });
}

std::string CInterface::CallPeer() const
{
    std::string strAddr;
    UINT nPort = 0;
    if (!m_bTalking || !m_pListen->m_pClient->GetPeerName(strAddr, nPort))
        strAddr.clear();
    return strAddr;
}

int CInterface::Start(const std::string& host, int tcpPort, int udpPort)
{
    if (m_bTalking)
        return 0;
    char szName[128] = {};
    if (gethostname(szName, sizeof(szName)) != 0 || !gethostbyname(szName))
        return 0;
    if (!m_pSendClient->Create(0, SOCK_STREAM, kAllSocketEvents))
        return 0;
    CClientSocket* pControl = m_pListen->m_pClient;
    BOOL bConnected = pControl->Create(0, SOCK_STREAM, kAllSocketEvents) &&
                      pControl->Connect(host.c_str(), static_cast<UINT>(tcpPort));
    if (!bConnected && CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) {
        // The unconnected control socket is closed too, so the next Start opens it afresh.
        pControl->Close();
        m_pSendClient->Close();
        return 0;
    }
    m_pUdp->SetHost(host);
    m_pUdp->m_nPort = static_cast<UINT>(udpPort);
    m_pRec->m_recv.Reset();  // nothing of an earlier call plays in this one
    m_pRec->SendHello(host, static_cast<UINT>(udpPort));
    m_bTalking = TRUE;
    return 1;
}

void CInterface::HangUp()
{
    m_pRec->m_recv.Reset();
    m_pWaveIn->SetSend(FALSE);
    m_pSendClient->Close();
    m_pListen->m_pClient->Close();
    m_bTalking = FALSE;
}

int CInterface::Stop()
{
    if (!m_bTalking)
        return 0;
    HangUp();
    return 1;
}

void CInterface::OnPeerClosed()
{
    LibraryLock().Lock();
    BOOL bWasTalking = m_bTalking;
    if (bWasTalking)
        HangUp();
    LibraryLock().Unlock();
    // Last, and outside the lock: the client's handler may run a modal loop, or end the call
    // and so destroy this engine.
    if (bWasTalking)
        OnTalkEnd();
}

void CInterface::OnConnected(int nErrorCode)
{
    if (nErrorCode != 0) {
        m_bTalking = FALSE;
        OnConnectResult(0);
        return;
    }
    // The result is posted, so the client's handler runs later, not inside this call.
    OnConnectResult(1);
    m_pSendClient->SendRequest();
}
