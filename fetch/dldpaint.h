// The download dialog's picture: frame, title, notice and the amount line or failure text,
// drawn with GDI+ into an off-screen copy of the client area that reaches the window in one blit.
#pragma once
#include <windows.h>

#include <string>

struct DldPaintState {
    std::wstring amountLine;  // shown in black when not empty and there is no failure text
    std::wstring status;      // failure text, shown in red in its place when not empty
};

// Where the amount line or the failure text goes, in client coordinates: the only part of the
// picture that changes during a transfer. No child control overlaps it, so invalidating just this
// rectangle repaints the line alone (the picture is the same as after a full repaint).
const RECT kAmountLineRect = {50, 105, 290, 125};

void PaintDownloadDialog(HWND hwnd, HDC dc, const DldPaintState& state);
