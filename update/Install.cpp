#include "update/Install.h"

#include <cstdio>

#include "update/FileMd5.h"
#include "update/UpdateApp.h"
#include "update/report_text.h"
#include "update/settings.h"

namespace {

// Starts the installer silently and waits for it. The path is quoted so that a temporary folder
// with blanks in it (a user name) still names the package and not some other program.
DWORD RunInstaller(const char* path) {
    char commandLine[600] = {};
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" /S", path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return upd::UPD_ERR_LAUNCH;
    // On time-out the installer is left running; only our handles go.
    const bool ended = ::WaitForSingleObject(process.hProcess, upd::InstallTimeLimitMs()) == WAIT_OBJECT_0;
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return ended ? 0 : upd::UPD_ERR_TIMEOUT;
}

}  // namespace

DWORD CheckAndInstallPackage(const char* packagePath) {
    char path[520] = {};
    std::snprintf(path, sizeof path, "%s", packagePath);
    char digest[33] = {};
    const bool computed = GetFileMd5(path, digest) != FALSE;
    if (!upd::DigestAccepted(computed, digest, g_strExpectedMd5)) return upd::UPD_ERR_CHECKSUM;
    return RunInstaller(path);
}
