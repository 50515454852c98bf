// Stand-in for the client's installer and for the client program in the updater's tests.
// Appends "start|<module path>|<command line>" to the file named by UPDATE_STUB_LOG, then waits
// UPDATE_STUB_SLEEP_MS milliseconds, appends "end|<module path>" and exits with UPDATE_STUB_EXIT.
// With UPDATE_STUB_SEND it first sends a settings change with a plain SendMessage, as installers
// do, and appends "sent|<how>" once it has been answered: "window" to the updater's dialog,
// "broadcast" to every top-level window. A windowless GUI program, so no console appears.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

unsigned long Setting(const char* name, unsigned long fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::strtoul(value, nullptr, 10) : fallback;
}

void Record(const char* line)
{
    const char* log = std::getenv("UPDATE_STUB_LOG");
    if (!log || !*log)
        return;
    HANDLE file = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, line, DWORD(std::strlen(line)), &written, nullptr);
    ::CloseHandle(file);
}

// Blocks until the receivers have answered, like any installer that announces a changed
// environment.
void SendSettingChange(const char* how)
{
    static const wchar_t kArea[] = L"Environment";
    HWND target = std::strcmp(how, "broadcast") == 0 ? HWND_BROADCAST
                                                     : ::FindWindowW(L"#32770", L"Qelvo升级程序");
    ::SendMessageW(target, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(kArea));
    char line[64];
    std::snprintf(line, sizeof line, "sent|%s\n", target ? how : "nowhere");
    Record(line);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    char line[2 * MAX_PATH + 64];
    std::snprintf(line, sizeof line, "start|%s|%s\n", module, ::GetCommandLineA());
    Record(line);
    const char* send = std::getenv("UPDATE_STUB_SEND");
    if (send && *send)
        SendSettingChange(send);
    ::Sleep(Setting("UPDATE_STUB_SLEEP_MS", 0));
    std::snprintf(line, sizeof line, "end|%s\n", module);
    Record(line);
    return int(Setting("UPDATE_STUB_EXIT", 0));
}
