#include "fetch/httppos.h"

#include <string>

#include "fetch/dldtext.h"

namespace {

bool NotImplemented(DWORD error)
{
    return error == ERROR_INTERNET_INVALID_OPERATION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD QueryStatus(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr))
        return 0;
    return status;
}

std::wstring QueryContentRange(HINTERNET request)
{
    wchar_t text[128] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_RANGE, text, &size, nullptr))
        return std::wstring();
    return text;
}

// The same address again, asking for the bytes from position on.
DWORD RangeRequest(HINTERNET session, const wchar_t* url, DWORD flags, HINTERNET* request,
                   DWORD position)
{
    const std::wstring header = L"Range: bytes=" + std::to_wstring(position) + L"-\r\n";
    HINTERNET ranged = ::InternetOpenUrlW(session, url, header.c_str(),
                                          static_cast<DWORD>(header.size()), flags, 0);
    if (!ranged)
        return INVALID_SET_FILE_POINTER;
    if (QueryStatus(ranged) != 206 || !ContentRangeStartsAt(QueryContentRange(ranged), position)) {
        ::InternetCloseHandle(ranged);
        return INVALID_SET_FILE_POINTER;
    }
    ::InternetCloseHandle(*request);
    *request = ranged;
    return position;
}

}  // namespace

DWORD PositionRequest(HINTERNET session, const wchar_t* url, DWORD flags, HINTERNET* request,
                      DWORD position)
{
    const DWORD reached =
        ::InternetSetFilePointer(*request, static_cast<LONG>(position), nullptr, FILE_BEGIN, 0);
    if (reached != INVALID_SET_FILE_POINTER || !NotImplemented(::GetLastError()))
        return reached;
    return RangeRequest(session, url, flags, request, position);
}
