// Base of a push button that paints itself (owner-drawn superclass of "BUTTON"): it tracks hover,
// press and focus, keeps four image indices for its states, relays mouse messages to a tooltip
// and notifies its parent with WM_COMMAND/BN_CLICKED like a standard button. A derived class
// paints the chosen cell in DoPaint.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

// Extended style: the hover cell follows the mouse instead of the focus; space is ignored.
#define BMPBTN_HOVER 0x00000001

class CBitmapButtonImpl {
public:
    enum { kNormal = 0, kPushed = 1, kFocusOrHover = 2, kDisabled = 3 };

    // className: the superclass registered for this button type (once per process).
    CBitmapButtonImpl(const wchar_t* className, DWORD extendedStyle, HIMAGELIST imageList);
    virtual ~CBitmapButtonImpl();
    CBitmapButtonImpl(const CBitmapButtonImpl&) = delete;
    CBitmapButtonImpl& operator=(const CBitmapButtonImpl&) = delete;

    // Creates the window; BS_OWNERDRAW is added to style so that the system never paints it.
    HWND Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle,
                int id);
    void SetImages(int normal, int pushed = -1, int focusOrHover = -1, int disabled = -1);
    void SetToolTipText(const wchar_t* text);
    bool IsHoverMode() const { return (m_dwExtendedStyle & BMPBTN_HOVER) != 0; }

    HWND m_hWnd = nullptr;

protected:
    // The image index for the current state (pressed, hover or focus, disabled, else normal).
    int CurrentImage() const;
    // Called once the window exists (WM_CREATE) and when it is gone for good (WM_NCDESTROY).
    virtual void OnCreate() {}
    virtual void OnFinalMessage() {}
    virtual void DoPaint(HDC dc) = 0;
    void Repaint();

    DWORD m_dwExtendedStyle;
    HIMAGELIST m_hImageList;
    int m_nImage[4] = {-1, -1, -1, -1};
    HWND m_hWndToolTip = nullptr;
    std::wstring m_strToolTip;
    unsigned m_fMouseOver : 1;
    unsigned m_fFocus : 1;
    unsigned m_fPressed : 1;

private:
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void OnMouseMove(LPARAM lp);
    void OnLButtonUp();
    void RelayToToolTip(UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    const wchar_t* m_pszClassName;
};
