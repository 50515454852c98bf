// helpclient: a test program in the help client's place. It allocates the TLS index into
// g_dwTls, opens a window, runs a message loop and drives a CTalkInterface through a script of
// timed steps, logging every step's result, every log-hook line and every WM_TALK_* message
// (helpclient --help prints the usage).
#include "harness.h"
#include "notify.h"
#include "sampler.h"
#include "script.h"
#include "uilog.h"
#include "framework/critsec.h"
#include "tools/cli/cli.h"
#include "framework/msgloop.h"
#include "voice/vocalis.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

const char kTool[] = "helpclient";
const char kUsage[] =
    "usage: helpclient LOGFILE SCRIPT\n"
    "Takes the help client's place towards vocalis.dll: allocates g_dwTls, opens a window, runs\n"
    "a message loop and drives a CTalkInterface through SCRIPT, a file or the steps themselves.\n"
    "LOGFILE gets one line per step result, log-hook line and WM_TALK_* message, with seconds\n"
    "since the start. Exit code 0 at the end of the script, 2 on a bad command line or script.\n"
    "  --help                  this text\n";

const UINT WM_APP_NEXT = WM_APP + 1;
const UINT WM_APP_POSTED = WM_APP + 2;
const UINT_PTR kWaitTimer = 1;
const UINT kPollMs = 50;

CCriticalSection g_logLock;  // the log hook may call from the wave devices' threads
FILE* g_log = nullptr;
ULONGLONG g_ullStart = 0;

std::vector<Step> g_steps;
size_t g_nextStep = 0;
size_t g_loopStart = 0;                  // the step after the open loop step
long g_nLoopLeft = 0;                    // rounds of the loop still to run, this one included
bool g_bNextHeld = false;                // a step came due while a message box was up
int g_nBegin = 0, g_nEnd = 0;            // messages received
int g_nBeginTaken = 0, g_nEndTaken = 0;  // messages a waitmsg step has consumed

// What the current waiting step waits for; checked on every poll tick.
struct Wait {
    enum Kind { None, File, Begin, End } kind = None;
    std::string path;
    ULONGLONG ullDeadline = 0;
} g_wait;

void LogResult(const Step& step, int nResult)
{
    ::LogResult(step.text, nResult);
}

void NextStep()
{
    PostMessageA(g_hWnd, WM_APP_NEXT, 0, 0);
}

// Starts a waiting step: the poll timer checks the condition until it holds or time runs out.
void BeginWait(Wait::Kind kind, const std::string& path, const std::string& ms)
{
    g_wait.kind = kind;
    g_wait.path = path;
    g_wait.ullDeadline = GetTickCount64() + std::strtoul(ms.c_str(), nullptr, 10);
    SetTimer(g_hWnd, kWaitTimer, kPollMs, nullptr);
}

// 1 when the wait's condition holds, 0 when it still may, -1 when time ran out.
int CheckWait()
{
    bool bDone = false;
    switch (g_wait.kind) {
    case Wait::File:
        bDone = GetFileAttributesA(g_wait.path.c_str()) != INVALID_FILE_ATTRIBUTES;
        break;
    case Wait::Begin:
        bDone = g_nBegin > g_nBeginTaken;
        if (bDone)
            ++g_nBeginTaken;
        break;
    case Wait::End:
        bDone = g_nEnd > g_nEndTaken;
        if (bDone)
            ++g_nEndTaken;
        break;
    case Wait::None:
        bDone = true;
        break;
    }
    if (bDone)
        return 1;
    return GetTickCount64() >= g_wait.ullDeadline ? -1 : 0;
}

void OnPollTick()
{
    if (BoxUp())
        return;
    int nState = CheckWait();
    if (nState == 0)
        return;
    KillTimer(g_hWnd, kWaitTimer);
    if (g_wait.kind != Wait::None)
        LogResult(g_steps[g_nextStep - 1], nState > 0 ? 1 : 0);
    g_wait.kind = Wait::None;
    NextStep();
}

int Num(const std::string& text)
{
    return std::atoi(text.c_str());
}

// Makes the thread's active window the harness's window (1) or none (0, a client in the
// background); the result says whether that holds afterwards.
int Activate(bool bActive)
{
    if (bActive) {
        ShowWindow(g_hWnd, SW_SHOW);
        SetActiveWindow(g_hWnd);
        return GetActiveWindow() == g_hWnd;
    }
    ShowWindow(g_hWnd, SW_HIDE);
    return GetActiveWindow() == nullptr;
}

// endloop: back to the step after loop while rounds are left.
void EndLoop()
{
    if (--g_nLoopLeft > 0)
        g_nextStep = g_loopStart;
}

// Goes on with a copy of the interface made by assignment, so that the copy shares the engine.
// The original is forgotten without its destructor: once a copy is used it must not be.
int ReplaceByCopy()
{
    CTalkInterface* pCopy = new CTalkInterface(nullptr);
    *pCopy = *g_pTalk;
    ::operator delete(static_cast<void*>(g_pTalk));
    g_pTalk = pCopy;
    return 1;
}

// Runs the talk-interface steps; returns false for the steps that wait.
bool RunStep(const Step& step)
{
    const std::string& v = step.verb;
    const std::vector<std::string>& a = step.args;
    if (v == "init") {
        LogResult(step, g_pTalk->Init());
    } else if (v == "start") {
        SetMarkTarget(a[0], Num(a[2]));
        LogResult(step, g_pTalk->Start(a[0].c_str(), Num(a[1]), Num(a[2])));
    } else if (v == "sound") {
        g_pTalk->EnableSound(Num(a[0]));
        LogResult(step, Num(a[0]));
    } else if (v == "end") {
        LogResult(step, EndCall());
    } else if (v == "destroy") {
        LogResult(step, DestroyInterface());
    } else if (v == "onbegin" || v == "onend") {
        HandlerAction action;
        bool bKnown = ParseHandlerAction(a[0], action);
        if (bKnown)
            SetHandlerAction(v == "onbegin" ? WM_TALK_BEGIN : WM_TALK_END, action);
        LogResult(step, bKnown);
    } else if (v == "marks") {
        EnableMarks();
        LogResult(step, 1);
    } else if (v == "activate") {
        LogResult(step, Activate(Num(a[0]) != 0));
    } else if (v == "loop") {
        g_loopStart = g_nextStep;
        g_nLoopLeft = Num(a[0]);
    } else if (v == "endloop") {
        EndLoop();
    } else if (v == "loghook") {
        LogResult(step, SetLogHookByName(a[0]) ? a[0] != "0" : -1);
    } else if (v == "post") {
        LogResult(step, PostMessageA(g_hWnd, WM_APP_POSTED, 0, 0));
    } else if (v == "assign") {
        *g_pTalk = CTalkInterface(g_hWnd);
        LogResult(step, 1);
    } else if (v == "copy") {
        LogResult(step, ReplaceByCopy());
    } else if (v == "sample") {
        StartSampler(std::strtoul(a[0].c_str(), nullptr, 10), LogLine);
        LogResult(step, 1);
    } else if (v == "exit") {
        LogResult(step, 1);
        PostQuitMessage(0);
        return false;
    } else if (v == "wait") {
        g_wait.kind = Wait::None;
        SetTimer(g_hWnd, kWaitTimer, std::strtoul(a[0].c_str(), nullptr, 10), nullptr);
        return false;
    } else if (v == "waitfor") {
        BeginWait(Wait::File, a[0], a[1]);
        return false;
    } else if (v == "waitmsg") {
        BeginWait(a[0] == "end" ? Wait::End : Wait::Begin, "", a[1]);
        return false;
    }
    return true;
}

void OnNextStep()
{
    // The script stands still while a handler's message box is up, as a client's would.
    if (BoxUp()) {
        g_bNextHeld = true;
        return;
    }
    while (g_nextStep < g_steps.size()) {
        const Step& step = g_steps[g_nextStep++];
        if (!RunStep(step))
            return;
    }
    PostQuitMessage(0);
}

void OnTalkMessage(UINT uMsg)
{
    RunHandlerAction(uMsg);
    if (g_bNextHeld && !BoxUp()) {
        g_bNextHeld = false;
        NextStep();
    }
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_APP_NEXT:
        OnNextStep();
        return 0;
    case WM_TIMER:
        if (wParam == kWaitTimer)
            OnPollTick();
        return 0;
    case WM_TALK_BEGIN:
        ++g_nBegin;
        LogLine("msg:", "WM_TALK_BEGIN");
        OnTalkMessage(uMsg);
        return 0;
    case WM_TALK_END:
        ++g_nEnd;
        LogLine("msg:", "WM_TALK_END");
        OnTalkMessage(uMsg);
        return 0;
    case WM_APP_POSTED:
        LogLine("info:", "posted message handled");
        return 0;
    case WM_TALK_CONNECT:
        LogLine("msg:", wParam ? "WM_TALK_CONNECT 1" : "WM_TALK_CONNECT 0");
        return 0;
    }
    if (HandleUiLogMessage(uMsg, lParam))
        return 0;
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

std::string LoadScript(const char* pszArg)
{
    std::ifstream file(pszArg, std::ios::binary);
    if (!file)
        return pszArg;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A crash is logged and ends the process with the exception's code at once, instead of waiting
// in the system's crash dialog.
LONG WINAPI OnCrash(EXCEPTION_POINTERS* pInfo)
{
    char szText[128];
    std::snprintf(szText, sizeof(szText), "exception 0x%08lX at %p",
                  static_cast<unsigned long>(pInfo->ExceptionRecord->ExceptionCode),
                  pInfo->ExceptionRecord->ExceptionAddress);
    LogLine("crash:", szText);
    return EXCEPTION_EXECUTE_HANDLER;
}

HWND CreateMainWindow(HINSTANCE hInstance)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = "HelpClientWnd";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowA("HelpClientWnd", "helpclient", WS_OVERLAPPEDWINDOW, 10, 10, 320, 120,
                              nullptr, nullptr, hInstance, nullptr);
    if (hWnd) {
        ShowWindow(hWnd, SW_SHOW);
        SetForegroundWindow(hWnd);
        SetActiveWindow(hWnd);
    }
    return hWnd;
}

// Empty when the command line names a log and a script, else the problem with it.
std::string CheckCommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0)
            return std::string("unknown option: ") + argv[i];
    }
    return argc == 3 ? "" : "expects two arguments, LOGFILE and SCRIPT";
}

bool WantsHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (cli::IsHelp(argv[i]))
            return true;
    }
    return false;
}

}  // namespace

CTalkInterface* g_pTalk = nullptr;
HWND g_hWnd = nullptr;

void LogLine(const char* pszKind, const char* pszText)
{
    CScopedLock lock(g_logLock);
    if (g_log) {
        std::fprintf(g_log, "%9.3f %s %s\n", (GetTickCount64() - g_ullStart) / 1000.0, pszKind,
                     pszText);
        std::fflush(g_log);
    }
}

void LogResult(const std::string& text, int nResult)
{
    char szText[512];
    std::snprintf(szText, sizeof(szText), "%s -> %d", text.c_str(), nResult);
    LogLine("step:", szText);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    if (WantsHelp(__argc, __argv)) {
        cli::PrintUsage(kUsage);
        return cli::PrintUsage(kScriptHelp);
    }
    std::string error = CheckCommandLine(__argc, __argv);
    if (!error.empty())
        return cli::Refuse(kTool, error);
    g_ullStart = GetTickCount64();
    SetUnhandledExceptionFilter(OnCrash);
    g_log = std::fopen(__argv[1], "w");
    if (!g_log)
        return cli::Refuse(kTool, std::string("cannot write the log ") + __argv[1]);
    if (!ParseScript(LoadScript(__argv[2]), g_steps, error)) {
        LogLine("error:", error.c_str());
        std::fclose(g_log);
        g_log = nullptr;
        return cli::Refuse(kTool, error);
    }
    g_dwTls = TlsAlloc();
    g_hWnd = CreateMainWindow(hInstance);
    SetLogHookByName("1");
    LogLine("info:", GetActiveWindow() == g_hWnd ? "window active" : "window not active");
    WatchTalkNotifications();
    g_pTalk = new CTalkInterface(g_hWnd);
    NextStep();
    CMessageLoop().Run();
    delete g_pTalk;
    g_pTalk = nullptr;
    LogLine("info:", "exit");
    StopSampler();
    SetLogInfoFuncA(nullptr);
    DestroyWindow(g_hWnd);
    CScopedLock lock(g_logLock);
    std::fclose(g_log);
    g_log = nullptr;
    return 0;
}
