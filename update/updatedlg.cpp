#include "update/updatedlg.h"

#include <commctrl.h>

#include "update/install.h"
#include "update/updateapp.h"
#include "update/messages.h"
#include "update/report_text.h"
#include "update/resource.h"

namespace {

// Drives the alternating bar while no length was announced: 50, 100, 50, ...
int g_nAlternateBar = 0;

// The dialog whose keys the message filter looks at; one modal updater dialog per thread.
thread_local const CUpdateDlg* t_pKeyFilterDlg = nullptr;

// The modal loop hands every message to this filter before IsDialogMessage sees it.
LRESULT CALLBACK KeyFilterProc(int code, WPARAM wp, LPARAM lp)
{
    if (code == MSGF_DIALOGBOX && t_pKeyFilterDlg &&
        t_pKeyFilterDlg->PreTranslateMessage(reinterpret_cast<const MSG*>(lp)))
        return 1;
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CUpdateDlg::CUpdateDlg()
    : CDialog(IDD_UPDATE_DIALOG),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

CUpdateDlg::~CUpdateDlg()
{
    if (m_hKeyFilter)
        ::UnhookWindowsHookEx(m_hKeyFilter);
    if (t_pKeyFilterDlg == this)
        t_pKeyFilterDlg = nullptr;
}

BOOL CUpdateDlg::PreTranslateMessage(const MSG* msg) const
{
    if (msg->message != WM_KEYDOWN || (msg->wParam != VK_RETURN && msg->wParam != VK_ESCAPE))
        return FALSE;
    return msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd);
}

BOOL CUpdateDlg::OnInitDialog()
{
    AddAboutMenuEntry();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(GetDlgItem(IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(1, 100));
    UpdateData();  // the template's placeholder texts never show: both lines start empty
    ShowControls(false);
    t_pKeyFilterDlg = this;
    m_hKeyFilter =
        ::SetWindowsHookExA(WH_MSGFILTER, KeyFilterProc, nullptr, ::GetCurrentThreadId());
    theApp.AttachDialogWindow(m_hWnd);
    return TRUE;
}

// The entry's text comes from the UTF-16 string table as it is, whatever the ANSI code page.
void CUpdateDlg::AddAboutMenuEntry()
{
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    wchar_t text[128] = {};
    if (!menu || !::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 128))
        return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
}

BOOL CUpdateDlg::ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) != IDM_ABOUTBOX)
            return FALSE;
        OnSysCommand(UINT(wp));
        return TRUE;
    case WM_PAINT:
        if (!::IsIconic(m_hWnd))
            return FALSE;
        OnPaint();
        return TRUE;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wp) != BN_CLICKED)
            return FALSE;
        if (LOWORD(wp) == IDC_ACTION_BUTTON)
            OnActionButton();
        else if (LOWORD(wp) == IDC_CANCEL_BUTTON)
            OnCancelButton();
        else
            return FALSE;
        return TRUE;
    case WM_UPDATE_COMPLETE:
        OnDownloadComplete(reinterpret_cast<const char*>(lp));
        return TRUE;
    case WM_UPDATE_PROGRESS:
        OnDownloadProgress(DWORD(wp), DWORD(lp));
        return TRUE;
    case WM_UPDATE_FAILED:
        OnDownloadFailed(reinterpret_cast<const DWORD*>(lp));
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    }
    return FALSE;
}

void CUpdateDlg::OnSysCommand(UINT)
{
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

// Minimised: the icon centred in the client area.
void CUpdateDlg::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rc;
    GetClientRect(&rc);
    const int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

void CUpdateDlg::OnActionButton()
{
    if (m_bUpdated)
        theApp.StartClient();
    else
        theApp.OpenDownloadPage();
    EndDialog(0);
}

void CUpdateDlg::OnCancelButton()
{
    if (!m_bUpdated)
        EndDialog(0);
}

void CUpdateDlg::OnDownloadProgress(DWORD total, DWORD received)
{
    if (total == 0) {
        SetBar(g_nAlternateBar ? 100 : 50);
        g_nAlternateBar = !g_nAlternateBar;
        UpdateData();
        return;
    }
    SetBar(upd::ProgressPercent(total, received));
    m_strInfo = upd::FormatSizeLine(total, received);
    UpdateData();
}

void CUpdateDlg::OnDownloadComplete(const char* path)
{
    SetBar(100);
    ShowWindow(SW_HIDE);
    m_dwFailCode = CheckAndInstallPackage(path);
    if (m_dwFailCode) {
        PostMessage(WM_UPDATE_FAILED, 0, reinterpret_cast<LPARAM>(&m_dwFailCode));
        return;
    }
    m_strResult = "    升级完成!";
    m_bUpdated = 1;
    ShowControls(true);
    ShowDlgItem(IDC_CANCEL_BUTTON, SW_HIDE);
    ShowWindow(SW_SHOW);
    CentreActionButton();
    UpdateData();
}

void CUpdateDlg::OnDownloadFailed(const DWORD* code)
{
    m_bUpdated = 0;
    ShowWindow(SW_SHOW);
    ShowControls(true);
    m_strResult = upd::FailureText(code ? *code : 0);
    ::SetDlgItemTextA(m_hWnd, IDC_ACTION_BUTTON, "手动下载");
    ::SetDlgItemTextA(m_hWnd, IDC_CANCEL_BUTTON, "取消");
    UpdateData();
}

// From here on no report reaches this window, and the key filter goes with it.
void CUpdateDlg::OnDestroy()
{
    theApp.DetachDialogWindow();
    if (m_hKeyFilter)
        ::UnhookWindowsHookEx(m_hKeyFilter);
    m_hKeyFilter = nullptr;
    t_pKeyFilterDlg = nullptr;
}

void CUpdateDlg::ShowControls(bool result)
{
    const int resultCmd = result ? SW_SHOW : SW_HIDE;
    const int progressCmd = result ? SW_HIDE : SW_SHOW;
    ShowDlgItem(IDC_RESULT, resultCmd);
    ShowDlgItem(IDC_ACTION_BUTTON, resultCmd);
    ShowDlgItem(IDC_CANCEL_BUTTON, resultCmd);
    ShowDlgItem(IDC_PROGRESS, progressCmd);
    ShowDlgItem(IDC_SIZE_INFO, progressCmd);
}

void CUpdateDlg::CentreActionButton()
{
    HWND button = GetDlgItem(IDC_ACTION_BUTTON);
    RECT client, rc;
    GetClientRect(&client);
    ::GetWindowRect(button, &rc);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    const int width = rc.right - rc.left;
    const int left = client.left + (client.right - client.left) / 2 - width / 2;
    ::SetWindowPos(button, nullptr, left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CUpdateDlg::SetBar(int position)
{
    ::SendMessageA(GetDlgItem(IDC_PROGRESS), PBM_SETPOS, WPARAM(position), 0);
}

void CUpdateDlg::UpdateData()
{
    ::SetDlgItemTextA(m_hWnd, IDC_SIZE_INFO, m_strInfo.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_RESULT, m_strResult.c_str());
}
