#include "framework/msgloop.h"

namespace {

// Everything that wakes a waiting thread except posted messages.
const DWORD kWakeButPosted = QS_ALLINPUT & ~QS_POSTMESSAGE;

}  // namespace

void CMessageLoop::RunIdleHandlers()
{
    for (CIdleHandler* handler : m_idleHandlers)
        if (!handler->OnIdle())
            break;
}

void CMessageLoop::Handle(MSG* msg)
{
    for (CMessageFilter* filter : m_filters)
        if (filter->PreTranslateMessage(msg))
            return;
    ::TranslateMessage(msg);
    ::DispatchMessageW(msg);
}

int CMessageLoop::Run()
{
    return m_gatherMs ? RunGathering() : RunPlain();
}

int CMessageLoop::RunPlain()
{
    MSG msg = {};
    for (;;) {
        // The look at the queue is a round trip to the window system on some platforms, so it
        // is made only when there is an idle handler to run.
        if (!m_idleHandlers.empty() && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            RunIdleHandlers();
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            ::OutputDebugStringW(L"::GetMessage returned -1 (error)\n");
            continue;
        }
        if (!got)
            break;
        Handle(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Takes whatever is queued, then waits: up to the period for anything but posted messages when
// the batch just taken had messages (posted ones may be streaming in), else for any message. A
// waiting sent message is handled inside PeekMessage; sent messages never show up as taken.
int CMessageLoop::RunGathering()
{
    MSG msg = {};
    for (;;) {
        bool took = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return static_cast<int>(msg.wParam);
            took = true;
            Handle(&msg);
        }
        RunIdleHandlers();
        if (took)
            ::MsgWaitForMultipleObjectsEx(0, nullptr, m_gatherMs, kWakeButPosted, 0);
        else
            ::WaitMessage();
    }
}
