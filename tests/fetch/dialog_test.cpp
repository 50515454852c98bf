// The download dialog in-process under Wine: the engine's reports go in as messages, and the
// reports to the starting window, the progress bar and the end of the message loop come out.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "fetch/dlgdownloadfile.h"
#include "fetch/dldmsg.h"
#include "pump.h"
#include "tests/framework/msgwindow.h"

namespace {

// Stand-in starting window: records the protocol messages it receives.
class Starter : public CMessageWindow {
public:
    std::vector<std::pair<WPARAM, LPARAM>> results;
    HWND announced = nullptr;

protected:
    BOOL ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT&) override
    {
        if (msg == WM_DLD_WINDOW)
            announced = reinterpret_cast<HWND>(lp);
        else if (msg == WM_DLD_RESULT)
            results.emplace_back(wp, lp);
        else
            return FALSE;
        return TRUE;
    }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        starter.Create(L"FetchDialogTestStarter", L"", WS_POPUP, 0);
        dialog = new CDlgDldFile(starter);
        ASSERT_NE(nullptr, dialog->Create(nullptr));
        hwnd = dialog->m_hWnd;
        Pump();
    }
    void TearDown() override { delete dialog; }

    int Bar() { return static_cast<int>(SendMessageW(GetDlgItem(hwnd, 10), PBM_GETPOS, 0, 0)); }

    Starter starter;
    CDlgDldFile* dialog = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(DialogTest, AnnouncesItselfWithTheSkinnedLayout)
{
    EXPECT_EQ(hwnd, starter.announced);
    RECT rc;
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(340, rc.right - rc.left);
    EXPECT_EQ(180, rc.bottom - rc.top);
    HWND bar = GetDlgItem(hwnd, 10);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(1000, SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    int buttons = 0;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        buttons += GetDlgCtrlID(c) == IDCANCEL;
    EXPECT_EQ(2, buttons);
}

BOOL CALLBACK CollectTip(HWND hwnd, LPARAM lp)
{
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, TOOLTIPS_CLASSW) != 0 || SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0) != 1)
        return TRUE;
    wchar_t text[80] = {};
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.lpszText = text;
    SendMessageW(hwnd, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&ti));
    reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(text);
    return TRUE;
}

TEST_F(DialogTest, ButtonsCarryTheirTooltips)
{
    std::vector<std::wstring> tips;
    EnumThreadWindows(GetCurrentThreadId(), &CollectTip, reinterpret_cast<LPARAM>(&tips));
    std::sort(tips.begin(), tips.end());
    EXPECT_EQ((std::vector<std::wstring>{L"关闭", L"取消传输"}), tips);
}

TEST_F(DialogTest, ProgressMovesTheBarInThousandths)
{
    SendMessageW(hwnd, WM_DLD_PROGRESS, 2000000, 500000);
    EXPECT_EQ(250, Bar());
    SendMessageW(hwnd, WM_DLD_PROGRESS, 0, 900000);  // no total announced: the bar stays
    EXPECT_EQ(250, Bar());
    SendMessageW(hwnd, WM_DLD_PROGRESS, 10, 5);  // a small total scales directly
    EXPECT_EQ(500, Bar());
    SendMessageW(hwnd, WM_DLD_PROGRESS, 2000000, 3000000);
    EXPECT_EQ(1000, Bar());
    EXPECT_TRUE(starter.results.empty());
}

// One way of ending the dialog: the message posted to it, what its loop returns and the
// reports the starting window gets.
struct Ending {
    const char* name;
    UINT msg;
    WPARAM wp;
    int loopResult;
    std::vector<std::pair<WPARAM, LPARAM>> reports;
};

void PrintTo(const Ending& e, std::ostream* os)
{
    *os << e.name;
}

class DialogEnding : public DialogTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(DialogEnding, ReportsAtMostOnceAndEndsTheLoop)
{
    const Ending& e = GetParam();
    PostMessageW(hwnd, e.msg, e.wp, 0);
    EXPECT_EQ(e.loopResult, Pump());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(e.reports, starter.results);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, DialogEnding,
    ::testing::Values(
        Ending{"Completion", WM_DLD_COMPLETE, 0, IDCANCEL, {{5, 0}}},  // success, reported once
        Ending{"OkClose", WM_COMMAND, IDOK, IDOK, {}},                 // no report
        Ending{"SystemClose", WM_SYSCOMMAND, SC_CLOSE, IDCANCEL, {{6, 9}}}),  // a cancel
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

TEST_F(DialogTest, FailureReportsItsReasonAndCloseRequestReportsNine)
{
    SendMessageW(hwnd, WM_DLD_FAILED, 0, 4);  // length query failed: the generic reason
    Pump();
    ASSERT_EQ(1u, starter.results.size());
    EXPECT_EQ(std::make_pair(WPARAM(6), LPARAM(7)), starter.results[0]);
    EXPECT_TRUE(IsWindow(hwnd));  // open until the close timer or a request
    PostMessageW(hwnd, WM_DLD_CLOSE, 0, 0);
    EXPECT_EQ(IDCANCEL, Pump());
    ASSERT_EQ(2u, starter.results.size());
    EXPECT_EQ(std::make_pair(WPARAM(6), LPARAM(9)), starter.results[1]);
}

}  // namespace
