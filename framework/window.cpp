#include "framework/window.h"

HINSTANCE ModuleInstance()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

void DestroyDetachedWindow(HWND hwnd)
{
    if (hwnd && ::IsWindow(hwnd)) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }
}

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

CDialog::~CDialog()
{
    if (!m_bModal && m_hWnd && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
}

INT_PTR CDialog::DoModal(HWND parent)
{
    m_bModal = true;
    return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(m_nTemplate), parent,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND CDialog::Create(HWND parent)
{
    m_bModal = false;
    return ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(m_nTemplate), parent,
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::DestroyWindow(m_hWnd);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;

    LRESULT result = 0;
    INT_PTR ret = FALSE;
    if (self->ProcessWindowMessage(hwnd, msg, wp, lp, result)) {
        // Messages whose answer is the dialog procedure's return value itself.
        switch (msg) {
        case WM_CTLCOLORDLG: case WM_CTLCOLORSTATIC: case WM_CTLCOLOREDIT: case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX: case WM_CTLCOLORSCROLLBAR: case WM_INITDIALOG:
        case WM_QUERYDRAGICON: case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM:
            ret = static_cast<INT_PTR>(result);
            break;
        default:
            ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            ret = TRUE;
        }
    } else if (msg == WM_INITDIALOG) {
        ret = self->OnInitDialog();
    } else if (msg == WM_COMMAND && (HIWORD(wp) == BN_CLICKED || lp == 0) &&
               (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        if (LOWORD(wp) == IDOK)
            self->OnOK();
        else
            self->OnCancel();
        ret = TRUE;
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        if (!self->m_bModal)
            self->OnFinalMessage();
    }
    return ret;
}

int RunMessageLoop(HWND modelessDialog)
{
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return -1;
        if (modelessDialog && ::IsWindow(modelessDialog) && ::IsDialogMessageW(modelessDialog, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
