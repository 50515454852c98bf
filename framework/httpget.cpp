#include "framework/httpget.h"

#include <cstdlib>
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

// A status of 400 and above is an error page, never the file: a 500, a 503, a refused login
// (401, 403) or a proxy's 407 would otherwise be saved and reported complete. Redirects were
// followed by WinINet already. The size query must fail for want of a buffer; anything else
// means the status cannot be read.
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
    return DecimalValue(reinterpret_cast<const Ch*>(text.data())) < 400;
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

template <class Ch>
using UrlParts = std::conditional_t<std::is_same_v<Ch, wchar_t>, URL_COMPONENTSW, URL_COMPONENTSA>;

// One part of a cracked address (WinINet points into the address itself).
template <class Ch>
std::basic_string<Ch> Part(const Ch* text, DWORD length)
{
    return text ? std::basic_string<Ch>(text, length) : std::basic_string<Ch>();
}

// The connection to the address's server, with the time limits set on it so that every request
// opened on it (and every redirect it follows) inherits them.
template <class Ch>
HINTERNET Connect(HINTERNET session, const UrlParts<Ch>& parts)
{
    const std::basic_string<Ch> host = Part<Ch>(parts.lpszHostName, parts.dwHostNameLength);
    const std::basic_string<Ch> user = Part<Ch>(parts.lpszUserName, parts.dwUserNameLength);
    const std::basic_string<Ch> password = Part<Ch>(parts.lpszPassword, parts.dwPasswordLength);
    // An address without a user name logs in as nobody: null, not an empty name.
    HINTERNET connect = Pick<Ch>(&::InternetConnectA, &::InternetConnectW)(
        session, host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
        user.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
    if (!connect)
        return nullptr;
    DWORD limit = HttpGetTimeoutMs();
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(connect, option, &limit, sizeof limit);
    return connect;
}

// A failure to send that happened after the server was reached (the connection dropped, or no
// answer within the time limit) is a transfer failure; failing to reach the server at all (no
// such host, refused, a certificate refused) is a connect failure.
HttpGetResult SendFailure(DWORD error)
{
    return error == ERROR_INTERNET_TIMEOUT || error == ERROR_INTERNET_CONNECTION_ABORTED ||
                   error == ERROR_INTERNET_CONNECTION_RESET
               ? HttpGetResult::Read
               : HttpGetResult::Connect;
}

}  // namespace

DWORD HttpGetTimeoutMs()
{
    char text[16] = {};
    const DWORD n = ::GetEnvironmentVariableA("ST_TEST_ONLY_NET_TIMEOUT_MS", text, sizeof text);
    const unsigned long ms = n && n < sizeof text ? std::strtoul(text, nullptr, 10) : 0;
    return ms && ms < kHttpGetTimeoutMs ? DWORD(ms) : kHttpGetTimeoutMs;  // only ever shorter
}

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
    for (HINTERNET* handle : {&m_hRequest, &m_hConnect, &m_hSession}) {
        if (*handle)
            ::InternetCloseHandle(*handle);
        *handle = nullptr;
    }
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
    HttpGetResult failure = HttpGetResult::Connect;
    m_hRequest = SendRequest(nullptr, &failure);
    if (!m_hRequest)
        return failure;
    if (!CheckHttpStatus<Ch>(m_hRequest))
        return HttpGetResult::Status;
    if (!QueryContentLength<Ch>(m_hRequest, &m_dwTotal, &m_bLengthKnown))
        return HttpGetResult::Length;
    return HttpGetResult::Done;
}

// What InternetOpenUrl does for an HTTP address, in its steps, so that the time limits can be
// set on the connection before the request is sent.
template <class Ch>
HINTERNET CHttpGetT<Ch>::SendRequest(const Ch* headers, HttpGetResult* failure)
{
    *failure = HttpGetResult::Connect;
    UrlParts<Ch> parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength = 1;
    parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!Pick<Ch>(&::InternetCrackUrlA, &::InternetCrackUrlW)(m_url.data(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return nullptr;
    if (!m_hConnect && !(m_hConnect = Connect<Ch>(m_hSession, parts)))
        return nullptr;
    const std::basic_string<Ch> object = Part<Ch>(parts.lpszUrlPath, parts.dwUrlPathLength) +
                                         Part<Ch>(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const Ch get[] = {'G', 'E', 'T', 0};
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
    HINTERNET request = Pick<Ch>(&::HttpOpenRequestA, &::HttpOpenRequestW)(
        m_hConnect, get, object.empty() ? nullptr : object.c_str(), nullptr, nullptr, nullptr,
        kHttpGetFlags | secure, 0);
    if (!request)
        return nullptr;
    const DWORD headerChars = headers ? DWORD(std::char_traits<Ch>::length(headers)) : 0;
    if (Pick<Ch>(&::HttpSendRequestA, &::HttpSendRequestW)(request, headers, headerChars, nullptr,
                                                           0))
        return request;
    *failure = SendFailure(::GetLastError());
    ::InternetCloseHandle(request);
    return nullptr;
}

template class CHttpGetT<char>;
template class CHttpGetT<wchar_t>;
