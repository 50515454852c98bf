#include "update/install.h"

#include <shellapi.h>

#include <cstdio>

#include "update/filemd5.h"
#include "update/updateapp.h"
#include "update/report_text.h"
#include "update/settings.h"

// Windows' answer to a start of a program whose manifest (or, without one, whose name) asks for
// an administrator; MinGW's headers lack it.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

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

// A plain child process from the quoted path with " /S" (a temporary folder with blanks in it,
// a user name, still names the package and not some other program). The test build can make it
// fail as Windows does for a program that wants elevation.
BOOL CreateInstallerProcess(const char* path, HANDLE& process)
{
    if (upd::TestInstallerNeedsElevation()) {
        ::SetLastError(ERROR_ELEVATION_REQUIRED);
        return FALSE;
    }
    char commandLine[600] = {};
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" /S", path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return FALSE;
    ::CloseHandle(info.hThread);
    process = info.hProcess;
    return TRUE;
}

// Through the shell, which honours the installer's own manifest and asks the user for elevation.
HANDLE StartThroughShell(const char* path)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.lpParameters = "/S";
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExA(&info) ? info.hProcess : nullptr;
}

// The installer's process, or null. Only a start refused for want of elevation is tried again
// through the shell; a plain child process never asks the user anything.
HANDLE StartInstaller(const char* path)
{
    HANDLE process = nullptr;
    if (CreateInstallerProcess(path, process))
        return process;
    if (::GetLastError() != ERROR_ELEVATION_REQUIRED)
        return nullptr;
    upd::Trace("CreateProcess: elevation required, installer started through ShellExecuteEx");
    return StartThroughShell(path);
}

// 0 when the ended installer's exit code says it installed, else failure 12, traced with the
// exit code.
DWORD InstallerOutcome(HANDLE process)
{
    DWORD exitCode = 0;
    if (::GetExitCodeProcess(process, &exitCode) && upd::InstallerSucceeded(exitCode))
        return 0;
    char line[96];
    std::snprintf(line, sizeof line, "Installer exit code %lu: failure %u, installation failed",
                  static_cast<unsigned long>(exitCode), unsigned(upd::UPD_ERR_INSTALL));
    upd::Trace(line);
    return upd::UPD_ERR_INSTALL;
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

DWORD CHeldPackage::Check(const std::string& expected) const
{
    std::string digest;
    const upd::DigestKind kind = upd::KindOfExpectedDigest(expected);
    const bool computed = GetOpenFileDigest(m_hFile, kind, digest) != FALSE;
    return upd::DigestAccepted(computed, digest, expected) ? 0 : upd::UPD_ERR_CHECKSUM;
}

DWORD RunInstaller(CHeldPackage& package)
{
    HANDLE process = StartInstaller(package.Path());
    package.Release();
    if (!process)
        return upd::UPD_ERR_LAUNCH;
    // On time-out the installer is left running; only our handle goes.
    const bool ended = WaitAnsweringSentMessages(process, upd::InstallTimeLimitMs());
    const DWORD code = ended ? InstallerOutcome(process) : upd::UPD_ERR_TIMEOUT;
    ::CloseHandle(process);
    return code;
}

DWORD CheckAndInstallPackage(const char* packagePath)
{
    CHeldPackage package(packagePath);
    const DWORD code = package.Check(g_strExpectedMd5);
    return code ? code : RunInstaller(package);
}
