// Entry of the downloader: parses the command line, prepares COM, the common controls and GDI+,
// shows the download dialog, runs the transfer on a worker thread and the message loop until the
// dialog closes. Exit code: -1 bad command line, 0 no dialog, 1 the dialog ran.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "framework/gdiplusinc.h"

#include "fetch/dlgdownloadfile.h"
#include "fetch/cmdline.h"
#include "fetch/dldworker.h"
#include "framework/msgloop.h"

namespace {

// The worker posts a report per 2048 bytes; the loop takes them in batches at most this late, so
// the main thread wakes about fifty times a second during a transfer instead of once per report.
// The bar and the texts change no faster than that anyway.
const DWORD kReportGatherMs = 20;

// Start-up values: written once before the dialog and the worker exist, only read afterwards.
HWND g_hWndNotify = nullptr;
DldJob g_job;

int Run()
{
    CMessageLoop theLoop;
    theLoop.SetGatherPeriod(kReportGatherMs);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);

    int result = 1;
    {
        CDlgDldFile dialog(g_hWndNotify);
        if (!dialog.Create(nullptr)) {
            ::OutputDebugStringW(L"CDlgDldFile dialog creation failed!\n");
            result = 0;
        } else {
            // Off the taskbar and above other windows.
            const LONG exStyle = ::GetWindowLongW(dialog.m_hWnd, GWL_EXSTYLE);
            ::SetWindowLongW(dialog.m_hWnd, GWL_EXSTYLE,
                             exStyle | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
            HANDLE thread = StartDldWorker(dialog.m_hWnd, g_job);
            if (thread)
                ::CloseHandle(thread);
            dialog.ShowWindow(SW_SHOW);
            // The system keeps WS_EX_TOPMOST out of a SetWindowLong change, so the shown window
            // is put into the topmost band explicitly.
            ::SetWindowPos(dialog.m_hWnd, HWND_TOPMOST, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            ::UpdateWindow(dialog.m_hWnd);
            theLoop.Run();
        }
    }
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);

    DldCommandLine parsed;
    const wchar_t* line = ::GetCommandLineW();
    int result = -1;
    if (ParseDldCommandLine(line ? line : L"", &parsed)) {
        g_hWndNotify = reinterpret_cast<HWND>(static_cast<LONG_PTR>(parsed.hwnd));
        g_job.type = parsed.type;
        g_job.url = parsed.url;
        g_job.path = parsed.path;
        result = Run();
    }
    ::CoUninitialize();
    return result;
}
