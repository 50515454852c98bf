// Check and silent installation of a downloaded package (runs in the dialog's thread).
#pragma once
#include <windows.h>

// Checks the package against g_strExpectedMd5 and runs it with " /S", waiting up to the time
// limit. Returns 0 when the installer ended in time, else the failure code (9, 10 or 11).
DWORD CheckAndInstallPackage(const char* packagePath);
