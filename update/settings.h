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

// Debugger trace line.
inline void Trace(const char* line) { ::OutputDebugStringA(line); }

}  // namespace upd
