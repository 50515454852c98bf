// The updater's application object: start-up checks, the worker, the modal dialog and the two
// end actions. InitInstance does the whole run and returns FALSE, so the program ends with it.
#pragma once
#include <windows.h>

#include <string>

#include "framework/winapp.h"

// Command-line arguments, written once before the worker starts and only read afterwards.
extern std::string g_strPackageUrl;
extern std::string g_strExpectedMd5;
extern std::string g_strClientPath;

class CUpdateApp : public CWinApp {
public:
    CUpdateApp();
    ~CUpdateApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // End actions of the dialog's first button.
    void StartClient();
    void OpenDownloadPage();

    // The dialog hands over its window when it exists and takes it back when it goes away.
    // Worker reports wait until the window has been handed over (or the dialog is gone) and are
    // dropped once it has been taken back, so none is lost early or delivered late.
    void AttachDialogWindow(HWND dialog);
    void DetachDialogWindow();
    void PostReport(UINT message, WPARAM wParam, LPARAM lParam);

    // Written by the worker; the dialog reads them through the pointers in the reports.
    char m_szPackagePath[520];
    HANDLE m_hThread;
    HANDLE m_hMutex;
    BOOL m_bLengthKnown;
    DWORD m_dwError;
    DWORD m_dwTotal;
    DWORD m_dwReceived;

private:
    bool CreateInstanceMutex();
    bool ReadArguments();
    bool StartWorker();

    CRITICAL_SECTION m_csReport;
    HANDLE m_hWindowSettled;  // set once the dialog window exists or the dialog has ended
    HWND m_hReportWnd = nullptr;
};

extern CUpdateApp theApp;

// Creates or opens the named mutex, open to every user and not inherited by child processes;
// existed tells that it was there already. Null when it cannot be made.
HANDLE CreateSharedMutex(const char* name, bool& existed);

// Worker thread procedure; its argument is the application object.
unsigned __stdcall DownloadThreadProc(void* param);
