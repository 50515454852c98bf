// The addresses of vocalis.dll's two variables as a client links them by their C++ names.
#pragma once

#include <windows.h>

DWORD* CxxTlsAddress();
HWND* CxxMainWndAddress();
