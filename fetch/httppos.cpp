#include "fetch/httppos.h"

#include <string>

#include "fetch/dldtext.h"

namespace {

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
RangeAnswer RangeRequest(CHttpGetW& request, DWORD position)
{
    const std::wstring header = L"Range: bytes=" + std::to_wstring(position) + L"-\r\n";
    HttpGetResult failure = HttpGetResult::Done;
    HINTERNET ranged = request.SendRequest(header.c_str(), &failure);
    if (!ranged)
        return RangeAnswer::Refused;
    const DWORD status = QueryStatus(ranged);
    if (status != 206 || !ContentRangeStartsAt(QueryContentRange(ranged), position)) {
        ::InternetCloseHandle(ranged);
        return status == 200 ? RangeAnswer::WholeFile : RangeAnswer::Refused;
    }
    ::InternetCloseHandle(request.m_hRequest);
    request.m_hRequest = ranged;
    return RangeAnswer::Positioned;
}

}  // namespace

RangeAnswer PositionRequest(CHttpGetW& request, DWORD position)
{
    const DWORD reached = ::InternetSetFilePointer(request.m_hRequest, static_cast<LONG>(position),
                                                   nullptr, FILE_BEGIN, 0);
    if (reached == position)
        return RangeAnswer::Positioned;
    return RangeRequest(request, position);
}
