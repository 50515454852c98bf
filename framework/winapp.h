// The application object: one per module, with the start-up and shut-down hooks of a
// framework application. A program's WinMain calls RunApplication(); a DLL's DllMain calls
// InitInstance at process attach (a FALSE result fails the load) and ExitInstance at detach.
#pragma once
#include <windows.h>

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Start-up: TRUE to go on (a program then runs its loop or ends; a DLL finishes loading).
    virtual BOOL InitInstance() { return TRUE; }
    // Shut-down; the result is the program's exit code.
    virtual int ExitInstance() { return m_nExitCode; }
    // The message loop of a program whose InitInstance left a main window running.
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    HWND m_hMainWnd = nullptr;  // a program's main window, if any
    int m_nExitCode = 0;

    static CWinApp* Current() { return s_pApp; }

private:
    static CWinApp* s_pApp;
};

// Drives a program's application object: InitInstance, then Run while it returned TRUE and a
// main window exists, then ExitInstance, whose result is returned.
int RunApplication(CWinApp& app, HINSTANCE instance);
