#include "uilog.h"

#include "harness.h"
#include "voice/vocalis.h"

#include <cstring>

namespace {

const UINT WM_APP_LOGLINE = WM_APP + 3;  // lParam: the line, valid while the send lasts

DWORD g_dwWindowThread = 0;
bool g_bEndOnCaptureClose = false;

void CALLBACK OnPlainLine(const char* pszText, int)
{
    LogLine("log:", pszText);
}

void CALLBACK OnUiLine(const char* pszText, int)
{
    if (GetCurrentThreadId() == g_dwWindowThread)
        LogLine("log:", pszText);
    else
        SendMessageA(g_hWnd, WM_APP_LOGLINE, 0, reinterpret_cast<LPARAM>(pszText));
}

}  // namespace

bool SetLogHookByName(const std::string& name)
{
    g_dwWindowThread = GetWindowThreadProcessId(g_hWnd, nullptr);
    g_bEndOnCaptureClose = name == "ui-end";
    if (name == "0")
        SetLogInfoFuncA(nullptr);
    else if (name == "1")
        SetLogInfoFuncA(OnPlainLine);
    else if (name == "ui" || name == "ui-end")
        SetLogInfoFuncA(OnUiLine);
    else
        return false;
    return true;
}

bool HandleUiLogMessage(UINT uMsg, LPARAM lParam)
{
    if (uMsg != WM_APP_LOGLINE)
        return false;
    const char* pszText = reinterpret_cast<const char*>(lParam);
    LogLine("ui:", pszText);
    if (g_bEndOnCaptureClose && std::strcmp(pszText, "MM_WIM_CLOSE") == 0 && g_pTalk)
        LogResult("end in log handler", g_pTalk->End());
    return true;
}
