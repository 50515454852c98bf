// Test stand-in for the program that starts the downloader: it owns a hidden window, starts
// fetchkit.exe with a real command line naming that window, and prints every protocol message it
// receives, one line each on stdout (dldclient --help lists the lines and the options).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "fetch/dldmsg.h"
#include "pump.h"
#include "tools/cli/cli.h"

namespace {

const char kTool[] = "dldclient";
const char kUsage[] =
    "usage: dldclient [options]\n"
    "Stands in for the program that starts the downloader: owns a window, starts fetchkit.exe\n"
    "with a command line naming it and prints every message it receives, with milliseconds\n"
    "since the start, one line each:\n"
    "  <ms> START <command line>                 <ms> NOSTART <error>   <ms> RESTART <error>\n"
    "  <ms> WINDOW <wParam> <dialog handle>      <ms> RESULT <wParam> <lParam>\n"
    "  <ms> BOX <text>                           (a message box of fetchkit, then dismissed)\n"
    "  <ms> BOXFRONT 0|1                         (1: the box is the window at its own centre)\n"
    "  <ms> PROBE title=RRGGBB red=N ink=N notice=N bar=N exstyle=XXXXXXXX\n"
    "  <ms> HITTEST band=N body=N                <ms> KEYS target=dialog|child|other\n"
    "  <ms> CLOSE                                <ms> EXIT <code>     <ms> TIMEOUT\n"
    "options:\n"
    "  --exe PATH          the downloader (default: fetchkit.exe beside this program)\n"
    "  --args TEXT         command line after the program path; \"{hwnd}\" becomes our window\n"
    "                      handle in decimal (default: built from --type, --url and --path)\n"
    "  --type N            /downloadtype= of the built command line (default 0)\n"
    "  --url URL           /downloadurl= of the built command line (default empty)\n"
    "  --path PATH         /downloadpath= of the built command line (default empty)\n"
    "  --close-after MS    post WM_DLD_CLOSE to the dialog MS after WM_DLD_WINDOW (0: at once,\n"
    "                      from the handler of WM_DLD_WINDOW itself; default: never)\n"
    "  --probe MS[,MS...]  read pixels of the dialog that long after WM_DLD_WINDOW (default: "
    "never)\n"
    "  --probe-from window|result\n"
    "                      count the probe times from WM_DLD_WINDOW or from WM_DLD_RESULT, so a\n"
    "                      failure's look is probed however late the failure comes (default "
    "window)\n"
    "  --keys MS           type Tab, Enter and Esc MS after WM_DLD_WINDOW (default: never)\n"
    "  --hittest 0|1       ask the dialog for hit tests in and below its title band (default 0)\n"
    "  --at X,Y            show our window at X,Y (340x180), so that the dialog centres over it\n"
    "                      (default: hidden at 0,0)\n"
    "  --timeout MS        give up and end fetchkit after MS (default 60000)\n"
    "  --watch 0|1         1: look every 20 ms for message boxes to answer and for the times of\n"
    "                      --probe, --keys and --close-after; 0: only wait for messages, as a\n"
    "                      real client does, so that a measurement pays for nothing else (no box\n"
    "                      is answered; refused with those three) (default 1)\n"
    "  --help              this text\n"
    "Exit code 0 once fetchkit has ended (its code is in EXIT), 2 on a bad command line, 3 when\n"
    "fetchkit cannot be started.\n";

const wchar_t* const kOptionNames[] = {
    L"--exe",        L"--args", L"--type",    L"--url", L"--path",    L"--close-after", L"--probe",
    L"--probe-from", L"--keys", L"--hittest", L"--at",  L"--timeout", L"--watch"};

struct Options {
    std::wstring exe, args, type = L"0", url, path;
    bool argsGiven = false, hittest = false, probeFromResult = false, watch = true;
    int closeAfter = -1, keysAt = -1, timeout = 60000;
    std::vector<int> probes, at;
};

Options g_opt;
ULONGLONG g_start = 0;
HWND g_hWndDialog = nullptr;
HWND g_hWndBox = nullptr;  // the message box already answered
ULONGLONG g_windowAt = 0;
ULONGLONG g_resultAt = 0;
DWORD g_pid = 0;
bool g_closed = false, g_keysDone = false;
size_t g_nextProbe = 0;

void Say(const char* fmt, ...)
{
    std::printf("%llu ", static_cast<unsigned long long>(GetTickCount64() - g_start));
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::printf("\n");
    std::fflush(stdout);
}

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

// The whole text as a number of at least min.
bool ParseInt(const std::wstring& text, long min, int& value)
{
    wchar_t* end = nullptr;
    errno = 0;
    const long number = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || errno == ERANGE || number < min || number > INT_MAX)
        return false;
    value = static_cast<int>(number);
    return true;
}

// "N,N,...": numbers of at least min.
bool ParseList(const std::wstring& text, long min, std::vector<int>& out)
{
    out.clear();
    for (size_t i = 0;;) {
        const size_t comma = text.find(L',', i);
        int value = 0;
        if (!ParseInt(text.substr(i, comma == std::wstring::npos ? comma : comma - i), min, value))
            return false;
        out.push_back(value);
        if (comma == std::wstring::npos)
            return true;
        i = comma + 1;
    }
}

bool ApplyOption(const std::wstring& k, const std::wstring& v)
{
    if (k == L"--exe")
        g_opt.exe = v;
    else if (k == L"--args") {
        g_opt.args = v;
        g_opt.argsGiven = true;
    } else if (k == L"--type")
        g_opt.type = v;
    else if (k == L"--url")
        g_opt.url = v;
    else if (k == L"--path")
        g_opt.path = v;
    else if (k == L"--close-after")
        return ParseInt(v, 0, g_opt.closeAfter);
    else if (k == L"--probe")
        return ParseList(v, 0, g_opt.probes);
    else if (k == L"--keys")
        return ParseInt(v, 0, g_opt.keysAt);
    else if (k == L"--timeout")
        return ParseInt(v, 0, g_opt.timeout);
    else if (k == L"--at")
        return ParseList(v, INT_MIN, g_opt.at) && g_opt.at.size() == 2;
    else if (k == L"--probe-from") {
        if (v != L"window" && v != L"result")
            return false;
        g_opt.probeFromResult = v == L"result";
    } else if (k == L"--watch") {
        if (v != L"0" && v != L"1")
            return false;
        g_opt.watch = v == L"1";
    } else if (k == L"--hittest") {
        if (v != L"0" && v != L"1")
            return false;
        g_opt.hittest = v == L"1";
    }
    return true;
}

bool WantsHelp(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; i += 2) {
        if (cli::IsHelp(argv[i]))
            return true;
    }
    return false;
}

// Empty when every option is known and has a good value, else the problem.
std::wstring ParseOptions(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; i += 2) {
        const std::wstring k = argv[i];
        if (std::find(std::begin(kOptionNames), std::end(kOptionNames), k) ==
            std::end(kOptionNames))
            return L"unknown option: " + k;
        if (i + 1 >= argc)
            return L"missing value after " + k;
        if (!ApplyOption(k, argv[i + 1]))
            return L"bad value for " + k + L": " + argv[i + 1];
    }
    if (!g_opt.watch && (g_opt.closeAfter >= 0 || g_opt.keysAt >= 0 || !g_opt.probes.empty()))
        return L"--watch 0 cannot time --close-after, --keys or --probe";
    return L"";
}

std::wstring DefaultExe()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + L"fetchkit.exe";
}

std::wstring BuildCommandLine(HWND self)
{
    std::wstring tail = g_opt.argsGiven
                            ? g_opt.args
                            : L"/hwnd={hwnd} /downloadtype=" + g_opt.type + L" /downloadurl=" +
                                  g_opt.url + L" /downloadpath=" + g_opt.path;
    const std::wstring handle =
        std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(self)));
    for (size_t at; (at = tail.find(L"{hwnd}")) != std::wstring::npos;)
        tail.replace(at, 6, handle);
    return L"\"" + g_opt.exe + L"\" " + tail;
}

// Pixels of the dialog as they are on the screen.
void Probe()
{
    RECT rc;
    if (!IsWindow(g_hWndDialog) || !GetWindowRect(g_hWndDialog, &rc)) {
        Say("PROBE gone");
        return;
    }
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    auto count = [&](int x0, int y0, int cw, int ch, bool red) {
        int n = 0;
        for (int y = y0; y < y0 + ch && y < h; ++y)
            for (int x = x0; x < x0 + cw && x < w; ++x) {
                COLORREF c = GetPixel(mem, x, y);
                int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
                n += red ? (r >= 200 && g <= 80 && b <= 80) : (r < 90 && g < 90 && b < 90);
            }
        return n;
    };
    COLORREF title = GetPixel(mem, 200, 12);
    int red = count(50, 105, 240, 20, true), ink = count(50, 105, 240, 20, false);
    int notice = count(20, 44, 160, 20, false);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    const LRESULT bar = SendMessageW(GetDlgItem(g_hWndDialog, 10), PBM_GETPOS, 0, 0);
    Say("PROBE title=%02X%02X%02X red=%d ink=%d notice=%d bar=%d exstyle=%08lX at=%ld,%ld",
        GetRValue(title), GetGValue(title), GetBValue(title), red, ink, notice,
        static_cast<int>(bar),
        static_cast<unsigned long>(GetWindowLongW(g_hWndDialog, GWL_EXSTYLE)), rc.left, rc.top);
}

void HitTest()
{
    RECT rc;
    GetWindowRect(g_hWndDialog, &rc);
    LRESULT band =
        SendMessageW(g_hWndDialog, WM_NCHITTEST, 0, MAKELPARAM(rc.left + 200, rc.top + 10));
    LRESULT body =
        SendMessageW(g_hWndDialog, WM_NCHITTEST, 0, MAKELPARAM(rc.left + 200, rc.top + 60));
    Say("HITTEST band=%d body=%d", static_cast<int>(band), static_cast<int>(body));
}

// Tab, Enter and Esc as they reach the dialog's message loop: posted to the window that has the
// keyboard focus in the dialog's thread (the dialog itself when none has it).
void TypeKeys()
{
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof(gti);
    GetGUIThreadInfo(GetWindowThreadProcessId(g_hWndDialog, nullptr), &gti);
    HWND target = gti.hwndFocus ? gti.hwndFocus : g_hWndDialog;
    Say("KEYS target=%s", target == g_hWndDialog          ? "dialog"
                          : IsChild(g_hWndDialog, target) ? "child"
                                                          : "other");
    const struct {
        WORD vk;
        wchar_t ch;
    } keys[] = {{VK_TAB, L'\t'}, {VK_RETURN, L'\r'}, {VK_ESCAPE, 0x1B}};
    for (const auto& k : keys) {
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(k.vk, MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(target, WM_KEYDOWN, k.vk, 1 | scan);
        PostMessageW(target, WM_CHAR, k.ch, 1 | scan);
        PostMessageW(target, WM_KEYUP, k.vk, 1 | scan | (1LL << 30) | (1LL << 31));
    }
}

BOOL CALLBACK FindBox(HWND hwnd, LPARAM)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    // A message box is a dialog with the static text control 0xFFFF; the download dialog is not.
    if (pid != g_pid || hwnd == g_hWndDialog || hwnd == g_hWndBox || !IsWindowVisible(hwnd) ||
        std::wstring(cls) != L"#32770" || !GetDlgItem(hwnd, 0xFFFF))
        return TRUE;
    wchar_t text[256] = {};
    GetDlgItemTextW(hwnd, 0xFFFF, text, 256);
    g_hWndBox = hwnd;
    Say("BOX %s", Utf8(text).c_str());
    RECT r = {};
    GetWindowRect(hwnd, &r);
    const HWND hit = WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    Say("BOXFRONT %d", hit && GetAncestor(hit, GA_ROOT) == hwnd ? 1 : 0);
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// Runs every 20 ms: message boxes, probes, key presses and the close request by their times.
void Tick()
{
    EnumWindows(&FindBox, 0);
    if (!g_hWndDialog)
        return;
    const ULONGLONG since = GetTickCount64() - g_windowAt;
    const ULONGLONG probeBase = g_opt.probeFromResult ? g_resultAt : g_windowAt;
    if (probeBase && g_nextProbe < g_opt.probes.size() &&
        GetTickCount64() - probeBase >= static_cast<ULONGLONG>(g_opt.probes[g_nextProbe])) {
        ++g_nextProbe;
        Probe();
    }
    if (g_opt.keysAt >= 0 && !g_keysDone && since >= static_cast<ULONGLONG>(g_opt.keysAt)) {
        g_keysDone = true;
        TypeKeys();
    }
    if (g_opt.closeAfter >= 0 && !g_closed && since >= static_cast<ULONGLONG>(g_opt.closeAfter)) {
        g_closed = true;
        Say("CLOSE");
        PostMessageW(g_hWndDialog, WM_DLD_CLOSE, 0, 0);
    }
}

LRESULT CALLBACK ClientProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_DLD_WINDOW:
        g_hWndDialog = reinterpret_cast<HWND>(lp);
        g_windowAt = GetTickCount64();
        Say("WINDOW %llu %llu", static_cast<unsigned long long>(wp),
            static_cast<unsigned long long>(static_cast<UINT_PTR>(lp)));
        if (g_opt.hittest)
            HitTest();
        if (g_opt.closeAfter == 0)
            Tick();
        return 0;
    case WM_DLD_RESULT:
        Say("RESULT %llu %lld", static_cast<unsigned long long>(wp), static_cast<long long>(lp));
        if (!g_resultAt)
            g_resultAt = GetTickCount64();  // the first result: a failure, or success
        return 0;
    case WM_TIMER:
        Tick();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CreateClientWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &ClientProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DldClientWindow";
    RegisterClassW(&wc);
    const bool placed = g_opt.at.size() == 2;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"dldclient", WS_POPUP,
                                placed ? g_opt.at[0] : 0, placed ? g_opt.at[1] : 0, 340, 180,
                                nullptr, nullptr, wc.hInstance, nullptr);
    if (placed)
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    g_start = GetTickCount64();
    if (WantsHelp(argc, argv))
        return cli::PrintUsage(kUsage);
    const std::wstring problem = ParseOptions(argc, argv);
    if (!problem.empty())
        return cli::Refuse(kTool, problem);
    if (g_opt.exe.empty())
        g_opt.exe = DefaultExe();
    HWND self = CreateClientWindow();
    std::wstring cmd = BuildCommandLine(self);
    Say("START %s", Utf8(cmd).c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // Wine now and then fails a process start with ERROR_INTERNAL_ERROR right after another
    // process was killed; that is the platform's hiccup, not the program's, so a start is tried
    // three times, each failure said.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(g_opt.exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &pi))
            break;
        const DWORD err = GetLastError();
        if (attempt == 3 || err != ERROR_INTERNAL_ERROR) {
            Say("NOSTART %lu", err);
            return 3;
        }
        Say("RESTART %lu", err);
    }
    g_pid = pi.dwProcessId;
    CloseHandle(pi.hThread);
    if (g_opt.watch)
        SetTimer(self, 1, 20, nullptr);
    for (;;) {
        DWORD w = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT);
        Pump();
        if (w == WAIT_OBJECT_0)
            break;
        if (GetTickCount64() - g_start > static_cast<ULONGLONG>(g_opt.timeout)) {
            Say("TIMEOUT");
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
    }
    Pump();  // messages posted just before the end are still in the queue
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    Say("EXIT %ld", static_cast<long>(code));
    CloseHandle(pi.hProcess);
    DestroyWindow(self);
    return 0;
}
