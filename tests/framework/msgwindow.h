// A window of the test programs' own: the stand-in parents and starting windows that the
// programs' controls and dialogs talk to. Built on the framework's window-object link, as the
// programs' own windows are.
#pragma once
#include <windows.h>

#include "framework/window.h"

// A window of a registered class whose messages go to one virtual handler. The handler reads
// like a message map: a switch over the messages the window handles, returning TRUE with the
// result set for each one it handled; everything else goes to DefWindowProc.
class CMessageWindow : public CWindow {
public:
    CMessageWindow() = default;
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;
    virtual ~CMessageWindow();

    // Registers className once per process (with this module's instance) and creates the window.
    HWND Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                HWND parent = nullptr, int x = 0, int y = 0, int w = 0, int h = 0);

protected:
    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                                      LRESULT& result) = 0;
    // Called after WM_NCDESTROY; m_hWnd is already null.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};
