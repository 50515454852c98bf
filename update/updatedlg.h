// The updater's dialog: transfer progress, then the success or failure state with its buttons;
// the system menu leads to the about box.
#pragma once
#include <windows.h>

#include <string>

#include "framework/window.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};

class CUpdateDlg : public CDialog {
public:
    CUpdateDlg();
    ~CUpdateDlg() override;

    // Enter and Escape are swallowed: neither closes the dialog nor presses a button.
    BOOL PreTranslateMessage(const MSG* msg) const;

protected:
    BOOL OnInitDialog() override;
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void OnSysCommand(UINT command);
    void OnPaint();
    void OnActionButton();
    void OnCancelButton();
    void OnDownloadProgress(DWORD total, DWORD received);
    void OnDownloadComplete(const char* path);
    void OnDownloadFailed(const DWORD* code);
    void OnDestroy();

    void AddAboutMenuEntry();
    void ShowControls(bool result);  // result message and buttons, or bar and size line
    void CentreActionButton();
    void SetBar(int position);
    void UpdateData();  // m_strInfo and m_strResult into their statics

    std::string m_strInfo;
    std::string m_strResult;
    BOOL m_bUpdated = 0;
    DWORD m_dwFailCode = 0;
    HICON m_hIcon;
    HHOOK m_hKeyFilter = nullptr;
};
