#include "framework/msgloop.h"

void CMessageLoop::RunIdleHandlers()
{
    for (CIdleHandler* handler : m_idleHandlers)
        if (!handler->OnIdle())
            break;
}

bool CMessageLoop::PreTranslate(MSG* msg)
{
    for (CMessageFilter* filter : m_filters)
        if (filter->PreTranslateMessage(msg))
            return true;
    return false;
}

int CMessageLoop::Run()
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
        if (!PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
