#include <winsock2.h>  // before windows.h, which the headers below bring in

#include "notify.h"

#include "harness.h"
#include "voice/vocalis.h"

namespace {

const char kBoxTitle[] = "helpclient box";
const UINT kBoxPollMs = 20;
// A box still up this long after it opened closes anyway, so a run cannot hang on it.
const ULONGLONG kBoxGiveUpMs = 10000;

HandlerAction g_onBegin = HandlerAction::None;
HandlerAction g_onEnd = HandlerAction::None;

SOCKET g_markSocket = INVALID_SOCKET;
sockaddr_in g_markTo = {};

HHOOK g_hHook = nullptr;
int g_nEndsSeen = 0;  // WM_TALK_END sent to any window of the thread
int g_nEndsAtBoxOpen = 0;
int g_nBoxesUp = 0;
ULONGLONG g_ullBoxDeadline = 0;

BOOL CALLBACK CloseIfBox(HWND hWnd, LPARAM)
{
    char szTitle[64] = "";
    GetWindowTextA(hWnd, szTitle, sizeof szTitle);
    if (lstrcmpA(szTitle, kBoxTitle) == 0)
        PostMessageA(hWnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// Runs inside the box's own message loop: closes the box once the call has ended.
void CALLBACK OnBoxTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    bool bEnded = g_nEndsSeen > g_nEndsAtBoxOpen;
    if (!bEnded && GetTickCount64() < g_ullBoxDeadline)
        return;
    KillTimer(nullptr, id);
    LogLine("info:", bEnded ? "box closed after the end" : "box closed without an end");
    EnumThreadWindows(GetCurrentThreadId(), CloseIfBox, 0);
}

void ShowBox()
{
    g_nEndsAtBoxOpen = g_nEndsSeen;
    g_ullBoxDeadline = GetTickCount64() + kBoxGiveUpMs;
    UINT_PTR timer = SetTimer(nullptr, 0, kBoxPollMs, OnBoxTimer);
    ++g_nBoxesUp;
    MessageBoxA(g_hWnd, "A talk has begun.", kBoxTitle, MB_OK);
    --g_nBoxesUp;
    KillTimer(nullptr, timer);
}

LRESULT CALLBACK OnCallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && (pMsg->message == WM_TALK_BEGIN || pMsg->message == WM_TALK_END)) {
        bool bBegin = pMsg->message == WM_TALK_BEGIN;
        if (!bBegin)
            ++g_nEndsSeen;
        SendMark(bBegin ? "mark begin" : "mark end");
        if (pMsg->hwnd != g_hWnd)
            LogLine("msg:",
                    bBegin ? "WM_TALK_BEGIN to another window" : "WM_TALK_END to another window");
    }
    return CallNextHookEx(g_hHook, nCode, wParam, lParam);
}

}  // namespace

bool ParseHandlerAction(const std::string& text, HandlerAction& action)
{
    if (text == "none")
        action = HandlerAction::None;
    else if (text == "end")
        action = HandlerAction::End;
    else if (text == "destroy")
        action = HandlerAction::Destroy;
    else if (text == "msgbox")
        action = HandlerAction::MsgBox;
    else
        return false;
    return true;
}

void SetHandlerAction(UINT uMsg, HandlerAction action)
{
    (uMsg == WM_TALK_BEGIN ? g_onBegin : g_onEnd) = action;
}

void RunHandlerAction(UINT uMsg)
{
    switch (uMsg == WM_TALK_BEGIN ? g_onBegin : g_onEnd) {
    case HandlerAction::End:
        LogResult("end in handler", EndCall());
        break;
    case HandlerAction::Destroy:
        LogResult("delete in handler", DestroyInterface());
        break;
    case HandlerAction::MsgBox:
        ShowBox();
        break;
    case HandlerAction::None:
        break;
    }
}

bool BoxUp()
{
    return g_nBoxesUp > 0;
}

int EndCall()
{
    int nResult = g_pTalk->End();
    SendMark("mark end");
    return nResult;
}

int DestroyInterface()
{
    delete g_pTalk;  // hangs up like End
    g_pTalk = new CTalkInterface(g_hWnd);
    SendMark("mark end");
    return 1;
}

void EnableMarks()
{
    if (g_markSocket == INVALID_SOCKET)
        g_markSocket = socket(AF_INET, SOCK_DGRAM, 0);
}

void SetMarkTarget(const std::string& host, int port)
{
    g_markTo.sin_family = AF_INET;
    g_markTo.sin_addr.s_addr = inet_addr(host.c_str());
    // Marks go to dotted addresses only; a name leaves them off.
    g_markTo.sin_port =
        g_markTo.sin_addr.s_addr == INADDR_NONE ? 0 : htons(static_cast<u_short>(port));
}

void SendMark(const char* pszWhat)
{
    if (g_markSocket != INVALID_SOCKET && g_markTo.sin_port)
        sendto(g_markSocket, pszWhat, lstrlenA(pszWhat), 0, reinterpret_cast<sockaddr*>(&g_markTo),
               sizeof g_markTo);
}

void WatchTalkNotifications()
{
    g_hHook = SetWindowsHookExA(WH_CALLWNDPROC, OnCallWndProc, nullptr, GetCurrentThreadId());
}
