// What loading vocalis.dll sets up, in this order: the library lock, the speech codec's state
// and the application object, which starts Windows Sockets 1.1. A failed start shows a message
// box and fails the load. Unloading undoes it in reverse.
#include "voice/appstate.h"

#include "framework/socket.h"
#include "framework/winapp.h"
#include "voice/codec/audiocode.h"
#include "voice/liblock.h"
#include "voice/vocalis.h"
#include "voice/vocalisres.h"

namespace {

class CvocalisApp : public CWinApp {
public:
    CvocalisApp() : m_dwThreadId(GetCurrentThreadId()) {}

    BOOL InitInstance() override
    {
        CWinApp::InitInstance();
        if (!SocketInit()) {
            char szText[256] = "Windows Sockets could not be started.";
            LoadStringA(m_hInstance, IDS_SOCKETS_INIT_FAILED, szText, sizeof(szText));
            MessageBoxA(nullptr, szText, nullptr, MB_OK);
            return FALSE;
        }
        return TRUE;
    }

    // The thread whose object this is: the one that loaded the library.
    DWORD m_dwThreadId;
};

// Declaration order is construction order: the library lock first, then the codec state, then
// the application object.
[[maybe_unused]] CCriticalSection& g_libLock = LibraryLock();
CAudioCode g_audioCode;
CvocalisApp theApp;

}  // namespace

CAudioCode& TheAudioCode()
{
    return g_audioCode;
}

HWND AppThreadMainWnd()
{
    if (theApp.m_dwThreadId != GetCurrentThreadId())
        return nullptr;
    return theApp.m_hMainWnd ? theApp.m_hMainWnd : GetActiveWindow();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        theApp.m_hInstance = hInstance;
        DisableThreadLibraryCalls(hInstance);
        return theApp.InitInstance();
    }
    if (dwReason == DLL_PROCESS_DETACH) {
        theApp.ExitInstance();
        // On FreeLibrary the library ends its use of Windows Sockets; when the whole process is
        // ending, other threads are already gone and the system releases everything itself.
        if (!pReserved)
            SocketTerm();
    }
    return TRUE;
}
