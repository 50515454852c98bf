// Reports of the download worker to the dialog, posted with pointers into the application object.
#pragma once
#include <windows.h>

// lParam: char* to the package path.
#define WM_UPDATE_COMPLETE (WM_USER + 200)
// wParam: DWORD* to the announced total (0 = unknown); lParam: DWORD* to the bytes received.
#define WM_UPDATE_PROGRESS (WM_USER + 201)
// lParam: DWORD* to the failure code (upd::FailureCode).
#define WM_UPDATE_FAILED (WM_USER + 202)
