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

void CDldEngine::Post(UINT msg, WPARAM wp, LPARAM lp)
{
    ::PostMessageW(m_hWndNotify, msg, wp, lp);
}

void CDldEngine::Fail(DWORD code, bool wait)
{
    m_dwError = code;
    if (wait)
        ::SendMessageW(m_hWndNotify, WM_DLD_FAILED, 0, static_cast<LPARAM>(code));
    else
        Post(WM_DLD_FAILED, 0, static_cast<LPARAM>(code));
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
    if (type == DLD_TYPE_RESUME && m_dwPresent != 0 && m_dwPresent != m_dwTotal)
        file = PositionOrRestart(request, file);

    if (m_bLengthKnown && m_dwPresent >= m_dwTotal)
        Post(WM_DLD_COMPLETE, 0, 0);
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
        if (file == INVALID_HANDLE_VALUE)
            ::MessageBoxW(nullptr, text, nullptr, MB_OK);
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

HANDLE CDldEngine::PositionOrRestart(CHttpGetW& request, HANDLE file)
{
    if (PositionRequest(request.m_hSession, request.Url(), kHttpGetFlags, &request.m_hRequest,
                        m_dwPresent) == m_dwPresent)
        return file;
    // The server cannot continue: start the file over from the first byte, without a report.
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
        Post(WM_DLD_COMPLETE, 0, 0);
    else
        Fail(FailureCode(result), false);
}
