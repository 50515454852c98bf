#include "update/install.h"

#include <cstdio>

#include "update/filemd5.h"
#include "update/updateapp.h"
#include "update/report_text.h"
#include "update/settings.h"

namespace {

// Waits for process up to limitMs. Messages sent to this thread's windows are answered
// meanwhile (an installer that broadcasts a settings change with SendMessage waits for every
// top-level window, the hidden dialog's too); posted ones stay queued, so nothing re-enters the
// dialog. True when the process ended within the limit.
bool WaitAnsweringSentMessages(HANDLE process, DWORD limitMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        const DWORD left = elapsed < limitMs ? limitMs - elapsed : 0;
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke != WAIT_OBJECT_0 + 1)
            return false;  // the limit, or a failed wait
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

CHeldPackage::CHeldPackage(const char* path) : m_szPath{}
{
    std::snprintf(m_szPath, sizeof m_szPath, "%s", path);
    m_hFile = OpenFileForMd5(m_szPath);
}

CHeldPackage::~CHeldPackage()
{
    Release();
}

void CHeldPackage::Release()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

DWORD CHeldPackage::Check(const std::string& expectedMd5) const
{
    char digest[33] = {};
    const bool computed = GetOpenFileMd5(m_hFile, digest) != FALSE;
    return upd::DigestAccepted(computed, digest, expectedMd5) ? 0 : upd::UPD_ERR_CHECKSUM;
}

// The path is quoted so that a temporary folder with blanks in it (a user name) still names the
// package and not some other program.
DWORD RunInstaller(CHeldPackage& package)
{
    char commandLine[600] = {};
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" /S", package.Path());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process);
    package.Release();
    if (!started)
        return upd::UPD_ERR_LAUNCH;
    // On time-out the installer is left running; only our handles go.
    const bool ended = WaitAnsweringSentMessages(process.hProcess, upd::InstallTimeLimitMs());
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return ended ? 0 : upd::UPD_ERR_TIMEOUT;
}

DWORD CheckAndInstallPackage(const char* packagePath)
{
    CHeldPackage package(packagePath);
    const DWORD code = package.Check(g_strExpectedMd5);
    return code ? code : RunInstaller(package);
}
