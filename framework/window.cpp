#include "framework/window.h"

HINSTANCE ModuleInstance()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
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
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
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
