#include "framework/msgonlywnd.h"

#include "framework/window.h"

namespace {

SRWLOCK g_classLock = SRWLOCK_INIT;

bool RegisterMessageWindowClass(MessageWindowClass& wndClass)
{
    AcquireSRWLockExclusive(&g_classLock);
    if (!wndClass.bRegistered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = wndClass.pfnWndProc;
        wc.hInstance = ModuleInstance();
        wc.lpszClassName = wndClass.pszName;
        wndClass.bRegistered =
            RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    bool bRegistered = wndClass.bRegistered;
    ReleaseSRWLockExclusive(&g_classLock);
    return bRegistered;
}

}  // namespace

HWND CreateMessageWindow(MessageWindowClass& wndClass, void* pObject)
{
    if (!RegisterMessageWindowClass(wndClass))
        return NULL;
    HWND hWnd = CreateWindowExA(0, wndClass.pszName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                ModuleInstance(), NULL);
    if (hWnd)
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pObject));
    return hWnd;
}

void* MessageWindowObject(HWND hWnd)
{
    return reinterpret_cast<void*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

void DestroyMessageWindow(HWND* phWnd)
{
    if (!*phWnd)
        return;
    SetWindowLongPtrA(*phWnd, GWLP_USERDATA, 0);
    DestroyWindow(*phWnd);
    *phWnd = NULL;
}

void UnregisterMessageWindowClass(MessageWindowClass& wndClass)
{
    AcquireSRWLockExclusive(&g_classLock);
    if (wndClass.bRegistered && UnregisterClassA(wndClass.pszName, ModuleInstance()))
        wndClass.bRegistered = false;
    ReleaseSRWLockExclusive(&g_classLock);
}
