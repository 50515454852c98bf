// Message pump of the in-process window tests: dispatches everything queued on this thread.
#pragma once
#include <windows.h>

// Returns the WM_QUIT code if the loop was told to end, else -1.
inline int Pump()
{
    int quit = -1;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT)
            quit = static_cast<int>(m.wParam);
        else
            DispatchMessageW(&m);
    }
    return quit;
}
