// The download worker: fetches the package named on the command line into a new temporary file
// and reports progress, completion or the failure code to the dialog by posted messages.
#include <windows.h>
#include <objbase.h>
#include <rpc.h>

#include <cstdio>
#include <io.h>
#include <iterator>

#include "framework/httpget.h"
#include "update/updateapp.h"
#include "update/messages.h"
#include "update/report_text.h"
#include "update/settings.h"

namespace {

// "<guid>_korvane.exe" from a new GUID; false when the GUID cannot be made or turned into text.
bool MakePackageFileName(char name[128])
{
    GUID guid;
    if (FAILED(::CoCreateGuid(&guid)) || !upd::GuidTextAvailable())
        return false;
    RPC_CSTR text = nullptr;
    if (::UuidToStringA(&guid, &text) != RPC_S_OK || !text)
        return false;
    std::snprintf(name, 127, "%s_%s.exe", reinterpret_cast<char*>(text), "korvane");
    ::RpcStringFreeA(&text);
    return true;
}

bool MakePackagePath(char path[520])
{
    char dir[520] = {};
    char name[128] = {};
    if (!::GetTempPathA(520, dir) || !MakePackageFileName(name))
        return false;
    std::snprintf(path, 519, "%s%s", dir, name);
    if (_access(path, 0) == 0) {
        ::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path);
    }
    return true;
}

// The failure code of each step of the shared recipe, in the order of HttpGetResult.
DWORD FailureCode(HttpGetResult result)
{
    static const DWORD kCodes[] = {0,
                                   upd::UPD_ERR_SESSION,
                                   upd::UPD_ERR_CONNECT,
                                   upd::UPD_ERR_STATUS,
                                   upd::UPD_ERR_LENGTH,
                                   upd::UPD_ERR_WRITE,
                                   upd::UPD_ERR_TRANSFER};
    static_assert(std::size(kCodes) == static_cast<size_t>(HttpGetResult::Read) + 1);
    return kCodes[static_cast<int>(result)];
}

// Fetches the package into the new temporary file; 0 or the failure code. Every handle is closed
// when it returns. Data that end short of, or run past, the announced length are a transfer
// failure.
DWORD DownloadPackage(CUpdateApp* app)
{
    CHttpGetA request;
    const HttpGetResult opened = request.Open(g_strPackageUrl.c_str());
    if (opened != HttpGetResult::Done)
        return FailureCode(opened);
    app->m_dwTotal = request.m_dwTotal;
    app->m_bLengthKnown = request.m_bLengthKnown;
    HANDLE file =
        ::CreateFileA(app->m_szPackagePath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return upd::UPD_ERR_TEMP_FILE;
    app->m_dwReceived = 0;
    const HttpGetResult received = request.Receive(file, &app->m_dwReceived, [app] {
        app->PostReport(WM_UPDATE_PROGRESS, WPARAM(app->m_dwTotal), LPARAM(app->m_dwReceived));
    });
    ::CloseHandle(file);
    return FailureCode(received);
}

void ReportFailure(CUpdateApp* app, DWORD code)
{
    app->m_dwError = code;
    app->PostReport(WM_UPDATE_FAILED, 0, reinterpret_cast<LPARAM>(&app->m_dwError));
}

}  // namespace

unsigned __stdcall DownloadThreadProc(void* param)
{
    auto* app = static_cast<CUpdateApp*>(param);
    if (!app)
        return unsigned(-1);
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
    return code == 0 || code == upd::UPD_ERR_WRITE || code == upd::UPD_ERR_TRANSFER ? 0
                                                                                    : unsigned(-1);
}
