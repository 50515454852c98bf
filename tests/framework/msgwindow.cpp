#include "tests/framework/msgwindow.h"

CMessageWindow::~CMessageWindow()
{
    DestroyDetachedWindow(m_hWnd);
}

HWND CMessageWindow::Create(const wchar_t* className, const wchar_t* title, DWORD style,
                            DWORD exStyle, HWND parent, int x, int y, int w, int h)
{
    HINSTANCE inst = ModuleInstance();
    WNDCLASSEXW wc = {};
    if (!::GetClassInfoExW(inst, className, &wc)) {
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &CMessageWindow::WindowProc;
        wc.hInstance = inst;
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.lpszClassName = className;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
    }
    return ::CreateWindowExW(exStyle, className, title, style, x, y, w, h, parent, nullptr, inst,
                             this);
}

LRESULT CALLBACK CMessageWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CMessageWindow* self = WindowObject<CMessageWindow>(hwnd, msg, lp);
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    BOOL handled = self->ProcessWindowMessage(hwnd, msg, wp, lp, result);
    if (!handled)
        result = ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        DetachWindowObject(hwnd, self);
        self->OnFinalMessage();
    }
    return result;
}
