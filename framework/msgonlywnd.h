// Hidden message-only windows (parent HWND_MESSAGE): they receive what is posted or sent to their
// handle and nothing else, no system broadcasts, and EnumWindows does not list them. The socket
// notifications and the wave devices' relays each run such a window on the thread they serve.
#pragma once
#include <windows.h>

// A fixed-name window class, registered by the first window that needs it. The registered flag
// is guarded by one process-wide lock, so threads creating their first windows at the same time
// all find the class registered.
struct MessageWindowClass {
    const char* pszName;
    WNDPROC pfnWndProc;
    bool bRegistered;
};

// Registers the class if needed, creates a message-only window of it on the calling thread and
// keeps pObject in the window's user data. Null on failure (the last error says why).
HWND CreateMessageWindow(MessageWindowClass& wndClass, void* pObject);

// The object kept with the window, or null (before it is kept, and once the window is destroyed).
void* MessageWindowObject(HWND hWnd);

// Parts the window from its object, destroys it and clears the handle; nothing when it is null.
void DestroyMessageWindow(HWND* phWnd);

// Unregisters the class if it is registered. A class that still has windows stays registered.
void UnregisterMessageWindowClass(MessageWindowClass& wndClass);
