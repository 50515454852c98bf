// The download recipe fetchkit and Update share: one HTTP GET through WinINet with user agent
// "korvane_update" and the system's proxy settings, the address canonicalised in browser mode
// into at most 2048 characters, opened always from the server, every status of 400 and above
// refused (an error page is not the file), the numeric Content-Length (a missing header meaning
// an unknown length), 2048-byte reads and a flush after every write, and time limits on
// connecting, sending and receiving. Each program puts its own reports and failure codes on top.
//
// The narrow form (CHttpGetA) calls the A forms of WinINet, the wide form (CHttpGetW) the W
// forms; reading and writing are the same for both.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <functional>
#include <vector>

// The InternetOpenUrl flags of the recipe: reload, no cache write, resynchronise, hyperlink,
// pragma no-cache, need file; always from the server, nothing kept in the cache.
constexpr DWORD kHttpGetFlags = 0x84000D10;

// WinINet's connect, send and receive time-outs: a server that accepts and then says nothing
// ends the download with a failure instead of holding it until someone cancels. A slow transfer
// that keeps moving is not cut, as each limit counts from the last byte that came or went.
constexpr DWORD kHttpGetTimeoutMs = 30000;

// variable ST_TEST_ONLY_NET_TIMEOUT_MS when it is shorter, so that a stalled server fails a test run in a second.
// variable ST_TEST_ONLY_NET_TIMEOUT_MS, so that a stalled server fails a test run in a second.
DWORD HttpGetTimeoutMs();

// Where a download stopped; each program maps these to its own failure codes with a table in
// this order, so new values go at the end.
enum class HttpGetResult {
    Done,     // the data ended: all of the announced length, or any amount when none was announced
    Session,  // InternetOpen failed
    Connect,  // InternetOpenUrl returned no handle
    Status,   // the status could not be read, or it is 400 or above
    Length,   // the length query failed for another reason than a missing header
    Write,    // a chunk could not be written
    Read,     // a read failed or timed out, the connection was dropped or timed out before the
              // answer came, the data ended short of or ran past the announced length, or the
              // count would pass 32 bits
};

// True when count more bytes may follow present: not past an announced total, and the count
// stays within 32 bits.
inline bool HttpChunkFits(bool lengthKnown, DWORD total, DWORD present, DWORD count)
{
    if (lengthKnown && (present > total || count > total - present))
        return false;
    return count <= 0xFFFFFFFFu - present;
}

// Writes the whole chunk, flushing the file after every WriteFile, successful or not. Fails for
// an invalid file handle, null data, a failing write, or a write that makes no progress.
BOOL WriteChunk(HANDLE file, const BYTE* data, DWORD count);

// The session, connection and request of one download, closed by Close or the destructor
// (request first).
class CHttpGet {
public:
    CHttpGet() = default;
    CHttpGet(const CHttpGet&) = delete;
    CHttpGet& operator=(const CHttpGet&) = delete;
    ~CHttpGet() { Close(); }

    void Close();
    // Reads to the end of the data into file, adding each chunk to *present once it is written
    // and then calling onChunk. The counts are checked against the announced length before each
    // write, so nothing past it reaches the file.
    HttpGetResult Receive(HANDLE file, DWORD* present, const std::function<void()>& onChunk);

    HINTERNET m_hSession = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hRequest = nullptr;
    DWORD m_dwTotal = 0;  // the announced length; 0 when none was announced
    bool m_bLengthKnown = false;
};

// Opening in the narrow or the wide WinINet forms (Ch is char or wchar_t).
template <class Ch>
class CHttpGetT : public CHttpGet {
public:
    // Opens the session and the canonical address, checks the status and reads the announced
    // length. On failure the handles opened so far stay open until Close.
    HttpGetResult Open(const Ch* url);
    // Asks for the canonical address again on the open connection with extra request headers
    // (lines ending in CRLF). Returns the new request, which the caller owns, or nullptr with
    // *failure set to Connect or Read.
    HINTERNET SendRequest(const Ch* headers, HttpGetResult* failure);

private:
    std::vector<Ch> m_url;
};

using CHttpGetA = CHttpGetT<char>;
using CHttpGetW = CHttpGetT<wchar_t>;
