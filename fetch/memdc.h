// A memory device context that buffers one paint pass off screen and copies it to the target in
// one BitBlt when it is destroyed, so that painting does not flicker.
#pragma once
#include <windows.h>

class CMemDC {
public:
    // target is required; rect null means the target's clip box. The picture starts filled with
    // color when useColor is set, else with the target's current background colour.
    CMemDC(HDC target, const RECT* rect, COLORREF color, bool useColor);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    operator HDC() const { return m_hDC; }

    HDC m_hDC = nullptr;             // the memory DC
    HBITMAP m_bitmap = nullptr;      // off-screen picture
    HGDIOBJ m_hOldBitmap = nullptr;  // what the memory DC held before
    HDC m_hDCTarget = nullptr;
    RECT m_rc = {};  // the painted rectangle, logical units
};
