// Fixed values of the updater, and the few test-build overrides. The overrides exist only in a
// build compiled with UPDATE_TEST_HOOKS (the UpdateTest target); the shipped program has none.
#pragma once
#include <windows.h>

namespace upd {

// Installer time limit in milliseconds (5 minutes).
DWORD InstallTimeLimitMs();

// False when the test build is told to act as if the GUID could not be turned into text.
bool GuidTextAvailable();

// Address of the manual download page (code page 936 text), opened in the browser on failure.
const char* ManualDownloadAddress();

// Injection seam, test build only: true when told to act as if starting the installer as a
// child process were refused for want of elevation (error 740), which Wine never reports.
bool TestInstallerNeedsElevation();

// True when the test build is told to act as if the machine were offline.
bool TestActsOffline();

// Test build only: waits UPDATE_TEST_DIALOG_DELAY_MS between the worker's start and the dialog's,
// so that worker reports come before the dialog window exists. Does nothing in the shipped program.
void TestPauseBeforeDialog();

// Debugger trace line.
inline void Trace(const char* line)
{
    ::OutputDebugStringA(line);
}

}  // namespace upd
