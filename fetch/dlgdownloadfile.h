// The downloader's only window: a skinned, borderless dialog with the title, the transfer
// notice, a progress bar, the amount and speed (or the failure text) and two bitmap buttons. It
// turns the engine's reports into the starting window's protocol and ends the message loop when
// it closes.
#pragma once
#include <windows.h>

#include <string>

#include "framework/msgloop.h"
#include "framework/window.h"

class CButtonEx;

class CDlgDldFile : public CDialog, public CMessageFilter, public CIdleHandler {
public:
    explicit CDlgDldFile(HWND hWndNotify);
    ~CDlgDldFile() override;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override;

protected:
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void CreateButtons();
    void CreateProgressBar();
    void CenterOverNotifyWindow();
    void OnPaint();
    void DoPaint(HDC dc);
    BOOL OnNcHitTest(LPARAM lp, LRESULT& result);
    void OnDownloadProgress(WPARAM total, LPARAM present);
    void MoveBar(bool flush);
    void OnDownloadComplete();
    void OnDownloadFailed(LPARAM code);
    void OnTimer(WPARAM id);
    void TakeSpeedSample(bool fromTimer);
    void PostCancel();
    void Notify(WPARAM wp, LPARAM lp);
    void Repaint();
    void CloseDialog(int id);

    CButtonEx* m_pBtnClose = nullptr;
    CButtonEx* m_pBtnCancel = nullptr;
    CWindow m_progress;
    int m_nBarPos = 0;       // what the bar shows
    int m_nBarWanted = 0;    // what the reports say
    DWORD m_dwBarMoved = 0;  // GetTickCount when the bar last moved
    DWORD m_dwCurrent = 0;
    DWORD m_dwLastSample = 0;
    DWORD m_dwLastSampleTick = 0;  // GetTickCount of the previous sample
    bool m_bSpeedValid = false;
    double m_dSpeed = 0.0;
    std::wstring m_strStatus;
    HWND m_hWndNotify;
    bool m_bFinished = false;
};
