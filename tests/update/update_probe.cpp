// Test driver for the updater's dialog from another process (same Wine prefix and display).
//   update_probe state        one JSON line: window visibility and rectangle, and per control 1000..1004 its
//                             visibility, text (UTF-8) and client rectangle; bar position
//   update_probe about        JSON line of the about box ("关于 Update"): rectangle, texts
//   update_probe click ID     posts BN_CLICKED of control ID to the dialog
//   update_probe key VK       posts a key-down of virtual key VK to the dialog's focused control
//   update_probe sys CMD      posts WM_SYSCOMMAND CMD (61536 = close box, 16 = about entry)
//   update_probe aboutok      posts IDOK to the about box
//   update_probe md5 PATH     GetFileMd5 of PATH (as the updater computes it), or "none"
//   update_probe short PATH   the short (8.3) form of PATH
// Exit status 0 on success, 1 when the window is not there, 2 on a usage error.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "update/filemd5.h"

namespace {

std::string Utf8(const wchar_t* text)
{
    char out[1024] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            out += '\\', out += char(c);
        else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else
            out += char(c);
    }
    return out + "\"";
}

std::string WindowText(HWND hwnd)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 511);
    return Utf8(text);
}

std::string ControlJson(HWND dialog, int id)
{
    HWND control = ::GetDlgItem(dialog, id);
    if (!control)
        return "null";
    RECT rc;
    ::GetWindowRect(control, &rc);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "{\"visible\":%d,\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld,\"text\":",
                  ::IsWindowVisible(control) ? 1 : 0, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top);
    return buf + JsonString(WindowText(control)) + "}";
}

HWND FindUpdateDialog()
{
    return ::FindWindowW(L"#32770", L"Qelvo升级程序");
}
HWND FindAboutBox()
{
    return ::FindWindowW(L"#32770", L"关于 Update");
}

int PrintState(HWND dialog)
{
    RECT client, window;
    ::GetClientRect(dialog, &client);
    ::GetWindowRect(dialog, &window);
    // The dialog's thread is blocked while the installer runs: do not wait for it then (-1).
    DWORD_PTR bar = DWORD_PTR(-1);
    if (!::SendMessageTimeoutW(::GetDlgItem(dialog, 1000), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 300,
                               &bar))
        bar = DWORD_PTR(-1);
    std::printf("{\"visible\":%d,\"client_w\":%ld,\"bar\":%ld,\"rect\":[%ld,%ld,%ld,%ld]",
                ::IsWindowVisible(dialog) ? 1 : 0, client.right, long(bar), window.left, window.top,
                window.right, window.bottom);
    for (int id = 1000; id <= 1004; ++id)
        std::printf(",\"%d\":%s", id, ControlJson(dialog, id).c_str());
    std::printf("}\n");
    return 0;
}

int PrintAbout()
{
    HWND about = FindAboutBox();
    if (!about)
        return 1;
    std::string texts;
    for (HWND child = ::GetWindow(about, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        texts += (texts.empty() ? "" : ",") + JsonString(WindowText(child));
    RECT rc;
    ::GetWindowRect(about, &rc);
    std::printf("{\"visible\":%d,\"rect\":[%ld,%ld,%ld,%ld],\"texts\":[%s]}\n",
                ::IsWindowVisible(about) ? 1 : 0, rc.left, rc.top, rc.right, rc.bottom,
                texts.c_str());
    return 0;
}

int PostKey(HWND dialog, WPARAM vk)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    ::PostMessageW(target, WM_KEYDOWN, vk, 1);
    ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string command = argv[1];
    if (command == "md5" && argc == 3) {
        char digest[33] = {};
        std::printf("%s\n", GetFileMd5(argv[2], digest) ? digest : "none");
        return 0;
    }
    if (command == "short" && argc == 3) {
        char shortPath[MAX_PATH] = {};
        if (!::GetShortPathNameA(argv[2], shortPath, MAX_PATH))
            return 1;
        std::printf("%s\n", shortPath);
        return 0;
    }
    if (command == "about")
        return PrintAbout();
    if (command == "aboutok") {
        HWND about = FindAboutBox();
        return about && ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) ? 0 : 1;
    }
    HWND dialog = FindUpdateDialog();
    if (!dialog)
        return 1;
    if (command == "state")
        return PrintState(dialog);
    if (argc != 3)
        return 2;
    const unsigned long value = std::strtoul(argv[2], nullptr, 10);
    if (command == "click")
        return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(value, BN_CLICKED),
                              reinterpret_cast<LPARAM>(::GetDlgItem(dialog, int(value))))
                   ? 0
                   : 1;
    if (command == "key")
        return PostKey(dialog, value);
    if (command == "sys")
        return ::PostMessageW(dialog, WM_SYSCOMMAND, value, 0) ? 0 : 1;
    return 2;
}
