// The download dialog's picture: frame, title, notice and the amount line or failure text,
// drawn with GDI+ into an off-screen copy of the client area that reaches the window in one blit.
#pragma once
#include <windows.h>

#include <string>

struct DldPaintState {
    bool showAmount = false;
    std::wstring amountLine;  // shown in black when showAmount is set
    std::wstring status;      // failure text, shown in red when not empty
};

void PaintDownloadDialog(HWND hwnd, HDC dc, const DldPaintState& state);
