#include "fetch/button.h"

#include "framework/gdiplusinc.h"

#include "fetch/memistream.h"

CButtonEx::CButtonEx(int cellWidth, int cellHeight, int pngResource, DWORD extendedStyle,
                     HIMAGELIST imageList)
    : CBitmapButtonImpl(L"ZEB_BitmapButton", extendedStyle, imageList), m_nCellWidth(cellWidth),
      m_nCellHeight(cellHeight), m_nImageRes(pngResource)
{
}

CButtonEx::~CButtonEx()
{
    ReleaseFont();
}

int CButtonEx::SetDrawMode(int mode)
{
    const int previous = m_nDrawMode;
    m_nDrawMode = mode;
    return previous;
}

void CButtonEx::SetCaption(const wchar_t* text)
{
    m_strCaption = text ? text : L"";
}

void CButtonEx::ReleaseFont()
{
    delete m_pFont;
    m_pFont = nullptr;
}

void CButtonEx::OnCreate()
{
    if (m_pFont)
        return;
    LOGFONTW lf = {};
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_RASTER_PRECIS;
    lf.lfClipPrecision = CLIP_CHARACTER_PRECIS;
    lf.lfQuality = DRAFT_QUALITY;
    lf.lfHeight = m_nDrawMode == 1 ? -12 : -11;
    lf.lfWeight = m_nDrawMode == 1 ? 600 : 500;
    HDC dc = ::GetDC(m_hWnd);
    m_pFont = new Gdiplus::Font(dc, &lf);
    ::ReleaseDC(m_hWnd, dc);
    if (m_pFont->GetLastStatus() != Gdiplus::Ok)
        ReleaseFont();
}

void CButtonEx::OnFinalMessage()
{
    ReleaseFont();
}

void CButtonEx::DoPaint(HDC dc)
{
    const int image = CurrentImage();
    Gdiplus::Graphics graphics(dc);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return;
    {
        // The strip is decoded anew on every paint: the cells are tiny and nothing is cached.
        // Without the resource there is nothing to decode, and GDI+ is not asked to.
        CResStream stream(m_nImageRes, false);
        if (stream.IsValid() && image >= 0) {
            Gdiplus::Bitmap strip(&stream);
            Gdiplus::Bitmap* cell = nullptr;
            if (strip.GetLastStatus() == Gdiplus::Ok)
                cell = strip.Clone(image * m_nCellWidth, 0, m_nCellWidth, m_nCellHeight,
                                   PixelFormat32bppARGB);
            if (cell) {
                graphics.DrawImage(cell, 0, 0, m_nCellWidth, m_nCellHeight);
                delete cell;
            }
        }
    }
    if (m_nDrawMode != 1 || !m_pFont)
        return;
    const bool enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
    Gdiplus::SolidBrush brush(Gdiplus::Color(enabled ? 0xFF2A2829 : 0xFF999999));
    Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap);
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    Gdiplus::RectF layout(0.0f, 5.0f, static_cast<Gdiplus::REAL>(m_nCellWidth), 30.0f);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
    graphics.DrawString(m_strCaption.c_str(), -1, m_pFont, layout, &format, &brush);
}
