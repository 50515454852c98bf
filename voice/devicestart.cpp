#include "voice/devicestart.h"

void CDeviceStartup::Opened(uint32_t nowMs)
{
    m_openedMs = nowMs;
    m_bWatching = true;
    m_bWritten = false;
}

void CDeviceStartup::Written(uint32_t nowMs)
{
    if (Starting(nowMs))
        m_bWritten = true;
}

bool CDeviceStartup::ResetDue(uint32_t nowMs)
{
    if (!m_bWatching || Starting(nowMs))
        return false;
    m_bWatching = false;
    return m_bWritten;
}

bool CDeviceStartup::Starting(uint32_t nowMs) const
{
    return m_bWatching && nowMs - m_openedMs < kStartupMs;
}
