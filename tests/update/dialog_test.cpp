// The real updater dialog under Wine, run modally on the test thread and driven from a second
// thread with the worker's report messages. Compiled with -fexec-charset=GBK like the program;
// texts are compared after the same ANSI-to-Unicode conversion the controls apply.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "update/updatedlg.h"
#include "update/messages.h"
#include "update/report_text.h"
#include "update/resource.h"

namespace {

std::wstring FromAnsi(const std::string& text)
{
    wchar_t out[512] = {};
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out, 511);
    return out;
}

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(::GetDlgItem(dialog, id), text, 511);
    return text;
}

bool Visible(HWND dialog, int id)
{
    return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE;
}

LRESULT Bar(HWND dialog)
{
    return ::SendMessageW(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0);
}

// Runs the dialog modally here while `drive` works on it from another thread, then closes it.
void WithDialog(const std::function<void(HWND)>& drive)
{
    CUpdateDlg dialog;
    std::thread driver([&] {
        HWND hwnd = nullptr;
        for (int i = 0; i < 500 && !(hwnd && ::IsWindowVisible(hwnd)); ++i, ::Sleep(10))
            hwnd = ::FindWindowW(L"#32770", L"Qelvo升级程序");  // shown once initialised
        ASSERT_NE(hwnd, nullptr);
        drive(hwnd);
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    dialog.DoModal();
    driver.join();
}

TEST(UpdateDialog, StartsWithBarAndSizeLineAndAboutEntry)
{
    WithDialog([](HWND dlg) {
        EXPECT_TRUE(Visible(dlg, IDC_PROGRESS) && Visible(dlg, IDC_SIZE_INFO));
        for (int id : {IDC_RESULT, IDC_ACTION_BUTTON, IDC_CANCEL_BUTTON})
            EXPECT_FALSE(Visible(dlg, id)) << id;
        PBRANGE range = {};
        ::SendMessageW(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETRANGE, FALSE,
                       reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, 1);
        EXPECT_EQ(range.iHigh, 100);
        HMENU menu = ::GetSystemMenu(dlg, FALSE);
        const int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(::GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
        wchar_t entry[64] = {};
        ::GetMenuStringW(menu, count - 1, entry, 64, MF_BYPOSITION);
        EXPECT_STREQ(entry, L"关于 Update(&A)...");
    });
}

TEST(UpdateDialog, ProgressShowsSizesOrAlternatesWithoutLength)
{
    WithDialog([](HWND dlg) {
        const DWORD received = 512 * 1024;
        ::SendMessageW(dlg, WM_UPDATE_PROGRESS, 1023 * 1024, received);
        EXPECT_EQ(Bar(dlg), 50);
        EXPECT_EQ(Text(dlg, IDC_SIZE_INFO), FromAnsi("总文件大小:1023KB 已经下载的大小:512KB"));
        int bars[3];
        for (int& bar : bars) {
            ::SendMessageW(dlg, WM_UPDATE_PROGRESS, 0, received);
            bar = int(Bar(dlg));
        }
        EXPECT_EQ(bars[0] + bars[1], 150);  // 50, 100, 50 or 100, 50, 100
        EXPECT_EQ(bars[0], bars[2]);
        EXPECT_EQ(Text(dlg, IDC_SIZE_INFO), FromAnsi("总文件大小:1023KB 已经下载的大小:512KB"));
    });
}

TEST(UpdateDialog, EveryFailureCodeShowsItsTextAndTwoButtons)
{
    WithDialog([](HWND dlg) {
        RECT before;
        ::GetWindowRect(::GetDlgItem(dlg, IDC_ACTION_BUTTON), &before);
        for (DWORD code = 0; code <= 12; ++code) {
            ::SendMessageW(dlg, WM_UPDATE_FAILED, 0, LPARAM(&code));
            EXPECT_EQ(Text(dlg, IDC_RESULT), FromAnsi(upd::FailureText(code))) << code;
        }
        EXPECT_EQ(Text(dlg, IDC_ACTION_BUTTON), FromAnsi("手动下载"));
        EXPECT_EQ(Text(dlg, IDC_CANCEL_BUTTON), FromAnsi("取消"));
        EXPECT_TRUE(Visible(dlg, IDC_RESULT) && Visible(dlg, IDC_ACTION_BUTTON) &&
                    Visible(dlg, IDC_CANCEL_BUTTON));
        EXPECT_FALSE(Visible(dlg, IDC_PROGRESS) || Visible(dlg, IDC_SIZE_INFO));
        RECT after;
        ::GetWindowRect(::GetDlgItem(dlg, IDC_ACTION_BUTTON), &after);
        EXPECT_EQ(after.left, before.left);  // template place, not centred
    });
}

}  // namespace
