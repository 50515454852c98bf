// The worker thread of the downloader: one transfer with its own copies of the address, the path
// and the type, reporting to the dialog's window. Never joined: it ends with the transfer or with
// the process.
#pragma once
#include <windows.h>

#include <string>

struct DldJob {
    std::wstring url;
    std::wstring path;
    int type = 0;
};

// Starts the transfer of job on a new thread, reporting to the dialog's window hWndDialog. The
// worker gets the handle's value, never the dialog object, which a close can destroy before the
// thread first runs. Returns the thread's handle (the caller closes it), or nullptr when no
// thread could be started.
HANDLE StartDldWorker(HWND hWndDialog, const DldJob& job);
