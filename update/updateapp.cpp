#include "update/updateapp.h"

#include <commctrl.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <process.h>

#include "update/updatedlg.h"
#include "update/settings.h"

using upd::Trace;

std::string g_strPackageUrl;
std::string g_strExpectedMd5;
std::string g_strClientPath;

CUpdateApp theApp;

namespace {
const char kMutexName[] = "Global\\FE26D165-F415-4d5e-AB96-101F6166884F";
}

CUpdateApp::CUpdateApp()
    : m_szPackagePath{}, m_hThread(INVALID_HANDLE_VALUE), m_hMutex(nullptr), m_bLengthKnown(0),
      m_dwError(0), m_dwTotal(0), m_dwReceived(0)
{
    ::InitializeCriticalSection(&m_csReport);
    m_hWindowSettled = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CUpdateApp::~CUpdateApp()
{
    if (m_hWindowSettled)
        ::CloseHandle(m_hWindowSettled);
    ::DeleteCriticalSection(&m_csReport);
}

// The mutex lives in the machine-wide namespace with a null DACL, so instances in every logon
// session, under every user, see each other. Without the descriptor it is made with defaults.
// The handle is not inheritable: a program started meanwhile (a browser for the download page)
// must not keep the name alive after this instance has ended.
HANDLE CreateSharedMutex(const char* name, bool& existed)
{
    SECURITY_ATTRIBUTES sa = {};
    SECURITY_ATTRIBUTES* psa = nullptr;
    auto* sd = static_cast<PSECURITY_DESCRIPTOR>(std::malloc(SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (sd && ::InitializeSecurityDescriptor(sd, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(sd, TRUE, nullptr, FALSE)) {
        sa.nLength = sizeof(SECURITY_ATTRIBUTES);
        sa.lpSecurityDescriptor = sd;
        sa.bInheritHandle = FALSE;
        psa = &sa;
    }
    HANDLE mutex = ::CreateMutexA(psa, FALSE, name);
    existed = mutex && ::GetLastError() == ERROR_ALREADY_EXISTS;
    std::free(sd);
    return mutex;
}

// Returns false when another instance holds the mutex already.
bool CUpdateApp::CreateInstanceMutex()
{
    bool existed = false;
    m_hMutex = CreateSharedMutex(kMutexName, existed);
    if (existed) {
        Trace("Find PreInstance");
        return false;
    }
    return true;
}

// Exactly three arguments, as the C runtime splits the command line ("" is an empty one).
bool CUpdateApp::ReadArguments()
{
    if (__argc != 4)
        return false;
    g_strPackageUrl = __argv[1];
    g_strExpectedMd5 = __argv[2];
    g_strClientPath = __argv[3];
    Trace(__argv[0]);
    Trace(g_strPackageUrl.c_str());
    Trace(g_strExpectedMd5.c_str());
    Trace(g_strClientPath.c_str());
    return true;
}

bool CUpdateApp::StartWorker()
{
    unsigned threadId = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, DownloadThreadProc, this, 0, &threadId);
    if (!thread)
        return false;
    m_hThread = reinterpret_cast<HANDLE>(thread);
    return true;
}

BOOL CUpdateApp::InitInstance()
{
    Trace("CUpdateApp::InitInstance() called");
    if (!CreateInstanceMutex())
        return FALSE;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    if (!ReadArguments())
        return FALSE;
    DWORD flags = 0;
    if (!::InternetGetConnectedState(&flags, 0) || upd::TestActsOffline()) {
        Trace("InternetGetConnectedState() Error");
        return FALSE;
    }
    CUpdateDlg dialog;
    if (StartWorker()) {
        upd::TestPauseBeforeDialog();
        dialog.DoModal();
    }
    DetachDialogWindow();  // also releases a worker still waiting for a window that never came
    return FALSE;
}

int CUpdateApp::ExitInstance()
{
    if (m_hThread != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hThread);
        m_hThread = INVALID_HANDLE_VALUE;
    }
    if (m_hMutex) {
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    return CWinApp::ExitInstance();
}

void CUpdateApp::AttachDialogWindow(HWND dialog)
{
    ::EnterCriticalSection(&m_csReport);
    m_hReportWnd = dialog;
    ::LeaveCriticalSection(&m_csReport);
    ::SetEvent(m_hWindowSettled);
}

void CUpdateApp::DetachDialogWindow()
{
    ::EnterCriticalSection(&m_csReport);
    m_hReportWnd = nullptr;
    ::LeaveCriticalSection(&m_csReport);
    ::SetEvent(m_hWindowSettled);
}

// A full message queue (a fast transfer outrunning the dialog) makes the worker wait for the
// dialog to catch up instead of losing a report, the completion or failure above all.
void CUpdateApp::PostReport(UINT message, WPARAM wParam, LPARAM lParam)
{
    ::WaitForSingleObject(m_hWindowSettled, INFINITE);
    for (;;) {
        ::EnterCriticalSection(&m_csReport);
        const bool done = !m_hReportWnd || ::PostMessageA(m_hReportWnd, message, wParam, lParam) ||
                          ::GetLastError() != ERROR_NOT_ENOUGH_QUOTA;
        ::LeaveCriticalSection(&m_csReport);
        if (done)
            return;
        ::Sleep(10);
    }
}

// Starts the client by its long path. The path is quoted: unquoted, a path with blanks
// ("Program Files", user names) would make CreateProcessA run another program or none.
void CUpdateApp::StartClient()
{
    char longPath[520] = {};
    char commandLine[520] = {};
    if (!::GetLongPathNameA(g_strClientPath.c_str(), longPath, sizeof longPath))
        std::snprintf(longPath, sizeof longPath, "%s", g_strClientPath.c_str());
    std::snprintf(commandLine, sizeof commandLine - 1, "\"%s\"", longPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process);
    Trace(commandLine);
    Trace(started ? "CreateProcess zeb_client.exe ok" : "CreateProcess zeb_client.exe error");
    if (process.hProcess && process.hThread) {
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
}

void CUpdateApp::OpenDownloadPage()
{
    ::ShellExecuteA(nullptr, nullptr, upd::ManualDownloadAddress(), nullptr, nullptr,
                    SW_SHOWNORMAL);
}

// The process ends here, while the worker may still be transferring: ExitProcess stops it before
// any global object (the argument strings, the report lock) is destroyed under it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ::ExitProcess(UINT(RunApplication(theApp, instance)));
}
