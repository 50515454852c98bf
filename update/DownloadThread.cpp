// The download worker: fetches the package named on the command line into a new temporary file
// and reports progress, completion or the failure code to the dialog by posted messages.
#include <windows.h>
#include <objbase.h>
#include <rpc.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <io.h>

#include "update/UpdateApp.h"
#include "update/messages.h"
#include "update/report_text.h"
#include "update/settings.h"

namespace {

const char kUserAgent[] = "korvane_update";
const DWORD kOpenUrlFlags = 0x84000D10;   // reload, no cache write, resynchronise, hyperlink,
                                          // pragma no-cache, need file: always from the server
const DWORD kChunkSize = 2048;
const DWORD kUrlSize = 2048;

// "<guid>_korvane.exe" from a new GUID; false when the GUID cannot be made or turned into text.
bool MakePackageFileName(char name[128]) {
    GUID guid;
    if (FAILED(::CoCreateGuid(&guid)) || !upd::GuidTextAvailable()) return false;
    RPC_CSTR text = nullptr;
    if (::UuidToStringA(&guid, &text) != RPC_S_OK || !text) return false;
    std::snprintf(name, 127, "%s_%s.exe", reinterpret_cast<char*>(text), "korvane");
    ::RpcStringFreeA(&text);
    return true;
}

bool MakePackagePath(char path[520]) {
    char dir[520] = {};
    char name[128] = {};
    if (!::GetTempPathA(520, dir) || !MakePackageFileName(name)) return false;
    std::snprintf(path, 519, "%s%s", dir, name);
    if (_access(path, 0) == 0) {
        ::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path);
    }
    return true;
}

// Every status but 404 passes: other answers are saved and stopped later by the digest check.
BOOL CheckHttpStatus(HINTERNET request) {
    DWORD size = 0;
    if (::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, nullptr, &size, nullptr) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    char* text = static_cast<char*>(std::calloc(size + 1, 1));
    if (!text) return FALSE;
    BOOL ok = ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr);
    if (ok) ok = std::atol(text) != 404;
    std::free(text);
    return ok;
}

// Reads the announced length into *total; a missing header is not a failure (length unknown).
BOOL QueryContentLength(CUpdateApp* app, HINTERNET request, DWORD* total) {
    DWORD size = sizeof(DWORD);
    DWORD index = 0;
    if (::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, total, &size,
                         &index)) {
        app->m_bLengthKnown = 1;
        return TRUE;
    }
    *total = 0;
    return ::GetLastError() == ERROR_HTTP_HEADER_NOT_FOUND;
}

// Writes the whole chunk, flushing after every write.
BOOL WriteChunk(HANDLE file, const char* data, DWORD count) {
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, data, count, &written, nullptr)) return FALSE;
        ::FlushFileBuffers(file);
        data += written;
        count -= written;
    }
    return TRUE;
}

// The open handles of one transfer, closed in reverse order whichever way it ends.
struct Transfer {
    HINTERNET session = nullptr;
    HINTERNET request = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
    ~Transfer() {
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
        if (request) ::InternetCloseHandle(request);
        if (session) ::InternetCloseHandle(session);
    }
};

DWORD OpenRequest(CUpdateApp* app, Transfer& t) {
    t.session = ::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!t.session) return upd::UPD_ERR_SESSION;
    char url[kUrlSize] = {};
    DWORD size = kUrlSize;
    ::InternetCanonicalizeUrlA(g_strPackageUrl.c_str(), url, &size, ICU_BROWSER_MODE);
    t.request = ::InternetOpenUrlA(t.session, url, nullptr, 0, kOpenUrlFlags, 0);
    if (!t.request) return upd::UPD_ERR_CONNECT;
    if (!CheckHttpStatus(t.request)) return upd::UPD_ERR_STATUS;
    if (!QueryContentLength(app, t.request, &app->m_dwTotal)) return upd::UPD_ERR_LENGTH;
    return 0;
}

// Reads until the data ends. Complete when no length was announced or exactly the announced
// length arrived; data that ends short of it (or runs past it) is a transfer failure.
DWORD ReceiveBody(CUpdateApp* app, Transfer& t) {
    char chunk[kChunkSize];
    app->m_dwReceived = 0;
    for (;;) {
        DWORD count = 0;
        if (!::InternetReadFile(t.request, chunk, kChunkSize, &count)) return upd::UPD_ERR_TRANSFER;
        if (count == 0)
            return !app->m_bLengthKnown || app->m_dwReceived == app->m_dwTotal ? 0 : upd::UPD_ERR_TRANSFER;
        if (!WriteChunk(t.file, chunk, count)) return upd::UPD_ERR_WRITE;
        app->m_dwReceived += count;
        app->PostReport(WM_UPDATE_PROGRESS, WPARAM(app->m_dwTotal), LPARAM(app->m_dwReceived));
    }
}

DWORD DownloadPackage(CUpdateApp* app) {
    Transfer t;
    DWORD code = OpenRequest(app, t);
    if (code) return code;
    t.file = ::CreateFileA(app->m_szPackagePath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (t.file == INVALID_HANDLE_VALUE) return upd::UPD_ERR_TEMP_FILE;
    return ReceiveBody(app, t);
}

void ReportFailure(CUpdateApp* app, DWORD code) {
    app->m_dwError = code;
    app->PostReport(WM_UPDATE_FAILED, 0, reinterpret_cast<LPARAM>(&app->m_dwError));
}

}  // namespace

unsigned __stdcall DownloadThreadProc(void* param) {
    auto* app = static_cast<CUpdateApp*>(param);
    if (!app) return unsigned(-1);
    // Without a package name the dialog would wait for ever: report it as a temporary-file failure.
    if (!MakePackagePath(app->m_szPackagePath)) {
        ReportFailure(app, upd::UPD_ERR_TEMP_FILE);
        return unsigned(-1);
    }
    const DWORD code = DownloadPackage(app);
    // The handles are closed now, so the installer may open the file as soon as it is reported.
    if (code == 0)
        app->PostReport(WM_UPDATE_COMPLETE, 0, reinterpret_cast<LPARAM>(app->m_szPackagePath));
    else
        ReportFailure(app, code);
    return code == 0 || code == upd::UPD_ERR_WRITE || code == upd::UPD_ERR_TRANSFER ? 0 : unsigned(-1);
}
