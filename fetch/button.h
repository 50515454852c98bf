// A push button that paints itself from a PNG sprite strip in the program's resources, one cell
// per state (normal, hover, pressed, disabled side by side), optionally with a centred caption.
#pragma once
#include <windows.h>

#include <string>

#include "framework/bitmapbutton.h"

namespace Gdiplus {
class Font;
}

class CButtonEx : public CBitmapButtonImpl {
public:
    CButtonEx(int cellWidth, int cellHeight, int pngResource, DWORD extendedStyle,
              HIMAGELIST imageList);
    ~CButtonEx() override;

    // 0: cell only; 1: cell and caption. Call before the window is created (it picks the font).
    int SetDrawMode(int mode);
    void SetCaption(const wchar_t* text);

protected:
    void OnCreate() override;
    void OnFinalMessage() override;
    void DoPaint(HDC dc) override;

private:
    void ReleaseFont();

    Gdiplus::Font* m_pFont = nullptr;
    int m_nCellWidth;
    int m_nCellHeight;
    int m_nImageRes;
    int m_nDrawMode = 0;
    std::wstring m_strCaption;
};
