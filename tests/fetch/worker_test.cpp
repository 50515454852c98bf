// The downloader's worker under Wine against a minimal HTTP server on a real socket: a dialog
// closed at once after the worker's start must not take the worker's report window with it, and
// a dialog too busy to empty its queue still gets the completion.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>

#include "fetch/dldengine.h"
#include "fetch/dlgdownloadfile.h"
#include "fetch/dldmsg.h"
#include "fetch/dldworker.h"
#include "pump.h"
#include "tinyhttp.h"

namespace {

const char kBody[] = "hello, worker";

std::wstring TempFile(int i)
{
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"dldworker_test_" + std::to_wstring(::GetCurrentProcessId()) +
           L"_" + std::to_wstring(i) + L".bin";
}

std::string Contents(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The starting window sends the close request as soon as it learns the dialog's window, as a
// client that gives up at once does; the dialog goes away before the worker may have looked at
// it. The worker still runs its transfer for the window it was started for.
TEST(DldWorker, DialogClosedAtOnceAfterTheStartLeavesTheWorkerItsWindow)
{
    TinyHttpServer server(kBody);
    const int kRuns = 100;
    int transferred = 0;
    for (int i = 0; i < kRuns; ++i) {
        const std::wstring path = TempFile(i);
        ::DeleteFileW(path.c_str());
        auto* dialog = new CDlgDldFile(nullptr);
        ASSERT_NE(nullptr, dialog->Create(nullptr));
        HANDLE worker = StartDldWorker(dialog->m_hWnd, DldJob{server.UrlW(), path, DLD_TYPE_NEW});
        ASSERT_NE(nullptr, worker);
        ::PostMessageW(dialog->m_hWnd, WM_DLD_CLOSE, 0, 0);
        EXPECT_EQ(IDCANCEL, Pump());
        delete dialog;
        ::WaitForSingleObject(worker, INFINITE);
        ::CloseHandle(worker);
        transferred += Contents(path) == kBody;
        ::DeleteFileW(path.c_str());
    }
    std::printf("transfers run by the worker: %d of %d\n", transferred, kRuns);
    EXPECT_EQ(kRuns, transferred);
    EXPECT_EQ(kRuns, server.Answered());
}

// Stand-in for Windows' limit of 10,000 messages in a thread's queue, which Wine does not have:
// while the dialog's thread is held busy, a post beyond the limit is refused with
// ERROR_NOT_ENOUGH_QUOTA. Signals once the completion itself has been refused.
const int kQueueQuota = 10000;
std::atomic<bool> g_dialogBusy{false};
std::atomic<int> g_queued{0};
HANDLE g_lastRefused = nullptr;

BOOL WINAPI PostWithQuota(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (g_dialogBusy && g_queued >= kQueueQuota) {
        if (msg != WM_DLD_PROGRESS)
            ::SetEvent(g_lastRefused);
        ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    ++g_queued;
    return ::PostMessageW(hwnd, msg, wp, lp);
}

TEST(DldWorker, CompletionArrivesThroughAFullQueue)
{
    TinyHttpServer server(std::string((kQueueQuota + 100) * 2048, 'q'));
    g_lastRefused = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_pfnPostReportForTest = &PostWithQuota;
    g_dialogBusy = true;
    const std::wstring path = TempFile(-1);
    auto* dialog = new CDlgDldFile(nullptr);
    ASSERT_NE(nullptr, dialog->Create(nullptr));
    HANDLE worker = StartDldWorker(dialog->m_hWnd, DldJob{server.UrlW(), path, DLD_TYPE_NEW});
    ASSERT_NE(nullptr, worker);
    // The dialog's thread (this one) handles nothing until the completion has been refused.
    ::WaitForSingleObject(g_lastRefused, INFINITE);
    g_dialogBusy = false;
    ::WaitForSingleObject(worker, INFINITE);
    ::CloseHandle(worker);
    const int completed = Pump();  // the completion closes the dialog with the cancel command
    if (completed != IDCANCEL) {
        ::PostMessageW(dialog->m_hWnd, WM_DLD_CLOSE, 0, 0);
        Pump();
    }
    delete dialog;
    g_pfnPostReportForTest = &::PostMessageW;
    ::CloseHandle(g_lastRefused);
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(IDCANCEL, completed);
}

}  // namespace
