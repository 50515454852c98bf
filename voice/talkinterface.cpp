// CTalkInterface: the exported handle that owns one voice engine and forwards every call to it.
#include "voice/vocalis.h"

#include "framework/socket.h"
#include "voice/engine.h"

DWORD g_dwTls = 0;
HWND g_hMainWnd = nullptr;

CTalkInterface::CTalkInterface(HWND hNotifyWnd) : m_pInterface(nullptr), m_hNotifyWnd(hNotifyWnd) {}

CTalkInterface::CTalkInterface(const CTalkInterface& other) = default;

CTalkInterface& CTalkInterface::operator=(const CTalkInterface& other) = default;

CTalkInterface::~CTalkInterface()
{
    if (m_pInterface) {
        m_pInterface->Stop();
        delete m_pInterface;
        m_pInterface = nullptr;
    }
}

int CTalkInterface::Init()
{
    if (!m_pInterface) {
        SocketInit();  // the calling thread's socket bookkeeping
        m_pInterface = new CInterface(m_hNotifyWnd);
    }
    return m_pInterface->Init();
}

int CTalkInterface::Start(const char* host, int tcpPort, int udpPort)
{
    if (!m_pInterface || !host)
        return 0;
    std::string strHost(host);
    return m_pInterface->Start(strHost, tcpPort, udpPort);
}

void CTalkInterface::EnableSound(int enable)
{
    if (m_pInterface && m_pInterface->m_pWaveIn)
        m_pInterface->m_pWaveIn->SetSend(enable);
}

int CTalkInterface::End()
{
    if (!m_pInterface)
        return 0;
    int nResult = m_pInterface->Stop();
    delete m_pInterface;
    m_pInterface = nullptr;
    return nResult;
}
