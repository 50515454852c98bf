// CTalkInterface: the exported handle that owns one voice engine and forwards every call to it.
//
// A client's handler may call back in (End, delete, Init, Start) from inside the library's own
// waits: each entry point holds the engine through a CEngineUse and lets go of it before it tears
// it down.
#include "voice/vocalis.h"

#include "framework/socket.h"
#include "voice/engine.h"
#include "voice/engineuse.h"

DWORD g_dwTls = 0;
HWND g_hMainWnd = nullptr;

CTalkInterface::CTalkInterface(HWND hNotifyWnd) : m_pInterface(nullptr), m_hNotifyWnd(hNotifyWnd) {}

CTalkInterface::CTalkInterface(const CTalkInterface& other) = default;

// The engine this object held, if another than the one it takes over, is ended first: nothing
// else would ever release its sockets, devices and threads.
CTalkInterface& CTalkInterface::operator=(const CTalkInterface& other)
{
    CInterface* pEngine = other.m_pInterface;
    HWND hNotifyWnd = other.m_hNotifyWnd;
    if (m_pInterface != pEngine)
        End();
    m_pInterface = pEngine;
    m_hNotifyWnd = hNotifyWnd;
    return *this;
}

CTalkInterface::~CTalkInterface()
{
    End();
}

int CTalkInterface::Init()
{
    if (!m_pInterface) {
        if (EngineBeingDestroyed())
            return 0;
        SocketInit();  // the calling thread's socket bookkeeping
        m_pInterface = new CInterface(m_hNotifyWnd);
    }
    CInterface* pEngine = m_pInterface;
    if (pEngine->m_bEnded)
        return 0;  // a copy's End is tearing it down
    CEngineUse use(pEngine);
    return use.Result(pEngine->Init());
}

int CTalkInterface::Start(const char* host, int tcpPort, int udpPort)
{
    CInterface* pEngine = m_pInterface;
    if (!pEngine || !host || !pEngine->m_bInit || pEngine->m_bEnded)
        return 0;
    std::string strHost(host);
    CEngineUse use(pEngine);
    return use.Result(pEngine->Start(strHost, tcpPort, udpPort));
}

void CTalkInterface::EnableSound(int enable)
{
    if (m_pInterface && !m_pInterface->m_bEnded && m_pInterface->m_pWaveIn)
        m_pInterface->m_pWaveIn->SetSend(enable);
}

// The member is cleared before the hang-up and the destruction, whose waits may run a handler
// that calls End again or deletes this object: neither may find the engine.
int CTalkInterface::End()
{
    CInterface* pEngine = m_pInterface;
    if (!pEngine || pEngine->m_bEnded)
        return 0;
    m_pInterface = nullptr;
    pEngine->m_bEnded = TRUE;
    CEngineUse use(pEngine);
    return pEngine->Stop();
}
