#include "fetch/dldengine.h"

#include <cstdio>
#include <iterator>

#include "fetch/dldmsg.h"
#include "fetch/httppos.h"

namespace {

HANDLE CreateForWrite(const std::wstring& path, DWORD disposition)
{
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The failure code of each failing step of the shared recipe, in the order of HttpGetResult.
DWORD FailureCode(HttpGetResult result)
{
    static const DWORD kCodes[] = {0,
                                   DLD_ERR_SESSION,
                                   DLD_ERR_CONNECT,
                                   DLD_ERR_STATUS,
                                   DLD_ERR_LENGTH,
                                   DLD_ERR_WRITE,
                                   DLD_ERR_READ};
    static_assert(std::size(kCodes) == static_cast<size_t>(HttpGetResult::Read) + 1);
    return kCodes[static_cast<int>(result)];
}

}  // namespace

BOOL(WINAPI* g_pfnPostReportForTest)(HWND, UINT, WPARAM, LPARAM) = ::PostMessageW;

void CDldEngine::Post(UINT msg, WPARAM wp, LPARAM lp)
{
    g_pfnPostReportForTest(m_hWndNotify, msg, wp, lp);
}

// Only a full queue is worth waiting for; any other refusal (the window is gone) is final.
void CDldEngine::PostLast(UINT msg, WPARAM wp, LPARAM lp)
{
    while (!g_pfnPostReportForTest(m_hWndNotify, msg, wp, lp) &&
           ::GetLastError() == ERROR_NOT_ENOUGH_QUOTA)
        ::Sleep(10);
}

void CDldEngine::Fail(DWORD code, bool wait)
{
    m_dwError = code;
    if (wait)
        ::SendMessageW(m_hWndNotify, WM_DLD_FAILED, 0, static_cast<LPARAM>(code));
    else
        PostLast(WM_DLD_FAILED, 0, static_cast<LPARAM>(code));
}

void CDldEngine::Download(std::wstring url, std::wstring path, int type, HWND hWndNotify)
{
    if (!hWndNotify)
        return;
    m_hWndNotify = hWndNotify;
    m_strUrl = std::move(url);
    m_strPath = std::move(path);

    // Failures before the read loop close what is open, then wait until the dialog has the report.
    CHttpGetW request;
    const HttpGetResult opened = request.Open(m_strUrl.c_str());
    if (opened != HttpGetResult::Done) {
        request.Close();
        return Fail(FailureCode(opened), true);
    }
    m_dwTotal = request.m_dwTotal;
    m_bLengthKnown = request.m_bLengthKnown;

    bool failed = false;
    HANDLE file = OpenDestination(type, &failed);
    if (failed || file == INVALID_HANDLE_VALUE) {
        request.Close();
        return Fail(failed ? DLD_ERR_SEEK : DLD_ERR_CREATE, true);
    }
    if (type == DLD_TYPE_RESUME && m_dwPresent != 0 && m_dwPresent != m_dwTotal &&
        !(file = PositionOrRestart(request, file))) {
        request.Close();
        return Fail(DLD_ERR_READ, true);
    }

    if (m_bLengthKnown && m_dwPresent >= m_dwTotal)
        PostLast(WM_DLD_COMPLETE, 0, 0);
    else
        TransferData(file, request);

    request.Close();
    if (file && file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
}

HANDLE CDldEngine::OpenDestination(int type, bool* failed)
{
    switch (type) {
    case DLD_TYPE_NEW: {
        HANDLE file = CreateForWrite(m_strPath, CREATE_ALWAYS);
        wchar_t text[16];
        std::swprintf(text, 16, L"%d", static_cast<int>(::GetLastError()));
        // Owned by the dialog, so that it shows above the dialog (which stays on top) instead of
        // hiding behind it while the transfer looks stalled.
        if (file == INVALID_HANDLE_VALUE)
            ::MessageBoxW(m_hWndNotify, text, nullptr, MB_OK);
        return file;
    }
    case DLD_TYPE_REPLACE:
        return CreateFresh();
    case DLD_TYPE_RESUME: {
        HANDLE file = OpenForResume();
        *failed = file == nullptr;
        return file;
    }
    default:
        return nullptr;
    }
}

HANDLE CDldEngine::CreateFresh()
{
    ::SetFileAttributesW(m_strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CreateForWrite(m_strPath, CREATE_ALWAYS);
}

HANDLE CDldEngine::OpenForResume()
{
    HANDLE file = CreateForWrite(m_strPath, OPEN_EXISTING);
    m_dwPresent = ::GetFileSize(file, nullptr);
    if (::SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        m_dwPresent = 0;
        return nullptr;
    }
    Post(WM_DLD_PROGRESS, m_dwTotal, m_dwPresent);
    return file;
}

// A kept file longer than the announced length is no prefix of it and starts over without asking.
// Otherwise only a whole-file answer to the ranged request starts over; a refusal (an error
// status, a dropped connection, no answer in time) leaves the partial file as it is, for the next
// try to continue.
HANDLE CDldEngine::PositionOrRestart(CHttpGetW& request, HANDLE file)
{
    const RangeAnswer answer = m_bLengthKnown && m_dwPresent > m_dwTotal
                                   ? RangeAnswer::WholeFile
                                   : PositionRequest(request, m_dwPresent);
    if (answer == RangeAnswer::Positioned)
        return file;
    if (answer == RangeAnswer::WholeFile)
        return Restart(file);
    ::CloseHandle(file);
    return nullptr;
}

// Starts the file over from the first byte, without a report, reading the first answer's body.
HANDLE CDldEngine::Restart(HANDLE file)
{
    ::CloseHandle(file);
    ::SetFileAttributesW(m_strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(m_strPath.c_str());
    m_dwPresent = 0;
    return CreateForWrite(m_strPath, CREATE_ALWAYS);
}

// Posted reports only from here on: progress after every chunk written, then completion or the
// failure. Data that end short of, or run past, the announced length are a read failure.
void CDldEngine::TransferData(HANDLE file, CHttpGet& request)
{
    const HttpGetResult result = request.Receive(
        file, &m_dwPresent, [this] { Post(WM_DLD_PROGRESS, m_dwTotal, m_dwPresent); });
    if (result == HttpGetResult::Done)
        PostLast(WM_DLD_COMPLETE, 0, 0);
    else
        Fail(FailureCode(result), false);
}
