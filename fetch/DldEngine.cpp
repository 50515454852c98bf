#include "fetch/DldEngine.h"

#include <cstdio>
#include <vector>

#include "fetch/dldmsg.h"
#include "fetch/httppos.h"

namespace {

const DWORD kOpenFlags = 0x84000D10;  // reload, no cache write, resynchronise, hyperlink,
                                      // pragma no-cache, need file
const DWORD kUrlChars = 2048;
const DWORD kReadSize = 2048;
const DWORD kBufferSize = 4096;

void CloseInternet(HINTERNET request, HINTERNET session)
{
    if (request)
        ::InternetCloseHandle(request);
    if (session)
        ::InternetCloseHandle(session);
}

HANDLE CreateForWrite(const std::wstring& path, DWORD disposition)
{
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
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

    HINTERNET session = ::InternetOpenW(L"korvane_update", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                        nullptr, 0);
    if (!session)
        return Fail(DLD_ERR_SESSION, true);

    std::vector<wchar_t> canonical(kUrlChars, L'\0');
    DWORD size = kUrlChars;
    ::InternetCanonicalizeUrlW(m_strUrl.c_str(), canonical.data(), &size, ICU_BROWSER_MODE);

    HINTERNET request = ::InternetOpenUrlW(session, canonical.data(), nullptr, 0, kOpenFlags, 0);
    if (!request || !CheckHttpStatus(request)) {
        CloseInternet(request, session);
        return Fail(request ? DLD_ERR_STATUS : DLD_ERR_CONNECT, true);
    }
    if (!QueryContentLength(request)) {
        CloseInternet(request, session);
        return Fail(DLD_ERR_LENGTH, true);
    }

    bool failed = false;
    HANDLE file = OpenDestination(type, &failed);
    if (failed || file == INVALID_HANDLE_VALUE) {
        CloseInternet(request, session);
        return Fail(failed ? DLD_ERR_SEEK : DLD_ERR_CREATE, true);
    }
    if (type == DLD_TYPE_RESUME && m_dwPresent != 0 && m_dwPresent != m_dwTotal)
        file = PositionOrRestart(session, canonical.data(), &request, file);

    if (m_bLengthKnown && m_dwPresent >= m_dwTotal)
        Post(WM_DLD_COMPLETE, 0, 0);
    else
        TransferData(file, request);

    CloseInternet(request, session);
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

HANDLE CDldEngine::PositionOrRestart(HINTERNET session, const wchar_t* url, HINTERNET* request,
                                     HANDLE file)
{
    if (PositionRequest(session, url, kOpenFlags, request, m_dwPresent) == m_dwPresent)
        return file;
    // The server cannot continue: start the file over from the first byte, without a report.
    ::CloseHandle(file);
    ::SetFileAttributesW(m_strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(m_strPath.c_str());
    m_dwPresent = 0;
    return CreateForWrite(m_strPath, CREATE_ALWAYS);
}

bool CDldEngine::DataEndedShort() const
{
    return m_bLengthKnown && m_dwPresent != m_dwTotal;
}

void CDldEngine::TransferData(HANDLE file, HINTERNET request)
{
    std::vector<BYTE> buffer(kBufferSize, 0);
    for (;;) {
        DWORD count = 0;
        if (!::InternetReadFile(request, buffer.data(), kReadSize, &count))
            return Fail(DLD_ERR_READ, false);
        if (count == 0) {
            // The data ended; with an announced length they must have matched it exactly.
            if (DataEndedShort())
                return Fail(DLD_ERR_READ, false);
            return Post(WM_DLD_COMPLETE, 0, 0);
        }
        // More than announced is as wrong as less; counts beyond 32 bits cannot be reported.
        if ((m_bLengthKnown && count > m_dwTotal - m_dwPresent) || count > 0xFFFFFFFFu - m_dwPresent)
            return Fail(DLD_ERR_READ, false);
        if (!WriteChunk(file, buffer.data(), count))
            return Fail(DLD_ERR_WRITE, false);
        m_dwPresent += count;
        Post(WM_DLD_PROGRESS, m_dwTotal, m_dwPresent);
    }
}

BOOL CDldEngine::WriteChunk(HANDLE file, const BYTE* data, DWORD count)
{
    if (file == INVALID_HANDLE_VALUE || !data)
        return FALSE;
    DWORD done = 0;
    while (done < count) {
        DWORD written = 0;
        const BOOL ok = ::WriteFile(file, data + done, count - done, &written, nullptr);
        ::FlushFileBuffers(file);
        if (!ok)
            return FALSE;
        done += written;
    }
    return TRUE;
}

BOOL CDldEngine::CheckHttpStatus(HINTERNET request)
{
    if (!request)
        return FALSE;
    DWORD size = 0;
    if (::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, nullptr, &size, nullptr) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    std::vector<BYTE> text(size + sizeof(wchar_t), 0);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text.data(), &size, nullptr))
        return FALSE;
    const long status = std::wcstol(reinterpret_cast<const wchar_t*>(text.data()), nullptr, 10);
    return status != 404;
}

BOOL CDldEngine::QueryContentLength(HINTERNET request)
{
    if (!request)
        return FALSE;
    DWORD size = sizeof(m_dwTotal);
    DWORD index = 0;
    if (::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &m_dwTotal,
                         &size, &index)) {
        m_bLengthKnown = true;
        return TRUE;
    }
    m_dwTotal = 0;
    m_bLengthKnown = false;
    return ::GetLastError() == ERROR_HTTP_HEADER_NOT_FOUND;
}
