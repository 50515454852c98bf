// Reports of the download worker to the dialog. Progress carries the counts themselves, so that
// a report read late still shows its own moment; the others point into the application object
// at values that are final when they are posted.
#pragma once
#include <windows.h>

// lParam: char* to the package path.
#define WM_UPDATE_COMPLETE (WM_USER + 200)
// wParam: the announced total (0 = unknown); lParam: the bytes received so far.
#define WM_UPDATE_PROGRESS (WM_USER + 201)
// lParam: DWORD* to the failure code (upd::FailureCode).
#define WM_UPDATE_FAILED (WM_USER + 202)
