#include "fetch/dlgdownloadfile.h"

#include <commctrl.h>

#include "fetch/button.h"
#include "fetch/dldmsg.h"
#include "fetch/dldpaint.h"
#include "fetch/dldtext.h"
#include "fetch/resource.h"

namespace {

const UINT_PTR kTimerSample = 1;  // speed sample and repaint
const UINT_PTR kTimerClose = 2;   // closes the dialog after a failure
const UINT kCloseDelay = 2000;
const int kProgressId = 10;
const int kTitleBand = 25;  // pixels at the top that drag the window
const DWORD kButtonStyle = WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON;
const wchar_t kCancelText[] = L"取消传输";

RECT MakeRect(int x, int y, int w, int h)
{
    return RECT{x, y, x + w, y + h};
}

}  // namespace

CDlgDldFile::CDlgDldFile(HWND hWndNotify) : CDialog(IDD_DLDFILE), m_hWndNotify(hWndNotify) {}

CDlgDldFile::~CDlgDldFile()
{
    delete m_pBtnClose;
    delete m_pBtnCancel;
}

BOOL CDlgDldFile::PreTranslateMessage(MSG* msg)
{
    return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDlgDldFile::OnIdle()
{
    return FALSE;
}

BOOL CDlgDldFile::ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_ERASEBKGND:
        DoPaint(reinterpret_cast<HDC>(wp));
        result = 1;
        return TRUE;
    case WM_NCHITTEST:
        return OnNcHitTest(lp, result);
    case WM_DLD_PROGRESS:
        OnDownloadProgress(wp, lp);
        return TRUE;
    case WM_DLD_COMPLETE:
        OnDownloadComplete();
        return TRUE;
    case WM_DLD_FAILED:
        OnDownloadFailed(lp);
        return TRUE;
    case WM_DLD_CLOSE:
        PostCancel();
        return TRUE;
    case WM_TIMER:
        OnTimer(wp);
        return TRUE;
    default:  // IDOK and IDCANCEL reach OnOK and OnCancel through the dialog base
        return FALSE;
    }
}

BOOL CDlgDldFile::OnInitDialog()
{
    CreateButtons();
    CreateProgressBar();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 340, 180, SWP_NOZORDER | SWP_NOACTIVATE);
    SetTimer(kTimerSample, kSamplePeriodMs);
    m_dwLastSampleTick = ::GetTickCount();
    for (CButtonEx* button : {m_pBtnClose, m_pBtnCancel}) {
        ::ShowWindow(button->m_hWnd, SW_SHOW);
        ::UpdateWindow(button->m_hWnd);
    }
    CenterOverNotifyWindow();
    if (m_hWndNotify)
        ::PostMessageW(m_hWndNotify, WM_DLD_WINDOW, 0, reinterpret_cast<LPARAM>(m_hWnd));
    return TRUE;
}

void CDlgDldFile::CreateButtons()
{
    m_pBtnClose = new CButtonEx(45, 19, IDR_PNG_CLOSE, BMPBTN_HOVER, nullptr);
    m_pBtnClose->SetDrawMode(0);
    m_pBtnClose->Create(m_hWnd, RECT{}, nullptr, kButtonStyle, 0, IDCANCEL);
    m_pBtnClose->SetToolTipText(L"关闭");
    m_pBtnClose->SetImages(0, 2, 1, 3);

    m_pBtnCancel = new CButtonEx(83, 21, IDR_PNG_CANCEL, BMPBTN_HOVER, nullptr);
    m_pBtnCancel->SetDrawMode(1);
    m_pBtnCancel->Create(m_hWnd, RECT{}, kCancelText, kButtonStyle, 0, IDCANCEL);
    m_pBtnCancel->SetImages(0, 2, 1, 3);
    ::SetWindowTextW(m_pBtnCancel->m_hWnd, kCancelText);
    m_pBtnCancel->SetCaption(kCancelText);
    m_pBtnCancel->SetToolTipText(kCancelText);

    ::MoveWindow(m_pBtnClose->m_hWnd, 290, 2, 45, 19, FALSE);
    ::MoveWindow(m_pBtnCancel->m_hWnd, 126, 133, 83, 21, FALSE);
}

void CDlgDldFile::CreateProgressBar()
{
    const RECT rc = MakeRect(25, 77, 290, 22);
    m_progress.m_hWnd = ::CreateWindowExW(
        0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
        rc.bottom - rc.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressId)),
        ModuleInstance(), nullptr);
    m_progress.SendMessage(PBM_SETRANGE32, 0, kProgressRange);
}

// Over the starting window when it is visible and not minimised, else over the work area of the
// dialog's monitor; always kept inside that work area.
void CDlgDldFile::CenterOverNotifyWindow()
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    RECT area = mi.rcWork;
    RECT center = area;
    if (m_hWndNotify && ::IsWindowVisible(m_hWndNotify) && !::IsIconic(m_hWndNotify))
        ::GetWindowRect(m_hWndNotify, &center);
    RECT rc;
    GetWindowRect(&rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int x = (center.left + center.right - w) / 2;
    int y = (center.top + center.bottom - h) / 2;
    if (x + w > area.right)
        x = area.right - w;
    if (y + h > area.bottom)
        y = area.bottom - h;
    if (x < area.left)
        x = area.left;
    if (y < area.top)
        y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDlgDldFile::OnPaint()
{
    // Everything is drawn in WM_ERASEBKGND; the paint only validates.
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWnd, &ps);
    ::EndPaint(m_hWnd, &ps);
}

void CDlgDldFile::DoPaint(HDC dc)
{
    if (!dc)
        return;
    DldPaintState state;
    if (m_bSpeedValid && m_strStatus.empty())
        state.amountLine = FormatAmountLine(m_dwCurrent, m_dSpeed);
    state.status = m_strStatus;
    PaintDownloadDialog(m_hWnd, dc, state);
}

BOOL CDlgDldFile::OnNcHitTest(LPARAM lp, LRESULT& result)
{
    const int y = static_cast<short>(HIWORD(lp));
    RECT rc;
    GetWindowRect(&rc);
    if (y - rc.top >= kTitleBand)
        return FALSE;
    result = HTCAPTION;
    return TRUE;
}

void CDlgDldFile::OnDownloadProgress(WPARAM total, LPARAM present)
{
    m_dwCurrent = static_cast<DWORD>(present);
    if (m_strStatus.empty())
        TakeSpeedSample(false);
    const int position = ProgressPosition(static_cast<DWORD>(total), m_dwCurrent);
    if (position < 0)
        return;
    m_nBarWanted = position;
    MoveBar(false);
}

// Reports come every 2048 bytes and the control repaints itself on every position change, which
// would cost more than the transfer: the bar moves when BarMoveDue says the eye would see it, and
// the sample timer (and a failure) shows what a pause in the reports left waiting.
void CDlgDldFile::MoveBar(bool flush)
{
    const DWORD now = ::GetTickCount();
    if (flush ? m_nBarWanted == m_nBarPos
              : !BarMoveDue(m_nBarPos, m_nBarWanted, now - m_dwBarMoved))
        return;
    m_nBarPos = m_nBarWanted;
    m_dwBarMoved = now;
    m_progress.SendMessage(PBM_SETPOS, static_cast<WPARAM>(m_nBarPos));
    ::UpdateWindow(m_progress);
}

void CDlgDldFile::OnDownloadComplete()
{
    m_bFinished = true;
    Notify(DLD_RESULT_COMPLETE, 0);
    PostCancel();
}

void CDlgDldFile::OnDownloadFailed(LPARAM code)
{
    m_bSpeedValid = false;
    MoveBar(true);
    const DldFailureText failure = FailureTextFor(static_cast<DWORD>(code));
    m_strStatus = failure.text;
    Notify(DLD_RESULT_FAILED, failure.reason);
    SetTimer(kTimerClose, kCloseDelay);
    Repaint();
}

void CDlgDldFile::OnTimer(WPARAM id)
{
    if (id == kTimerSample) {
        MoveBar(true);
        TakeSpeedSample(true);
    } else if (id == kTimerClose) {
        PostCancel();
        KillTimer(kTimerClose);
    }
}

// The speed since the previous sample, and a repaint of the amount line with it. A repaint of the
// whole dialog would repaint the buttons and the bar as well (they are children without clipping)
// and cost several times as much, twice a second, for pixels that do not change.
void CDlgDldFile::TakeSpeedSample(bool fromTimer)
{
    const DWORD now = ::GetTickCount();
    const DWORD elapsed = now - m_dwLastSampleTick;
    if (!SampleDue(elapsed, fromTimer))
        return;
    m_bSpeedValid = m_dwLastSample != 0;
    if (m_bSpeedValid)
        m_dSpeed = SampleSpeed(m_dwCurrent, m_dwLastSample, elapsed);
    m_dwLastSample = m_dwCurrent;
    m_dwLastSampleTick = now;
    ::InvalidateRect(m_hWnd, &kAmountLineRect, TRUE);
    ::UpdateWindow(m_hWnd);
}

void CDlgDldFile::OnCancel()
{
    if (!m_bFinished)
        Notify(DLD_RESULT_FAILED, DLD_REASON_CLOSED);
    CloseDialog(IDCANCEL);
}

void CDlgDldFile::OnOK()
{
    CloseDialog(IDOK);
}

void CDlgDldFile::PostCancel()
{
    PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

// Reports to the starting window are posted, never sent; without a window they are skipped.
void CDlgDldFile::Notify(WPARAM wp, LPARAM lp)
{
    if (m_hWndNotify)
        ::PostMessageW(m_hWndNotify, WM_DLD_RESULT, wp, lp);
}

void CDlgDldFile::Repaint()
{
    Invalidate(TRUE);
    ::UpdateWindow(m_hWnd);
}

void CDlgDldFile::CloseDialog(int id)
{
    DestroyWindow();
    ::PostQuitMessage(id);
}
