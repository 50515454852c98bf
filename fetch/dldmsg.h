// Messages, download types and failure codes of the downloader. Plain numbers, no windows.h, so
// the test programs and the portable code can share them.
#pragma once

// Engine -> dialog (WM_USER + n).
#define WM_DLD_COMPLETE (0x0400 + 200)  // wParam 0, lParam 0; posted
#define WM_DLD_PROGRESS (0x0400 + 201)  // wParam total, lParam present; posted
#define WM_DLD_FAILED (0x0400 + 202)    // wParam 0, lParam failure code; sent (1-5, 8) or posted

// Dialog <-> starting window (WM_APP + n).
#define WM_DLD_RESULT (0x8000 + 299)  // wParam 5 (complete, lParam 0) or 6 (lParam reason)
#define WM_DLD_WINDOW (0x8000 + 302)  // wParam 0, lParam the dialog's window handle
#define WM_DLD_CLOSE (0x8000 + 303)   // from the starting window: give up and close

#define DLD_RESULT_COMPLETE 5
#define DLD_RESULT_FAILED 6
#define DLD_REASON_CLOSED 9

enum DldType { DLD_TYPE_NEW = 0, DLD_TYPE_REPLACE = 1, DLD_TYPE_RESUME = 2 };

enum DldError {
    DLD_ERR_SESSION = 1,  // the internet session could not be opened
    DLD_ERR_CONNECT = 2,  // the address could not be opened
    DLD_ERR_STATUS = 3,   // status unreadable or 404
    DLD_ERR_LENGTH = 4,   // the length query failed
    DLD_ERR_CREATE = 5,   // the destination could not be created
    DLD_ERR_WRITE = 6,    // a chunk could not be written
    DLD_ERR_READ =
        7,  // reading failed, or the data ended short of or ran past the announced length
    DLD_ERR_SEEK = 8,  // the file to continue could not be opened or positioned
};
