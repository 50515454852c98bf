// Thin window and dialog classes over Win32: a handle wrapper, the link between a window and its
// object, and dialogs from templates (modal and modeless). Each class wraps one Win32
// concept and keeps no hidden state. Explicit W forms throughout, so ANSI and Unicode programs
// can both use it (ANSI programs call the A forms on the handle themselves where they need to).
#pragma once
#include <windows.h>

// The module (exe or DLL) this code is linked into.
HINSTANCE ModuleInstance();

// A non-owning wrapper of a window handle with the calls the programs use most.
class CWindow {
public:
    HWND m_hWnd = nullptr;

    CWindow() = default;
    explicit CWindow(HWND h) : m_hWnd(h) {}
    operator HWND() const { return m_hWnd; }
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const
    {
        return ::SendMessageW(m_hWnd, m, w, l);
    }
    BOOL PostMessage(UINT m, WPARAM w = 0, LPARAM l = 0) const
    {
        return ::PostMessageW(m_hWnd, m, w, l);
    }
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL Invalidate(BOOL erase = FALSE) const { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL GetClientRect(RECT* rc) const { return ::GetClientRect(m_hWnd, rc); }
    BOOL GetWindowRect(RECT* rc) const { return ::GetWindowRect(m_hWnd, rc); }
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    BOOL SetWindowTextW(const wchar_t* s) const { return ::SetWindowTextW(m_hWnd, s); }
    BOOL SetWindowTextA(const char* s) const { return ::SetWindowTextA(m_hWnd, s); }
    BOOL SetDlgItemTextW(int id, const wchar_t* s) const
    {
        return ::SetDlgItemTextW(m_hWnd, id, s);
    }
    BOOL SetDlgItemTextA(int id, const char* s) const { return ::SetDlgItemTextA(m_hWnd, id, s); }
    BOOL EnableDlgItem(int id, BOOL enable) const { return ::EnableWindow(GetDlgItem(id), enable); }
    BOOL ShowDlgItem(int id, int cmd) const { return ::ShowWindow(GetDlgItem(id), cmd); }
    BOOL DestroyWindow()
    {
        BOOL ok = ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        return ok;
    }
};

// How a window procedure finds the object behind a window created with the object as its
// creation parameter: on WM_NCCREATE the object learns its handle and is kept in the window's
// user data; every later message reads it back (null before WM_NCCREATE or once detached).
template <class T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lp)
{
    if (msg != WM_NCCREATE)
        return reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    T* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->m_hWnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return self;
}

// Parts object and window after the window's last message (WM_NCDESTROY).
template <class T>
void DetachWindowObject(HWND hwnd, T* self)
{
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
}

// From an object's destructor: destroys its window, if still there, without calling back into
// the object.
void DestroyDetachedWindow(HWND hwnd);

// A dialog from a template resource. Modal with DoModal, modeless with Create. Its messages go
// to one virtual handler that reads like a message map: a switch over the messages the dialog
// handles, returning TRUE with the result set for each one it handled. Unhandled WM_COMMAND
// IDOK/IDCANCEL go to OnOK/OnCancel.
class CDialog : public CWindow {
public:
    explicit CDialog(UINT templateId) : m_nTemplate(templateId) {}
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog();

    INT_PTR DoModal(HWND parent = nullptr);
    HWND Create(HWND parent = nullptr);
    // Ends a modal dialog with the result, or destroys a modeless one.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_bModal; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
    {
        return FALSE;
    }
    // Called after the modeless dialog's WM_NCDESTROY; m_hWnd is already null.
    virtual void OnFinalMessage() {}

    UINT m_nTemplate;

private:
    bool m_bModal = false;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};
