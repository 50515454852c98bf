// The download worker's reports under Wine, against a minimal HTTP server on a real socket: each
// progress report carries the counts of its own moment, whenever the dialog gets to it.
#include <windows.h>
#include <process.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/msgonlywnd.h"
#include "tests/fetch/tinyhttp.h"
#include "update/updateapp.h"
#include "update/messages.h"

namespace {

// Stands in for the dialog's window: records the received count of every progress report.
std::vector<DWORD> g_received;
bool g_completed = false;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_UPDATE_PROGRESS)
        g_received.push_back(DWORD(lp));
    else if (msg == WM_UPDATE_COMPLETE)
        g_completed = true;
    else
        return ::DefWindowProcA(hwnd, msg, wp, lp);
    return 0;
}

MessageWindowClass g_recorderClass = {"UpdateReportRecorder", RecorderProc, false};

// The dialog is busy until the transfer has ended, so every report waits in its queue: each must
// still show the count it was posted with.
TEST(UpdateReports, ProgressCarriesTheCountsOfItsOwnMoment)
{
    const DWORD kSize = 20000;
    TinyHttpServer server(std::string(kSize, 'p'));
    g_strPackageUrl = server.Url();
    HWND recorder = CreateMessageWindow(g_recorderClass, nullptr);
    theApp.AttachDialogWindow(recorder);
    HANDLE worker = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, DownloadThreadProc, &theApp, 0, nullptr));
    ASSERT_NE(worker, nullptr);
    ::WaitForSingleObject(worker, INFINITE);
    ::CloseHandle(worker);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
    theApp.DetachDialogWindow();
    DestroyMessageWindow(&recorder);
    ::DeleteFileA(theApp.m_szPackagePath);

    EXPECT_TRUE(g_completed);
    ASSERT_FALSE(g_received.empty());
    EXPECT_EQ(kSize, g_received.back());
    DWORD previous = 0;
    for (DWORD received : g_received) {
        EXPECT_GT(received, previous);
        EXPECT_LE(received - previous, 2048u);
        previous = received;
    }
}

}  // namespace
