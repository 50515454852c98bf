#include "framework/httpget.h"

#include <string>
#include <type_traits>

namespace {

const DWORD kUrlChars = 2048;
const DWORD kReadSize = 2048;

// The narrow or the wide form of a WinINet call, picked by character type.
template <class Ch, class Narrow, class Wide>
auto Pick(Narrow narrow, Wide wide)
{
    if constexpr (std::is_same_v<Ch, wchar_t>)
        return wide;
    else
        return narrow;
}

template <class Ch>
BOOL QueryInfo(HINTERNET request, DWORD what, void* buffer, DWORD* size, DWORD* index)
{
    return Pick<Ch>(&::HttpQueryInfoA, &::HttpQueryInfoW)(request, what, buffer, size, index);
}

// The user agent in either character type (plain ASCII, so widening is exact).
template <class Ch>
std::basic_string<Ch> UserAgent()
{
    const char agent[] = "korvane_update";
    return std::basic_string<Ch>(agent, agent + sizeof agent - 1);
}

// The number of a status text (WinINet gives the digits alone); stops growing past any status.
template <class Ch>
long DecimalValue(const Ch* text)
{
    long value = 0;
    for (; *text >= Ch('0') && *text <= Ch('9') && value < 100000; ++text)
        value = value * 10 + (*text - Ch('0'));
    return value;
}

// Every status but 404 passes: the programs save other answers and judge them later. The size
// query must fail for want of a buffer; anything else means the status cannot be read.
template <class Ch>
BOOL CheckHttpStatus(HINTERNET request)
{
    DWORD size = 0;
    if (QueryInfo<Ch>(request, HTTP_QUERY_STATUS_CODE, nullptr, &size, nullptr) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    std::vector<BYTE> text(size + sizeof(Ch), 0);
    if (!QueryInfo<Ch>(request, HTTP_QUERY_STATUS_CODE, text.data(), &size, nullptr))
        return FALSE;
    return DecimalValue(reinterpret_cast<const Ch*>(text.data())) != 404;
}

// Reads the announced length; a missing header is no failure but an unknown length.
template <class Ch>
BOOL QueryContentLength(HINTERNET request, DWORD* total, bool* known)
{
    DWORD size = sizeof(DWORD);
    DWORD index = 0;
    *known = QueryInfo<Ch>(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, total,
                           &size, &index) != FALSE;
    if (*known)
        return TRUE;
    *total = 0;
    return ::GetLastError() == ERROR_HTTP_HEADER_NOT_FOUND;
}

}  // namespace

BOOL WriteChunk(HANDLE file, const BYTE* data, DWORD count)
{
    if (file == INVALID_HANDLE_VALUE || !data)
        return FALSE;
    DWORD done = 0;
    while (done < count) {
        DWORD written = 0;
        const BOOL ok = ::WriteFile(file, data + done, count - done, &written, nullptr);
        ::FlushFileBuffers(file);
        if (!ok || written == 0)
            return FALSE;
        done += written;
    }
    return TRUE;
}

void CHttpGet::Close()
{
    if (m_hRequest)
        ::InternetCloseHandle(m_hRequest);
    if (m_hSession)
        ::InternetCloseHandle(m_hSession);
    m_hRequest = nullptr;
    m_hSession = nullptr;
}

HttpGetResult CHttpGet::Receive(HANDLE file, DWORD* present, const std::function<void()>& onChunk)
{
    std::vector<BYTE> buffer(kReadSize, 0);
    for (;;) {
        DWORD count = 0;
        if (!::InternetReadFile(m_hRequest, buffer.data(), kReadSize, &count))
            return HttpGetResult::Read;
        if (count == 0)
            return m_bLengthKnown && *present != m_dwTotal ? HttpGetResult::Read
                                                           : HttpGetResult::Done;
        if (!HttpChunkFits(m_bLengthKnown, m_dwTotal, *present, count))
            return HttpGetResult::Read;
        if (!WriteChunk(file, buffer.data(), count))
            return HttpGetResult::Write;
        *present += count;
        onChunk();
    }
}

template <class Ch>
HttpGetResult CHttpGetT<Ch>::Open(const Ch* url)
{
    m_hSession = Pick<Ch>(&::InternetOpenA, &::InternetOpenW)(
        UserAgent<Ch>().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hSession)
        return HttpGetResult::Session;
    m_url.assign(kUrlChars, Ch(0));
    DWORD size = kUrlChars;
    Pick<Ch>(&::InternetCanonicalizeUrlA, &::InternetCanonicalizeUrlW)(url, m_url.data(), &size,
                                                                       ICU_BROWSER_MODE);
    m_hRequest = Pick<Ch>(&::InternetOpenUrlA, &::InternetOpenUrlW)(m_hSession, m_url.data(),
                                                                    nullptr, 0, kHttpGetFlags, 0);
    if (!m_hRequest)
        return HttpGetResult::Connect;
    if (!CheckHttpStatus<Ch>(m_hRequest))
        return HttpGetResult::Status;
    if (!QueryContentLength<Ch>(m_hRequest, &m_dwTotal, &m_bLengthKnown))
        return HttpGetResult::Length;
    return HttpGetResult::Done;
}

template class CHttpGetT<char>;
template class CHttpGetT<wchar_t>;
