#include "fetch/dldpaint.h"

#include "framework/gdiplusinc.h"

#include <memory>

#include "fetch/memdc.h"

namespace {

using Gdiplus::Color;
using Gdiplus::RectF;

const wchar_t kTitle[] = L"Qelvo电脑专家 V3.1";
const wchar_t kNotice[] = L"正在传送文件，请稍候...";
const int kTitlePoints = 8;
const int kBodyPoints = 9;

RectF Layout(int x, int y, int w, int h)
{
    return RectF(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y),
                 static_cast<Gdiplus::REAL>(w), static_cast<Gdiplus::REAL>(h));
}

// Tahoma at a point size with a fixed 96 dots per inch, whatever the screen's resolution.
std::unique_ptr<Gdiplus::Font> MakeFont(HDC dc, int points)
{
    LOGFONTW lf = {};
    lf.lfHeight = -::MulDiv(points, 96, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DRAFT_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    return std::make_unique<Gdiplus::Font>(dc, &lf);
}

void DrawFrame(Gdiplus::Graphics& g, HDC dc, int w, int h)
{
    Gdiplus::SolidBrush band(Color(255, 197, 225, 237));
    g.FillRectangle(&band, 0, 0, w, 25);
    Gdiplus::Pen pen(Color(255, 143, 143, 143), 1.0f);
    g.DrawRectangle(&pen, 0, 0, w - 1, h - 1);
    pen.SetColor(Color(255, 255, 255, 255));
    g.DrawRectangle(&pen, 1, 1, w - 3, h - 3);
    pen.SetColor(Color(255, 217, 237, 248));
    g.DrawRectangle(&pen, 2, 25, w - 5, h - 28);
    pen.SetColor(Color(255, 174, 188, 191));
    g.DrawRectangle(&pen, 3, 26, w - 7, h - 30);

    auto font = MakeFont(dc, kTitlePoints);
    Gdiplus::SolidBrush text(Color(255, 80, 144, 179));
    Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap);
    g.DrawString(kTitle, -1, font.get(), Layout(26, 6, 140, 20), &format, &text);
}

}  // namespace

void PaintDownloadDialog(HWND hwnd, HDC dc, const DldPaintState& state)
{
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    CMemDC mem(dc, &rc, 0, false);
    Gdiplus::Graphics g(mem.m_hDC);
    if (g.GetLastStatus() != Gdiplus::Ok)
        return;
    DrawFrame(g, mem.m_hDC, rc.right - rc.left, rc.bottom - rc.top);

    Gdiplus::SolidBrush black(Color(255, 0, 0, 0));
    Gdiplus::SolidBrush red(Color(255, 255, 0, 0));
    Gdiplus::StringFormat centred;
    centred.SetAlignment(Gdiplus::StringAlignmentCenter);
    HDC windowDc = ::GetDC(hwnd);
    auto body = MakeFont(windowDc, kBodyPoints);
    ::ReleaseDC(hwnd, windowDc);

    const RECT& line = kAmountLineRect;
    const RectF lineRect =
        Layout(line.left, line.top, line.right - line.left, line.bottom - line.top);
    if (!state.status.empty())
        g.DrawString(state.status.c_str(), -1, body.get(), lineRect, &centred, &red);
    else if (!state.amountLine.empty())
        g.DrawString(state.amountLine.c_str(), -1, body.get(), lineRect, &centred, &black);
    g.DrawString(kNotice, -1, body.get(), Layout(20, 44, 160, 20), &centred, &black);
}
