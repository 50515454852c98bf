// Measurement stand-in for the downloader's transfer loop without its dialog: the same open flags,
// 2048-byte reads, and per chunk WriteFile plus FlushFileBuffers and one posted report to a window
// on another thread that only drains them. Either step can be left out, so that the measurement
// can tell what each one costs, and the drain can take the reports in batches through the same
// gathering message loop as the downloader (reciperun --help prints the usage and the line it
// prints).
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "framework/msgloop.h"
#include "framework/msgonlywnd.h"
#include "tools/cli/cli.h"

namespace {

const char kTool[] = "reciperun";
const char kUsage[] =
    "usage: reciperun URL PATH [--no-post] [--no-flush] [--gather MS]\n"
    "Downloads URL into PATH with the downloader's transfer loop and no dialog: its open flags,\n"
    "2048-byte reads and per chunk WriteFile, FlushFileBuffers and one report posted to a window\n"
    "on another thread. Prints one line:\n"
    "  RECIPE ms=<transfer> cpu=<process CPU ms> bytes=<count> reports=<drained>\n"
    "  --no-post     no report per chunk (default: posted)\n"
    "  --no-flush    no FlushFileBuffers per chunk (default: flushed)\n"
    "  --gather MS   the drain takes the reports in batches at most MS late, with the\n"
    "                downloader's message loop (default 0: each report as it comes)\n"
    "  --help        this text\n"
    "Exit code 0 after a whole transfer, 1 when it failed, 2 on a bad command line.\n";

struct CommandLine {
    std::vector<const wchar_t*> places;  // URL and PATH
    bool post = true, flush = true, help = false;
    DWORD gather = 0;
};

// Empty when the command line is good, else the problem.
std::wstring Parse(int argc, wchar_t** argv, CommandLine& line)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (cli::IsHelp(arg))
            line.help = true;
        else if (arg == L"--no-post")
            line.post = false;
        else if (arg == L"--no-flush")
            line.flush = false;
        else if (arg == L"--gather") {
            const wchar_t* value = i + 1 < argc ? argv[++i] : L"";
            wchar_t* end = nullptr;
            const unsigned long ms = std::wcstoul(value, &end, 10);
            if (!*value || *end || ms > 1000)
                return L"--gather takes milliseconds from 0 to 1000";
            line.gather = static_cast<DWORD>(ms);
        } else if (arg.compare(0, 2, L"--") == 0)
            return L"unknown option: " + arg;
        else
            line.places.push_back(argv[i]);
    }
    return line.places.size() == 2 ? L"" : L"expects two arguments, URL and PATH";
}

const DWORD kOpenFlags = 0x84000D10;
const DWORD kReadSize = 2048;
const UINT kReport = WM_USER + 201;
const UINT kDone = WM_USER + 200;

struct Drain {
    HANDLE ready = nullptr;
    HWND window = nullptr;
    DWORD reports = 0;
    DWORD gather = 0;
};

// Counts the reports; the end message quits the loop.
LRESULT CALLBACK DrainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kReport) {
        ++static_cast<Drain*>(MessageWindowObject(hwnd))->reports;
        return 0;
    }
    if (msg == kDone) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

DWORD WINAPI DrainThread(void* param)
{
    Drain* drain = static_cast<Drain*>(param);
    static MessageWindowClass drainClass = {"ReciperunDrain", DrainProc, false};
    drain->window = CreateMessageWindow(drainClass, drain);
    ::SetEvent(drain->ready);
    CMessageLoop loop;
    loop.SetGatherPeriod(drain->gather);
    loop.Run();
    DestroyMessageWindow(&drain->window);
    return 0;
}

ULONGLONG CpuMs()
{
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const ULONGLONG k = (ULONGLONG(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime;
    const ULONGLONG u = (ULONGLONG(user.dwHighDateTime) << 32) | user.dwLowDateTime;
    return (k + u) / 10000;
}

// Reads the whole body into the file with the loop under test; returns the byte count or -1.
long long Transfer(HINTERNET request, HANDLE file, HWND window, bool flush)
{
    std::vector<BYTE> buffer(2 * kReadSize);
    DWORD present = 0;
    for (;;) {
        DWORD count = 0;
        if (!::InternetReadFile(request, buffer.data(), kReadSize, &count))
            return -1;
        if (count == 0)
            return present;
        DWORD written = 0;
        if (!::WriteFile(file, buffer.data(), count, &written, nullptr) || written != count)
            return -1;
        if (flush)
            ::FlushFileBuffers(file);
        present += count;
        if (window)
            ::PostMessageW(window, kReport, 0, static_cast<LPARAM>(present));
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    CommandLine line;
    const std::wstring problem = Parse(argc, argv, line);
    if (line.help)
        return cli::PrintUsage(kUsage);
    if (!problem.empty())
        return cli::Refuse(kTool, problem);
    const bool post = line.post, flush = line.flush;
    Drain drain;
    drain.gather = line.gather;
    HANDLE thread = nullptr;
    if (post) {
        drain.ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread = ::CreateThread(nullptr, 0, DrainThread, &drain, 0, nullptr);
        ::WaitForSingleObject(drain.ready, INFINITE);
    }
    const ULONGLONG start = ::GetTickCount64();
    HINTERNET session =
        ::InternetOpenW(L"reciperun", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET request =
        session ? ::InternetOpenUrlW(session, line.places[0], nullptr, 0, kOpenFlags, 0) : nullptr;
    HANDLE file = ::CreateFileW(line.places[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    long long bytes = -1;
    if (request && file != INVALID_HANDLE_VALUE)
        bytes = Transfer(request, file, drain.window, flush);
    if (thread) {
        ::PostMessageW(drain.window, kDone, 0, 0);
        ::WaitForSingleObject(thread, INFINITE);
    }
    const ULONGLONG ms = ::GetTickCount64() - start;
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    if (request)
        ::InternetCloseHandle(request);
    if (session)
        ::InternetCloseHandle(session);
    if (bytes < 0) {
        std::fprintf(stderr, "reciperun: the transfer failed (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::printf("RECIPE ms=%llu cpu=%llu bytes=%lld reports=%lu\n", ms, CpuMs(), bytes,
                drain.reports);
    return 0;
}
