#include "sampler.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HANDLE g_hThread = nullptr;
HANDLE g_hStop = nullptr;
unsigned g_nIntervalMs = 0;
SampleWriter g_write = nullptr;

// One entry of the system handle table (NtQuerySystemInformation class 16).
struct SystemHandleEntry {
    ULONG ulOwnerPid;
    BYTE bObjectType;
    BYTE bFlags;
    USHORT usHandle;
    PVOID pObject;
    ULONG ulAccess;
};

typedef LONG(NTAPI* QuerySystemInformationFn)(ULONG, PVOID, ULONG, PULONG);

// This process's entries in the system handle table; 0 when the table cannot be read.
unsigned long CountHandlesInTable()
{
    static const QuerySystemInformationFn query =
        reinterpret_cast<QuerySystemInformationFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    const ULONG kSystemHandleInformation = 16;
    std::vector<char> buffer(1 << 16);
    ULONG ulNeeded = 0;
    LONG status = -1;
    while (query && buffer.size() <= (64u << 20)) {
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &ulNeeded);
        if (status != static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
            break;
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0)
        return 0;
    ULONG ulCount = *reinterpret_cast<ULONG*>(buffer.data());
    const SystemHandleEntry* pEntries =
        reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    if (sizeof(ULONG_PTR) + ulCount * sizeof(SystemHandleEntry) > buffer.size())
        return 0;
    unsigned long n = 0;
    for (ULONG i = 0; i < ulCount; ++i) {
        if (pEntries[i].ulOwnerPid == GetCurrentProcessId())
            ++n;
    }
    return n;
}

// GetProcessHandleCount where it counts; where it answers 0 (it never should: the process holds
// handles to its own threads and events), the system handle table.
unsigned long CountHandles()
{
    DWORD dwHandles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &dwHandles) && dwHandles)
        return dwHandles;
    return CountHandlesInTable();
}

unsigned long CountThreads()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long n = 0;
    THREADENTRY32 te = {};
    te.dwSize = sizeof(te);
    for (BOOL bMore = Thread32First(hSnap, &te); bMore; bMore = Thread32Next(hSnap, &te)) {
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            ++n;
    }
    CloseHandle(hSnap);
    return n;
}

bool IsOurs(HWND hWnd)
{
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    return dwPid == GetCurrentProcessId();
}

BOOL CALLBACK CountChild(HWND, LPARAM lParam)
{
    ++*reinterpret_cast<unsigned long*>(lParam);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hWnd, LPARAM lParam)
{
    if (IsOurs(hWnd)) {
        ++*reinterpret_cast<unsigned long*>(lParam);
        EnumChildWindows(hWnd, CountChild, lParam);
    }
    return TRUE;
}

// Top-level windows and their children, plus the message-only windows (the socket notification
// windows are of that kind), which EnumWindows does not list.
unsigned long CountWindows()
{
    unsigned long n = 0;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&n));
    for (HWND h = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr)) {
        if (IsOurs(h))
            ++n;
    }
    return n;
}

unsigned long long CommittedPrivateBytes()
{
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION mbi = {};
    for (const char* p = nullptr; VirtualQuery(p, &mbi, sizeof(mbi)) == sizeof(mbi);) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE)
            total += mbi.RegionSize;
        const char* pNext = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (pNext <= p)
            break;
        p = pNext;
    }
    return total;
}

unsigned long long PrivateUsage()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                              sizeof(pmc)))
        return 0;
    // The two are the same count; some systems fill only PagefileUsage.
    return pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
}

// GetGuiResources as text; "-" where it answers 0, which it never does for a process that owns
// a window (the harness always has one) unless the count is not kept.
std::string GuiCount(DWORD dwFlags)
{
    DWORD n = GetGuiResources(GetCurrentProcess(), dwFlags);
    return n ? std::to_string(n) : "-";
}

void WriteSample()
{
    char szText[256];
    std::snprintf(szText, sizeof(szText),
                  "handles=%lu threads=%lu windows=%lu user=%s gdi=%s private=%llu committed=%llu",
                  CountHandles(), CountThreads(), CountWindows(), GuiCount(GR_USEROBJECTS).c_str(),
                  GuiCount(GR_GDIOBJECTS).c_str(), PrivateUsage(), CommittedPrivateBytes());
    g_write("sample:", szText);
}

// Names the counters that do not work on this system and what stands in for them.
void WriteInfo()
{
    DWORD dwHandles = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &dwHandles) || !dwHandles)
        g_write("sample-info:",
                CountHandlesInTable()
                    ? "GetProcessHandleCount answers 0: handles counted in the system handle table"
                    : "GetProcessHandleCount answers 0 and the system handle table cannot be read: "
                      "handles are not counted here");
    SetLastError(0);
    DWORD nGdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD dwError = GetLastError();
    char szText[160];
    if (nGdi == 0) {
        std::snprintf(szText, sizeof(szText),
                      "GetGuiResources answers 0 (error %lu): USER and GDI objects are not counted "
                      "here; windows stand in for USER objects",
                      static_cast<unsigned long>(dwError));
        g_write("sample-info:", szText);
    }
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                             sizeof(pmc)) &&
        !pmc.PrivateUsage)
        g_write("sample-info:", "PrivateUsage answers 0: private bytes are PagefileUsage");
}

DWORD WINAPI SampleLoop(LPVOID)
{
    WriteInfo();
    do {
        WriteSample();
    } while (WaitForSingleObject(g_hStop, g_nIntervalMs) == WAIT_TIMEOUT);
    WriteSample();
    return 0;
}

}  // namespace

void StartSampler(unsigned nIntervalMs, SampleWriter write)
{
    g_write = write;
    if (nIntervalMs == 0) {
        WriteSample();
        return;
    }
    if (g_hThread)
        return;
    g_nIntervalMs = nIntervalMs;
    g_hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_hThread = CreateThread(nullptr, 0, SampleLoop, nullptr, 0, nullptr);
}

void StopSampler()
{
    if (!g_hThread)
        return;
    SetEvent(g_hStop);
    WaitForSingleObject(g_hThread, 10000);  // a sample takes milliseconds
    CloseHandle(g_hThread);
    CloseHandle(g_hStop);
    g_hThread = g_hStop = nullptr;
}
