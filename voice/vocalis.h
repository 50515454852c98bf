// Public interface of vocalis.dll, the two-way voice library, for the program that loads it.
//
// Calling order, all on one thread that runs a message loop: allocate a TLS index and store it
// in g_dwTls; optionally SetLogInfoFuncA; construct a CTalkInterface with a window; Init; Start;
// EnableSound as often as wanted; End (or destroy the object).
//
// WM_TALK_BEGIN and WM_TALK_END are sent (SendMessage) to the active window of the thread that
// loaded the library; when that thread has no active window (a client that is minimised or
// lives in the tray), to the window given to the constructor, if it is a window of that thread.
// The session's state has changed before either is sent, and the library touches nothing of the
// session after the handler returns: the handler may call End, delete the CTalkInterface, or
// run a modal loop (a message box), inside which the talk may end.
//
// While the library waits on the client's thread (stopping its devices, sending a reply, making
// the control connection) it serves the messages other threads send to that thread; posted ones
// wait for the client's own loop. So a log callback may SendMessage to a window of that thread,
// and a handler reached that way may call End or delete the object: the call in progress then
// lets go of its engine.
//
// MinGW clients link libvocalis.dll.a, MSVC clients vocalis.lib; the DLL carries both compilers'
// C++ names for the class. An object an MSVC client made with `new` goes back to ucrtbase.dll's
// free on `delete`, as the client's /MD runtime allocated it. A block that is not one of that
// heap's (a debug runtime's new, /MDd or /MTd, puts a header in front of the object) is left
// allocated instead, and the log callback is told which.
#pragma once

#include <windows.h>

// The library's own build defines VOCALIS_EXPORTS; a client gets the imports.
#ifdef VOCALIS_EXPORTS
#define VOCALIS_API __declspec(dllexport)
#else
#define VOCALIS_API __declspec(dllimport)
#endif

#define WM_TALK_BEGIN (WM_USER + 0x6E)  // a talk request was accepted; wParam 0, lParam 0
#define WM_TALK_END (WM_USER + 0x6F)    // the peer closed the control connection
#define WM_TALK_CONNECT 0x9000          // requester connect outcome; wParam 1 or 0

class CInterface;

class VOCALIS_API CTalkInterface {
public:
    explicit CTalkInterface(HWND hNotifyWnd);
    // A copy (and an assignment) shares the other object's engine; it does not get one of its
    // own. Once one of two such copies has been ended (End) or destroyed, the other must be
    // neither used nor destroyed: its engine is gone. Assigning to an object that holds another
    // engine ends that engine first, as End does.
    CTalkInterface(const CTalkInterface& other);
    virtual ~CTalkInterface();
    CTalkInterface& operator=(const CTalkInterface& other);

    int Init();  // 1 when the engine is ready
    // 1 when the session started; 0 without a ready engine, or when the peer's control port
    // cannot be reached within 10 s.
    int Start(const char* host, int tcpPort, int udpPort);
    void EnableSound(int enable);  // nonzero: send captured speech
    int End();                     // 1 when a session was active

private:
    CInterface* m_pInterface;
    HWND m_hNotifyWnd;
};

extern "C" {
// Log callbacks: called with one complete line and 0; the text must not be kept after return.
// The narrow one is also called from the library's two audio threads, at the same time as from
// the client's thread: it must be safe to call from any thread.
typedef void CALLBACK LogInfoFuncA(const char* pszText, int nReserved);
typedef void CALLBACK LogInfoFuncW(const wchar_t* pszText, int nReserved);

// Both setters may be called from any thread.
VOCALIS_API void SetLogInfoFuncA(LogInfoFuncA* pfn);  // null switches the hook off
VOCALIS_API void SetLogInfoFuncW(LogInfoFuncW* pfn);  // stored only

VOCALIS_API extern DWORD g_dwTls;
VOCALIS_API extern HWND g_hMainWnd;
}
