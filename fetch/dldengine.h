// Fetches one file over HTTP with WinINet into the destination path: a new file, a replaced file
// or the continuation of a partial one. Runs on the worker thread for exactly one Download call
// and reports to the dialog window with WM_DLD_PROGRESS, WM_DLD_COMPLETE and WM_DLD_FAILED. The
// request itself is the shared download recipe (framework/httpget.h) in its wide form.
#pragma once
#include <windows.h>

#include <string>

#include "framework/httpget.h"

// Injection seam for tests: the call that posts the reports. Windows refuses a post with
// ERROR_NOT_ENOUGH_QUOTA once a thread's queue holds 10,000 messages; Wine has no such limit, so
// a test puts a stand-in here that refuses posts the same way. ::PostMessageW otherwise.
extern BOOL(WINAPI* g_pfnPostReportForTest)(HWND, UINT, WPARAM, LPARAM);

class CDldEngine {
public:
    CDldEngine() = default;
    CDldEngine(const CDldEngine&) = delete;
    CDldEngine& operator=(const CDldEngine&) = delete;

    void Download(std::wstring url, std::wstring path, int type, HWND hWndNotify);

    // The read-and-write loop; ends with exactly one completion or failure report.
    void TransferData(HANDLE file, CHttpGet& request);

    HWND m_hWndNotify = nullptr;
    std::wstring m_strPath;
    std::wstring m_strUrl;
    DWORD m_dwError = 0;
    DWORD m_dwTotal = 0;
    DWORD m_dwPresent = 0;
    bool m_bLengthKnown = false;

private:
    // Opens the destination by type; INVALID_HANDLE_VALUE when it cannot be created (types 0
    // and 1), nullptr for an unknown type. For type 2, nullptr with *failed set when the file
    // cannot be opened or positioned at its end.
    HANDLE OpenDestination(int type, bool* failed);
    HANDLE OpenForResume();
    HANDLE CreateFresh();
    // Continues at m_dwPresent, or starts the file over when the server sent the whole file
    // instead. Returns the file to write to, or nullptr (the file closed, untouched) when the
    // server refused to continue.
    HANDLE PositionOrRestart(CHttpGetW& request, HANDLE file);
    HANDLE Restart(HANDLE file);
    void Fail(DWORD code, bool wait);
    // A progress report, dropped when the dialog's queue is full: the next one carries newer counts.
    void Post(UINT msg, WPARAM wp, LPARAM lp);
    // The completion or a failure, retried while the dialog's queue is full: without it the
    // dialog would wait for ever.
    void PostLast(UINT msg, WPARAM wp, LPARAM lp);
};
