#include "framework/bitmapbutton.h"

#include <commctrl.h>

#include "framework/window.h"

namespace {

WNDPROC g_buttonProc = nullptr;  // the system BUTTON procedure that every superclass chains to

bool RegisterSuperclass(const wchar_t* className, WNDPROC proc)
{
    HINSTANCE inst = ModuleInstance();
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(inst, className, &wc))
        return true;
    if (!::GetClassInfoExW(nullptr, L"BUTTON", &wc))
        return false;
    g_buttonProc = wc.lpfnWndProc;
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

CBitmapButtonImpl::CBitmapButtonImpl(const wchar_t* className, DWORD extendedStyle,
                                     HIMAGELIST imageList)
    : m_dwExtendedStyle(extendedStyle), m_hImageList(imageList), m_fMouseOver(0), m_fFocus(0),
      m_fPressed(0), m_pszClassName(className)
{
}

CBitmapButtonImpl::~CBitmapButtonImpl()
{
    DestroyDetachedWindow(m_hWnd);
    if (m_hWndToolTip)
        ::DestroyWindow(m_hWndToolTip);
}

HWND CBitmapButtonImpl::Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style,
                               DWORD exStyle, int id)
{
    if (!RegisterSuperclass(m_pszClassName, &CBitmapButtonImpl::WindowProc))
        return nullptr;
    return ::CreateWindowExW(exStyle, m_pszClassName, text ? text : L"", style | BS_OWNERDRAW,
                             rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ModuleInstance(), this);
}

void CBitmapButtonImpl::SetImages(int normal, int pushed, int focusOrHover, int disabled)
{
    m_nImage[kNormal] = normal;
    m_nImage[kPushed] = pushed;
    m_nImage[kFocusOrHover] = focusOrHover;
    m_nImage[kDisabled] = disabled;
}

void CBitmapButtonImpl::SetToolTipText(const wchar_t* text)
{
    m_strToolTip = text ? text : L"";
    if (!m_hWnd)
        return;
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = ::GetParent(m_hWnd);
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = const_cast<wchar_t*>(m_strToolTip.c_str());
    if (!m_hWndToolTip) {
        // Unowned, so that it never stands between its dialog and the topmost band (Wine places
        // an owner below its owned popups instead of making it topmost); destroyed with the button.
        m_hWndToolTip = ::CreateWindowExW(
            0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, ModuleInstance(), nullptr);
        if (m_hWndToolTip)
            ::SendMessageW(m_hWndToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    } else {
        ::SendMessageW(m_hWndToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

int CBitmapButtonImpl::CurrentImage() const
{
    int index = m_nImage[kNormal];
    if (m_fPressed)
        index = m_nImage[kPushed];
    else if ((IsHoverMode() && m_fMouseOver) || (!IsHoverMode() && m_fFocus))
        index = m_nImage[kFocusOrHover];
    else if (!::IsWindowEnabled(m_hWnd))
        index = m_nImage[kDisabled];
    return index == -1 ? m_nImage[kNormal] : index;
}

void CBitmapButtonImpl::Repaint()
{
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::UpdateWindow(m_hWnd);
}

void CBitmapButtonImpl::RelayToToolTip(UINT msg, WPARAM wp, LPARAM lp)
{
    if (!m_hWndToolTip)
        return;
    MSG m = {};
    m.hwnd = m_hWnd;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    m.time = static_cast<DWORD>(::GetMessageTime());
    DWORD pos = ::GetMessagePos();
    m.pt.x = static_cast<short>(LOWORD(pos));
    m.pt.y = static_cast<short>(HIWORD(pos));
    ::SendMessageW(m_hWndToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void CBitmapButtonImpl::OnMouseMove(LPARAM lp)
{
    if (::GetCapture() == m_hWnd) {
        POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ::ClientToScreen(m_hWnd, &pt);
        RECT rc;
        ::GetWindowRect(m_hWnd, &rc);
        const unsigned inside = ::PtInRect(&rc, pt) ? 1 : 0;
        if (inside != m_fPressed) {
            m_fPressed = inside;
            Repaint();
        }
    } else if (IsHoverMode() && !m_fMouseOver) {
        m_fMouseOver = 1;
        Repaint();
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        ::TrackMouseEvent(&tme);
    }
}

void CBitmapButtonImpl::OnLButtonUp()
{
    if (::GetCapture() != m_hWnd)
        return;
    const bool clicked = m_fPressed != 0;
    ::ReleaseCapture();  // WM_CAPTURECHANGED clears the pressed state and repaints
    if (!clicked)
        return;
    const int id = ::GetDlgCtrlID(m_hWnd);
    const WPARAM wp = MAKEWPARAM(id, BN_CLICKED);
    const LPARAM lp = reinterpret_cast<LPARAM>(m_hWnd);
    // OK and Cancel usually close the parent, so they must not run inside this call chain.
    if (id == IDOK || id == IDCANCEL)
        ::PostMessageW(::GetParent(m_hWnd), WM_COMMAND, wp, lp);
    else
        ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, wp, lp);
}

bool CBitmapButtonImpl::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    if ((msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_MOUSELEAVE)
        RelayToToolTip(msg, wp, lp);
    switch (msg) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        DoPaint(dc);
        ::EndPaint(m_hWnd, &ps);
        return true;
    }
    case WM_PRINTCLIENT:
        DoPaint(reinterpret_cast<HDC>(wp));
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(lp);
        return true;
    case WM_MOUSELEAVE:
        m_fMouseOver = 0;
        Repaint();
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ::SetCapture(m_hWnd);
        if (::GetCapture() == m_hWnd) {
            m_fPressed = 1;
            Repaint();
        }
        return true;
    case WM_LBUTTONUP:
        OnLButtonUp();
        return true;
    case WM_CAPTURECHANGED:
        if (m_fPressed) {
            m_fPressed = 0;
            Repaint();
        }
        return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
        return wp == VK_SPACE && IsHoverMode();
    default:
        return false;
    }
}

LRESULT CALLBACK CBitmapButtonImpl::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CBitmapButtonImpl* self = WindowObject<CBitmapButtonImpl>(hwnd, msg, lp);
    if (!self)
        return ::CallWindowProcW(g_buttonProc, hwnd, msg, wp, lp);
    LRESULT result = 0;
    if (self->HandleMessage(msg, wp, lp, result))
        return result;
    result = ::CallWindowProcW(g_buttonProc, hwnd, msg, wp, lp);
    switch (msg) {
    case WM_CREATE:
        self->OnCreate();
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        self->m_fFocus = msg == WM_SETFOCUS;
        self->Repaint();
        break;
    case WM_ENABLE:
        self->Repaint();
        break;
    case WM_NCDESTROY:
        DetachWindowObject(hwnd, self);
        if (self->m_hWndToolTip)
            ::DestroyWindow(self->m_hWndToolTip);
        self->m_hWndToolTip = nullptr;
        self->OnFinalMessage();
        break;
    }
    return result;
}
