#include "audio_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "voice/loghook.h"

namespace {

std::mutex g_mutex;
std::vector<LoggedLine> g_lines;
std::string g_stallText;
DWORD g_stallMs = 0;

void CALLBACK RecordLine(const char* pszText, int nReserved)
{
    DWORD stall = 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_lines.push_back({GetCurrentThreadId(), pszText});
        if (!g_stallText.empty() && g_stallText == pszText) {
            stall = g_stallMs;
            g_stallText.clear();
        }
    }
    if (stall)
        Sleep(stall);
}

}  // namespace

LogRecorder::LogRecorder()
{
    Clear();
    SetLogInfoFuncA(RecordLine);
}

LogRecorder::~LogRecorder()
{
    SetLogInfoFuncA(nullptr);
}

std::vector<LoggedLine> LogRecorder::Lines() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines;
}

std::vector<std::string> LogRecorder::From(DWORD dwThreadId) const
{
    std::vector<std::string> out;
    for (const LoggedLine& l : Lines())
        if (l.dwThreadId == dwThreadId)
            out.push_back(l.text);
    return out;
}

std::vector<std::string> LogRecorder::All() const
{
    std::vector<std::string> out;
    for (const LoggedLine& l : Lines())
        out.push_back(l.text);
    return out;
}

void LogRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
    g_stallText.clear();
}

bool LogRecorder::WaitFor(const std::string& text, DWORD ms) const
{
    return PumpUntil(
        [&] {
            std::vector<std::string> all = All();
            return std::find(all.begin(), all.end(), text) != all.end();
        },
        ms);
}

void LogRecorder::StallOn(const std::string& text, DWORD ms)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_stallText = text;
    g_stallMs = ms;
}

namespace {

BOOL CALLBACK CountOwnWindow(HWND hWnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == GetCurrentProcessId())
        ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

int CountThreads()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            ++n;
    CloseHandle(snap);
    return n;
}

}  // namespace

ProcessCounts CountProcessObjects()
{
    ProcessCounts c = {};
    GetProcessHandleCount(GetCurrentProcess(), &c.handles);
    c.threads = CountThreads();
    // The devices' windows are message-only, which EnumWindows does not list.
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&c.windows));
    for (HWND h = FindWindowExA(HWND_MESSAGE, NULL, NULL, NULL); h;
         h = FindWindowExA(HWND_MESSAGE, h, NULL, NULL))
        CountOwnWindow(h, reinterpret_cast<LPARAM>(&c.windows));
    return c;
}

bool ThreadGone(DWORD dwThreadId)
{
    HANDLE h = OpenThread(SYNCHRONIZE, FALSE, dwThreadId);
    if (!h)
        return true;
    bool gone = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

std::vector<short> Sine(double hz, double amplitude, int samples)
{
    std::vector<short> out(samples);
    for (int i = 0; i < samples; ++i)
        out[i] = static_cast<short>(
            std::lround(amplitude * std::sin(2 * 3.14159265358979323846 * hz * i / 8000.0)));
    return out;
}

bool NoDeviceRun()
{
    const char* v = std::getenv("ST_AUDIO_NODEVICE");
    return v && *v == '1';
}
