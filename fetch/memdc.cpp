#include "fetch/memdc.h"

CMemDC::CMemDC(HDC target, const RECT* rect, COLORREF color, bool useColor) : m_hDCTarget(target)
{
    if (rect)
        m_rc = *rect;
    else
        ::GetClipBox(target, &m_rc);

    m_hDC = ::CreateCompatibleDC(target);
    ::LPtoDP(target, reinterpret_cast<POINT*>(&m_rc), 2);
    m_bitmap = ::CreateCompatibleBitmap(target, m_rc.right - m_rc.left, m_rc.bottom - m_rc.top);
    m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap);

    ::SetMapMode(m_hDC, ::GetMapMode(target));
    SIZE extent;
    ::GetWindowExtEx(target, &extent);
    ::SetWindowExtEx(m_hDC, extent.cx, extent.cy, nullptr);
    ::GetViewportExtEx(target, &extent);
    ::SetViewportExtEx(m_hDC, extent.cx, extent.cy, nullptr);
    ::DPtoLP(target, reinterpret_cast<POINT*>(&m_rc), 2);
    ::SetWindowOrgEx(m_hDC, m_rc.left, m_rc.top, nullptr);

    HBRUSH brush = ::CreateSolidBrush(useColor ? color : ::GetBkColor(target));
    ::FillRect(m_hDC, &m_rc, brush);
    ::DeleteObject(brush);
}

CMemDC::~CMemDC()
{
    ::BitBlt(m_hDCTarget, m_rc.left, m_rc.top, m_rc.right - m_rc.left, m_rc.bottom - m_rc.top,
             m_hDC, m_rc.left, m_rc.top, SRCCOPY);
    ::SelectObject(m_hDC, m_hOldBitmap);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_hDC);
}
